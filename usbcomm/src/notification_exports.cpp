// Notification targets and the arrival waits.

#include <chrono>

#include "library_state.h"
#include "pellwick/pellwick.h"
#include "platform/dynamic_library.h"
#include "platform/tick.h"
#include "pwl_codes.h"
#include "pwl_trace.h"

namespace pellwick {

namespace {

constexpr int kArrivalTimerId = 10;
// The Ex wait wakes every elapse x 20 ms to look again.
constexpr std::uint32_t kExWaitFactor = 20;

const char* InterfaceNameOfKind(int kind) {
  switch (kind) {
    case PWL_KIND_BOOT: return PWL_INTERFACE_BOOT;
    case PWL_KIND_TEST_COMMAND: return PWL_INTERFACE_TEST_COMMAND;
    default: return PWL_INTERFACE_FLASH;
  }
}

// Whether the device's named interface answers now (lock held).
bool InterfaceAnswers(std::uint16_t device, const char* name) {
  const PstFunctions& f = State().Pst();
  if (!f.getInterfaceHandle) return false;
  int handle = 0;
  return f.getInterfaceHandle(device, name, &handle) == kPstOk;
}

class ArrivalTimer {
 public:
  ArrivalTimer(std::uint32_t window, std::uint32_t elapseMs)
      : start_(platform::GetTickCount()),
        deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(elapseMs)) {
    PwlTrace(0, "Calling application is %s", platform::ProgramName().c_str());
    PwlTrace(0, "hWnd is 0x%08x and Timer ID is %d", window, kArrivalTimerId);
  }
  ~ArrivalTimer() { PwlTrace(0, "Enumeration Elapsed time = %d", static_cast<int>(platform::GetTickCount() - start_)); }
  std::chrono::steady_clock::time_point Deadline() const { return deadline_; }
  bool Expired() const { return std::chrono::steady_clock::now() >= deadline_; }

 private:
  std::uint32_t start_;
  std::chrono::steady_clock::time_point deadline_;
};

int Expired() {
  PwlTrace(0, "Timer for Q9T device enumeration expired");
  return PWL_RC_NOT_OPENED;
}

// Waits until an arrival moves the generation on after `seen`, or the
// deadline passes; the lock is released while waiting. True on an arrival.
bool WaitForArrival(StateLock& lock, std::uint64_t seen, std::chrono::steady_clock::time_point until) {
  LibraryState& s = State();
  return s.changed.wait_until(lock, until, [&] { return s.arrivalGeneration != seen; });
}

}  // namespace

}  // namespace pellwick

using namespace pellwick;

extern "C" {

int PWLSetThrdMsgHandler(uint16_t app, uint32_t threadId) {
  auto lock = LockState();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  State().apps.Targets(app).thread = threadId;
  return PWL_RC_SUCCESS;
}

int PWLSetAppHandler(uint16_t app, uint32_t window) {
  auto lock = LockState();
  LibraryState& s = State();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  s.apps.Targets(app).window = window;
  if (s.Pst().registerUsbMonitor) s.Pst().registerUsbMonitor(window);
  return PWL_RC_SUCCESS;
}

int PWLQueryDeviceArrival(uint16_t app, int unused, uint32_t elapseMs) {
  (void)unused;
  PwlTrace(0, "PWLQueryDeviceArrival entered");
  auto lock = LockState();
  LibraryState& s = State();
  if (int rc = s.apps.Check(app); rc != PWL_RC_SUCCESS) return rc;
  if (s.devices.Present(0)) return PWL_RC_SUCCESS;
  ArrivalTimer timer(s.apps.Targets(app).window, elapseMs);
  if (WaitForArrival(lock, s.arrivalGeneration, timer.Deadline())) return PWL_RC_SUCCESS;
  return Expired();
}

int PWLQueryDeviceArrivalEx(uint16_t app, uint16_t device, int interfaceKind, uint32_t elapseMs) {
  auto lock = LockState();
  LibraryState& s = State();
  if (int rc = s.apps.Check(app); rc != PWL_RC_SUCCESS) return rc;
  if (!DeviceTable::ValidId(device)) return PWL_RC_BAD_DEVICE_ID;
  if (!s.Pst().getInterfaceHandle) return PWL_RC_NOT_BOUND;
  const char* name = InterfaceNameOfKind(interfaceKind);
  if (InterfaceAnswers(device, name)) return PWL_RC_SUCCESS;
  ArrivalTimer timer(s.apps.Targets(app).window, elapseMs);
  const auto slice = std::chrono::milliseconds(static_cast<std::uint64_t>(elapseMs) * kExWaitFactor);
  // An arrival of another device wakes the wait too: only the asked device's
  // interface answering ends it with success.
  while (!timer.Expired()) {
    std::uint64_t seen = s.arrivalGeneration;
    auto until = std::min(timer.Deadline(), std::chrono::steady_clock::now() + slice);
    WaitForArrival(lock, seen, until);
    if (!s.Pst().getInterfaceHandle) break;
    if (InterfaceAnswers(device, name)) return PWL_RC_SUCCESS;
  }
  return Expired();
}

}  // extern "C"
