#pragma once
// A window whose messages are delivered on the Qt GUI thread, in order.
//
// The window's handle is registered process-wide like any other window;
// a post from any thread moves the platform::Message into a custom QEvent
// that Qt queues for the receiver. Qt keeps the order of one receiver's
// posted events and deletes the pending ones with their receiver, so a
// payload is freed exactly once whether or not it is handled.

#include <QEvent>
#include <QObject>
#include <memory>

#include "platform/message.h"
#include "platform/target_registry.h"

class WindowMessageEvent : public QEvent {
 public:
  static QEvent::Type EventType();
  explicit WindowMessageEvent(platform::Message message)
      : QEvent(EventType()), message_(std::move(message)) {}
  platform::Message& message() { return message_; }

 private:
  platform::Message message_;
};

class GuiWindowTarget {
 public:
  // Registers a window handle whose messages go to the receiver.
  explicit GuiWindowTarget(QObject* receiver);
  // Unregisters the handle; later posts to it fail cleanly.
  ~GuiWindowTarget();
  GuiWindowTarget(const GuiWindowTarget&) = delete;
  GuiWindowTarget& operator=(const GuiWindowTarget&) = delete;

  platform::WindowHandle Handle() const { return registration_.handle(); }
  // Stops delivery (before the receiver goes away).
  void Close();

 private:
  class Forwarder;
  std::shared_ptr<Forwarder> forwarder_;
  platform::TargetRegistration registration_;
};
