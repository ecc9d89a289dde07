#pragma once
// libusb's devices that are not root hubs, by bus and address; each holds a
// reference until the list is freed.

#include <libusb.h>

#include <map>

#include "device_inventory.h"

namespace usb_driver {

class LibusbDevices {
 public:
  explicit LibusbDevices(libusb_context* context);
  ~LibusbDevices();
  LibusbDevices(const LibusbDevices&) = delete;
  LibusbDevices& operator=(const LibusbDevices&) = delete;

  libusb_device* At(const BusAddress& where) const;
  // Where every device is.
  std::vector<BusAddress> Places() const;

 private:
  libusb_device** list_ = nullptr;
  std::map<BusAddress, libusb_device*> byWhere_;
};

}  // namespace usb_driver
