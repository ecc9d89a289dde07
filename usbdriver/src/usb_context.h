#pragma once
// libusb for the driver: one context, the hot-plug callback and the event
// thread that serves both. The thread is the library's own: it starts with
// the context and is stopped and joined before the context ends (at unload).
// After a hot-plug callback the thread calls onChange outside libusb's
// callback; onChange answers whether the tree should be looked at again
// shortly (a device whose interfaces the system has not shown yet).

#include <libusb.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace usb_driver {

class UsbContext {
 public:
  using ChangeHandler = std::function<bool()>;
  // How libusb is started: libusb_init, unless a test says otherwise.
  using Starter = std::function<int(libusb_context** context)>;
  explicit UsbContext(ChangeHandler onChange, Starter starter = {});
  ~UsbContext();
  UsbContext(const UsbContext&) = delete;
  UsbContext& operator=(const UsbContext&) = delete;

  // Starts libusb, the hot-plug callback and the event thread; false when
  // libusb cannot start. Safe to call again, from any thread: libusb starts
  // once.
  bool Start();
  // Stops and joins the event thread; the context stays until destruction.
  void StopEvents();

  bool Running() const { return context_ != nullptr; }
  bool HasHotplug() const { return hotplugRegistered_; }
  libusb_context* Get() const { return context_; }

 private:
  static int LIBUSB_CALL OnHotplug(libusb_context* context, libusb_device* device, libusb_hotplug_event event,
                                   void* self);
  void Run();

  ChangeHandler onChange_;
  Starter starter_;
  std::mutex startMutex_;  // one start at a time
  // Set once, when libusb has started; read by every call.
  std::atomic<libusb_context*> context_{nullptr};
  libusb_hotplug_callback_handle hotplug_{};
  std::atomic<bool> hotplugRegistered_{false};
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> changed_{false};
};

}  // namespace usb_driver
