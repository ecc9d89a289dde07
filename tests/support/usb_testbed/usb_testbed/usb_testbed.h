#pragma once
// A USB bus in a umockdev test bed, as libusb on Linux finds it: a root
// hub, devices plugged into its ports with their sysfs attributes and
// descriptors, their interfaces, a device node /dev/bus/usb/BBB/DDD for
// each served by a UsbdevfsDevice, and the udev add and remove events.
//
// The process (and every program it starts with the same environment)
// must run under umockdev's preload library; the test bed sets
// UMOCKDEV_DIR for them. One test bed at a time per process.

#include <map>
#include <memory>
#include <string>

#include "usb_testbed/usb_descriptors.h"
#include "usb_testbed/usbdevfs_device.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace usbtestbed {

class UsbTestbed {
 public:
  explicit UsbTestbed(int bus = 1, int rootPorts = 8);
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // Whether this process runs under umockdev's preload library.
  static bool Preloaded();

  // Plugs a device into a port of the root hub (1..rootPorts) and sends
  // its add event. The device stays valid until the test bed ends, also
  // after it is unplugged (a program may still hold its node open).
  UsbdevfsDevice& Plug(int port, const DeviceSpec& spec);
  // Ends the device's URBs, sends its remove event and takes it out of
  // sysfs and /dev.
  void Unplug(int port);
  bool Plugged(int port) const;
  UsbdevfsDevice* DeviceAt(int port) const;

  std::string SysPath(int port) const;  // /sys/devices/usb1/1-N
  std::string DevNode(int port) const;  // /dev/bus/usb/001/DDD
  std::string RootDir() const;          // the test bed's folder (UMOCKDEV_DIR)

 private:
  struct Slot {
    std::string syspath;
    std::string devnode;
    std::unique_ptr<UsbdevfsDevice> device;
  };
  std::string AddUsbDevice(const std::string& parent, const std::string& sysname, const DeviceSpec& spec,
                           int devnum, const std::string& devpath);
  void AttachNode(const std::string& devnode, UsbdevfsDevice& device);

  UMockdevTestbed* testbed_ = nullptr;
  const int bus_;
  int nextDevnum_ = 1;
  std::string rootHubPath_;
  std::unique_ptr<UsbdevfsDevice> rootHub_;
  std::map<int, Slot> ports_;
  std::vector<std::unique_ptr<UsbdevfsDevice>> unplugged_;  // kept for nodes still open
  std::vector<std::string> attachedNodes_;
};

}  // namespace usbtestbed
