#pragma once
// The driver's state: libusb and its event thread, the connected devices of
// the maker by device id, the registered windows and the reports of devices
// that cannot be used. The library's one driver (Instance) starts at the
// first call of any entry point and ends when the library is unloaded; tests
// make their own, with a libusb start of their choosing.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "access_reports.h"
#include "libusb_devices.h"
#include "maker_device.h"
#include "usb_context.h"

namespace usb_driver {

class UsbDriver {
 public:
  static UsbDriver& Instance();
  explicit UsbDriver(UsbContext::Starter starter = {});
  ~UsbDriver();
  UsbDriver(const UsbDriver&) = delete;
  UsbDriver& operator=(const UsbDriver&) = delete;

  // Driver calls; each returns an EPSTStatus.
  int Initialize();
  int Uninitialize();
  int Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted, std::uint32_t& moved,
           std::uint32_t timeoutMs);
  int Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
            std::uint32_t& moved, std::uint32_t timeoutMs);
  int InterfaceHandleOf(std::uint16_t device, const char* name, int& handle);
  int DeviceList(std::uint16_t* ids, int capacity, int& count);
  int Refresh();
  int RegisterChangeWindow(std::uint32_t window);
  int RegisterMonitorWindow(std::uint32_t window);
  int MaxBulkSize(int& size);
  // name null: the configuration's first bulk endpoint; else the named interface's.
  int EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size);

 private:
  // Brings the devices in line with the tree and libusb; announces the
  // changes when asked. True when a device should be looked at again soon.
  bool Synchronise(bool announce);
  // Forgets the served devices that libusb no longer has.
  void DropGone(const LibusbDevices& usb, bool announce);
  // Serves the maker's devices that are not served yet.
  void AddNew(const Inventory& inventory, const LibusbDevices& usb, bool announce);
  void Add(FoundDevice found, libusb_device* device, bool announce);
  std::shared_ptr<MakerDevice> Find(std::uint16_t device);
  // Opens the device; a device the user may not open is reported.
  int OpenReporting(MakerDevice& device);
  // Starts libusb when it has not started yet. What a start after the first
  // attempt finds is announced; the first attempt's devices are there at load.
  void StartLibusb();

  std::mutex startMutex_;  // one start at a time
  bool startTried_ = false;
  std::mutex syncMutex_;  // one synchronisation at a time
  std::mutex mutex_;      // the devices and the windows
  std::map<std::uint16_t, std::shared_ptr<MakerDevice>> devices_;
  // Read by the open reports outside the lock.
  std::atomic<std::uint32_t> changeWindow_{0};
  std::atomic<std::uint32_t> monitorWindow_{0};
  bool initialized_ = false;
  AccessReports reports_;
  UsbContext context_;
};

}  // namespace usb_driver
