#include "usb_context.h"

#include <chrono>

#include "pst_trace.h"

namespace usb_driver {
namespace {

constexpr long kEventWaitMicroseconds = 100000;
// A device seen by libusb before the system shows its interfaces is looked
// at again this often, this many times.
constexpr auto kLookAgainAfter = std::chrono::milliseconds(50);
constexpr int kLookAgainTimes = 40;

}  // namespace

UsbContext::UsbContext(ChangeHandler onChange, Starter starter)
    : onChange_(std::move(onChange)), starter_(starter ? std::move(starter) : Starter(libusb_init)) {}

UsbContext::~UsbContext() {
  StopEvents();
  if (!context_) return;
  if (hotplugRegistered_) libusb_hotplug_deregister_callback(context_, hotplug_);
  libusb_exit(context_);
}

bool UsbContext::Start() {
  std::lock_guard lock(startMutex_);
  if (context_) return true;
  libusb_context* context = nullptr;
  const int rc = starter_(&context);
  if (rc != LIBUSB_SUCCESS || !context) {
    PstTrace("libusb cannot start: %s; no USB devices are served", libusb_error_name(rc));
    return false;
  }
  if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
    const int events = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
    const int hp = libusb_hotplug_register_callback(context, events, 0, LIBUSB_HOTPLUG_MATCH_ANY,
                                                    LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
                                                    &UsbContext::OnHotplug, this, &hotplug_);
    hotplugRegistered_ = hp == LIBUSB_SUCCESS;
    if (!hotplugRegistered_) PstTrace("libusb hot-plug registration failed: %s", libusb_error_name(hp));
  } else {
    PstTrace("libusb offers no hot-plug; devices are found when the device list is asked for");
  }
  context_ = context;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void UsbContext::StopEvents() {
  std::lock_guard lock(startMutex_);
  if (!thread_.joinable()) return;
  stop_ = true;
  libusb_interrupt_event_handler(context_);
  thread_.join();
}

int LIBUSB_CALL UsbContext::OnHotplug(libusb_context*, libusb_device*, libusb_hotplug_event, void* self) {
  // Only noted here: the tree is read outside libusb's callback.
  static_cast<UsbContext*>(self)->changed_ = true;
  return 0;
}

void UsbContext::Run() {
  int lookAgain = 0;
  auto nextLook = std::chrono::steady_clock::now();
  while (!stop_) {
    timeval wait{0, kEventWaitMicroseconds};
    if (lookAgain > 0) wait.tv_usec = std::chrono::duration_cast<std::chrono::microseconds>(kLookAgainAfter).count();
    libusb_handle_events_timeout_completed(context_, &wait, nullptr);
    if (stop_) break;
    const bool changed = changed_.exchange(false);
    const bool due = lookAgain > 0 && std::chrono::steady_clock::now() >= nextLook;
    if (!changed && !due) continue;
    if (changed) lookAgain = kLookAgainTimes;
    const bool incomplete = onChange_ && onChange_();
    lookAgain = incomplete ? lookAgain - 1 : 0;
    nextLook = std::chrono::steady_clock::now() + kLookAgainAfter;
  }
}

}  // namespace usb_driver
