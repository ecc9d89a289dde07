#include "platform/headless_window.h"

namespace platform {

// Window messages go into the thread's own queue, so they are handled in
// order by the window's loop.
class HeadlessWindow::Forwarder : public MessageTarget {
 public:
  explicit Forwarder(ThreadId thread) : thread_(thread) {}
  bool Post(Message& message) override { return PostThreadMessage(thread_, std::move(message)); }

 private:
  ThreadId thread_;
};

HeadlessWindow::HeadlessWindow() : window_(TargetKind::Window, std::make_shared<Forwarder>(Id())) {}

HeadlessWindow::~HeadlessWindow() { Close(); }

void HeadlessWindow::Close() {
  window_.Reset();
  if (Running()) PostQuit();
  Join();
}

}  // namespace platform
