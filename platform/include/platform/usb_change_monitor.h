#pragma once
// USB device changes as the system announces them (a udev monitor): USB
// devices added and removed, and ttys added and removed. The handler runs on
// the monitor's own thread; Stop wakes that thread and joins it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

struct UsbDeviceChange {
  enum class Action { Add, Remove, Other };
  enum class Kind { UsbDevice, Tty, Other };
  Action action = Action::Other;
  Kind kind = Kind::Other;
  std::string syspath;
  std::string devnode;
  bool idsKnown = false;  // vendor and product from the announcement
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

// The vendor and product ids of a "PRODUCT" text ("1d07/20/1"): hex
// numbers without padding. False when the text is not of that form.
bool ParseUsbProductText(const std::string& text, std::uint16_t& vendorId,
                         std::uint16_t& productId);

class UsbChangeMonitor {
 public:
  using Handler = std::function<void(const UsbDeviceChange&)>;

  UsbChangeMonitor();
  ~UsbChangeMonitor();
  UsbChangeMonitor(const UsbChangeMonitor&) = delete;
  UsbChangeMonitor& operator=(const UsbChangeMonitor&) = delete;

  // Starts listening before it returns (so no change announced afterwards is
  // missed) and starts the thread. False when the thread cannot start. A
  // system without announcements still gives a running thread that only
  // waits for Stop; Listening() tells the difference.
  bool Start(Handler handler);
  // Wakes the thread, waits for it to end and closes the monitor. Safe to
  // call when not started. Called from the handler it only asks the thread
  // to end.
  void Stop();
  // Waits until the thread has handled every change announced before the
  // call (a sentinel through the thread). False when the thread does not
  // run or the time-out passes first.
  bool Flush(std::chrono::milliseconds timeout);
  bool Running() const;
  bool Listening() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
