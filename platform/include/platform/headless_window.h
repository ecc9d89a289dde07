#pragma once
// A window target without a screen: a registered window handle whose
// messages are handled in order on a thread of its own through a message map.
// It stands in for the GUI thread's windows wherever no GUI runs.

#include <memory>

#include "platform/worker_thread.h"

namespace platform {

class HeadlessWindow : public WorkerThread {
 public:
  HeadlessWindow();
  ~HeadlessWindow() override;

  WindowHandle Handle() const { return window_.handle(); }
  // Starts the window's loop and closes it again.
  bool Open() { return Create(false); }
  void Close();

 private:
  class Forwarder;
  TargetRegistration window_;
};

}  // namespace platform
