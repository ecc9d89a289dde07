#pragma once
// The library's message thread and its hidden window. The driver library
// posts device arrival and removal to the window; the thread handles them in
// order: it updates the device table, wakes arrival waits and tells every
// registered client.

#include <cstdint>
#include <memory>

#include "platform/event.h"
#include "platform/target_registry.h"
#include "platform/worker_thread.h"

namespace pellwick {

class CPWLMsgThread;

// What the message thread answers when it reaches a drain request.
inline constexpr std::uint32_t kDrainMessage = 0x7F00;
struct DrainRequest {
  std::shared_ptr<platform::Event> handled;
};

}  // namespace pellwick

template <>
struct platform::MessagePayload<pellwick::kDrainMessage> : platform::Carries<pellwick::DrainRequest> {};

namespace pellwick {

// The hidden window: a window handle whose messages the message thread
// handles.
class CPWLThreadWnd {
 public:
  explicit CPWLThreadWnd(platform::ThreadId thread);
  platform::WindowHandle Handle() const { return registration_.handle(); }
  void Destroy() { registration_.Reset(); }

 private:
  platform::TargetRegistration registration_;
};

class CPWLMsgThread : public platform::WorkerThread {
 public:
  CPWLMsgThread();
  ~CPWLMsgThread() override;

  platform::WindowHandle Window() const { return window_.Handle(); }
  // Ends the loop after what is queued and waits for it.
  void Stop();

 protected:
  int ExitInstance() override;

 private:
  CPWLThreadWnd window_;
};

// Waits until the message thread has handled every message that was posted
// to it (or to its window) before the call; false when the time-out passed
// first. For tests that must see the driver's notifications take effect.
bool WaitForDriverMessages(platform::Milliseconds timeout = std::chrono::seconds(10));

// The window handlers, run on the message thread.
void OnDeviceArrival(unsigned device, int driverKind);
void OnDeviceRemoval(unsigned device, int driverKind);

// Client interface kind of a driver interface kind.
int MapInterfaceKind(int driverKind);

}  // namespace pellwick
