#include "shell/ui/main/window_target.h"

#include <QCoreApplication>
#include <mutex>

QEvent::Type WindowMessageEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

class GuiWindowTarget::Forwarder : public platform::MessageTarget {
 public:
  explicit Forwarder(QObject* receiver) : receiver_(receiver) {}

  bool Post(platform::Message& message) override {
    std::lock_guard guard(lock_);
    if (receiver_ == nullptr) return false;
    QCoreApplication::postEvent(receiver_, new WindowMessageEvent(std::move(message)));
    return true;
  }

  void Close() {
    std::lock_guard guard(lock_);
    receiver_ = nullptr;
  }

 private:
  std::mutex lock_;
  QObject* receiver_;
};

GuiWindowTarget::GuiWindowTarget(QObject* receiver)
    : forwarder_(std::make_shared<Forwarder>(receiver)),
      registration_(platform::TargetKind::Window, forwarder_) {}

GuiWindowTarget::~GuiWindowTarget() { Close(); }

void GuiWindowTarget::Close() {
  registration_.Reset();
  forwarder_->Close();
}
