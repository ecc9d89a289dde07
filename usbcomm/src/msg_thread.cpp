#include "msg_thread.h"

#include <memory>

#include "platform/event.h"

#include "library_state.h"
#include "pellwick/pellwick.h"
#include "pwl_trace.h"

namespace pellwick {

namespace {

constexpr int kDriverKindTestCommand = 2;
constexpr int kDriverKindFlash = 5;
constexpr int kDriverKindBoot = 6;
constexpr std::uint16_t kEventTag = 0xF0F0;
constexpr std::uint32_t kConnectionBase = 0x30000;

bool WakesArrivalWait(int driverKind) { return driverKind == kDriverKindFlash || driverKind == kDriverKindBoot; }

// Window messages land in the message thread's queue.
class ForwardToThread : public platform::MessageTarget {
 public:
  explicit ForwardToThread(platform::ThreadId thread) : thread_(thread) {}
  bool Post(platform::Message& message) override { return platform::PostThreadMessage(thread_, std::move(message)); }

 private:
  platform::ThreadId thread_;
};

// Every connection-change message carries a record of its own.
platform::Message ConnectionChange(unsigned device, bool arrived) {
  auto record = std::make_unique<PWL_DEVICE_EVENT>();
  record->tag = kEventTag;
  record->arrived = arrived ? 1 : 0;
  record->reserved = 0;
  record->device = kConnectionBase + device;
  auto address = reinterpret_cast<platform::LParam>(record.get());
  platform::Message message(WM_PWL_CONNECTION_CHANGE, kConnectionBase + device, address);
  message.payload = platform::OwnedPayload(std::move(record));
  return message;
}

}  // namespace

bool WaitForDriverMessages(platform::Milliseconds timeout) {
  platform::ThreadId thread;
  {
    auto lock = LockState();
    if (!State().msgThread) return true;  // nothing can be queued
    thread = State().msgThread->Id();
  }
  auto handled = std::make_shared<platform::Event>(platform::Event::Reset::Manual);
  auto request = std::make_unique<DrainRequest>();
  request->handled = handled;
  if (!platform::PostThreadMessage<kDrainMessage>(thread, std::move(request))) return true;  // the thread has ended
  return handled->Wait(timeout);
}

int MapInterfaceKind(int driverKind) {
  switch (driverKind) {
    case kDriverKindTestCommand: return PWL_KIND_TEST_COMMAND;
    case kDriverKindFlash: return PWL_KIND_FLASH;
    case kDriverKindBoot: return PWL_KIND_BOOT;
    default: return PWL_KIND_UNKNOWN;
  }
}

CPWLThreadWnd::CPWLThreadWnd(platform::ThreadId thread)
    : registration_(platform::TargetKind::Window, std::make_shared<ForwardToThread>(thread)) {}

CPWLMsgThread::CPWLMsgThread() : window_(Id()) {
  Map().On(WM_PST_DEVICE_ARRIVAL, [](platform::Message& m) {
    OnDeviceArrival(static_cast<unsigned>(m.wParam), static_cast<int>(m.lParam));
  });
  Map().On(WM_PST_DEVICE_REMOVAL, [](platform::Message& m) {
    OnDeviceRemoval(static_cast<unsigned>(m.wParam), static_cast<int>(m.lParam));
  });
  Map().On<kDrainMessage>([](std::unique_ptr<DrainRequest> done) {
    if (done) done->handled->Set();
  });
}

CPWLMsgThread::~CPWLMsgThread() { Stop(); }

void CPWLMsgThread::Stop() {
  window_.Destroy();
  if (Running()) PostQuit();
  Join();
}

int CPWLMsgThread::ExitInstance() {
  window_.Destroy();
  return WorkerThread::ExitInstance();
}

void OnDeviceArrival(unsigned device, int driverKind) {
  PwlTrace(0, "Device: %d, Interface: %d arrived.", static_cast<int>(device), driverKind);
  if (!DeviceTable::ValidId(device)) {
    PwlTrace(0, "Rcvd invaild device arrival info (DevID %d, Intf %d)", static_cast<int>(device), driverKind);
    return;
  }
  auto lock = LockState();
  LibraryState& s = State();
  const auto id = static_cast<std::uint16_t>(device);
  if (WakesArrivalWait(driverKind)) {
    s.devices.SetPresent(id, true);
    if (s.arrivalSignalExists) {
      ++s.arrivalGeneration;
      s.changed.notify_all();
    }
  }
  if (PWL_DEVICE_RECORD* record = s.devices.FindOrTake(id); record && record->state == kDeviceAbsent) {
    record->state = kDevicePresent;
  }
  const int kind = MapInterfaceKind(driverKind);
  for (const NotifyTargets& t : s.apps.AllTargets()) {
    if (t.thread) platform::PostThreadMessage(t.thread, WM_PWL_DEVICE_ARRIVAL, id, kind);
    if (t.window) {
      platform::PostWindowMessage(t.window, WM_PWL_DEVICE_ARRIVAL, id, kind);
      platform::PostWindowMessage(t.window, ConnectionChange(id, true));
    }
  }
}

void OnDeviceRemoval(unsigned device, int driverKind) {
  PwlTrace(0, "Device: %d, Interface: %d removed.", static_cast<int>(device), driverKind);
  if (!DeviceTable::ValidId(device)) {
    PwlTrace(0, "Rcvd invaild device removal info (DevID %d, Intf %d)", static_cast<int>(device), driverKind);
    return;
  }
  auto lock = LockState();
  LibraryState& s = State();
  const auto id = static_cast<std::uint16_t>(device);
  if (WakesArrivalWait(driverKind)) s.devices.SetPresent(id, false);
  if (PWL_DEVICE_RECORD* record = s.devices.Find(id)) DeviceTable::Free(*record);
  const int kind = MapInterfaceKind(driverKind);
  for (const NotifyTargets& t : s.apps.AllTargets()) {
    if (!t.window) continue;
    platform::PostWindowMessage(t.window, ConnectionChange(id, false));
    platform::PostWindowMessage(t.window, WM_PWL_DEVICE_REMOVAL, id, kind);
  }
  for (const NotifyTargets& t : s.apps.AllTargets()) {
    if (!t.thread) continue;
    platform::PostThreadMessage(t.thread, ConnectionChange(id, false));
    platform::PostThreadMessage(t.thread, WM_PWL_DEVICE_REMOVAL, id, kind);
  }
}

}  // namespace pellwick
