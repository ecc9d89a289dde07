#include "libusb_devices.h"

namespace usb_driver {

LibusbDevices::LibusbDevices(libusb_context* context) {
  const ssize_t n = libusb_get_device_list(context, &list_);
  for (ssize_t i = 0; i < n; ++i) {
    libusb_device* device = list_[i];
    if (libusb_get_port_number(device) == 0) continue;  // a root hub
    byWhere_[BusAddress{libusb_get_bus_number(device), libusb_get_device_address(device)}] = device;
  }
}

LibusbDevices::~LibusbDevices() {
  if (list_) libusb_free_device_list(list_, 1);
}

libusb_device* LibusbDevices::At(const BusAddress& where) const {
  auto it = byWhere_.find(where);
  return it == byWhere_.end() ? nullptr : it->second;
}

std::vector<BusAddress> LibusbDevices::Places() const {
  std::vector<BusAddress> places;
  for (const auto& [where, device] : byWhere_) places.push_back(where);
  return places;
}

}  // namespace usb_driver
