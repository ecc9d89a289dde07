#include "usb_testbed/usb_testbed.h"

#include <umockdev.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace usbtestbed {
namespace {

std::string Hex(unsigned value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", width, value);
  return text;
}

std::string Decimal3(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", value);
  return text;
}

// A NULL-terminated list of C texts for umockdev, owning its texts.
struct TextList {
  std::vector<std::string> texts;
  std::vector<const char*> items;
  explicit TextList(std::vector<std::string> t) : texts(std::move(t)) {
    for (const auto& text : texts) items.push_back(text.c_str());
    items.push_back(nullptr);
  }
  gchar** get() { return const_cast<gchar**>(items.data()); }
};

std::string Owned(gchar* text) {
  std::string s = text ? text : "";
  g_free(text);
  return s;
}

}  // namespace

UsbTestbed::UsbTestbed(int bus, int rootPorts) : testbed_(umockdev_testbed_new()), bus_(bus) {
  const int devnum = nextDevnum_++;
  DeviceSpec hub = RootHub(rootPorts);
  rootHubPath_ = AddUsbDevice({}, "usb" + std::to_string(bus), hub, devnum, "0");
  umockdev_testbed_set_attribute(testbed_, rootHubPath_.c_str(), "maxchild", (std::to_string(rootPorts) + "\n").c_str());
  rootHub_ = std::make_unique<UsbdevfsDevice>(hub, bus, devnum);
  AttachNode("/dev/bus/usb/" + Decimal3(bus) + "/" + Decimal3(devnum), *rootHub_);
}

UsbTestbed::~UsbTestbed() {
  for (const auto& node : attachedNodes_) umockdev_testbed_detach_ioctl(testbed_, node.c_str(), nullptr);
  g_object_unref(testbed_);
}

bool UsbTestbed::Preloaded() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "umockdev-preload");
}

std::string UsbTestbed::RootDir() const { return Owned(umockdev_testbed_get_root_dir(testbed_)); }

std::string UsbTestbed::AddUsbDevice(const std::string& parent, const std::string& sysname, const DeviceSpec& spec,
                                     int devnum, const std::string& devpath) {
  const std::string devname = "bus/usb/" + Decimal3(bus_) + "/" + Decimal3(devnum);
  std::vector<std::string> attrs = {
      "busnum", std::to_string(bus_), "devnum", std::to_string(devnum), "devpath", devpath,
      "speed", std::to_string(spec.speedMbps), "idVendor", Hex(spec.vendor, 4), "idProduct", Hex(spec.product, 4),
      "bcdDevice", Hex(spec.release, 4), "bDeviceClass", Hex(spec.deviceClass, 2),
      "bNumConfigurations", "1", "bConfigurationValue", "1",
      "bNumInterfaces", std::to_string(spec.interfaces.size()), "maxchild", "0"};
  if (!spec.manufacturer.empty()) attrs.insert(attrs.end(), {"manufacturer", spec.manufacturer});
  if (!spec.productText.empty()) attrs.insert(attrs.end(), {"product", spec.productText});
  if (!spec.serial.empty()) attrs.insert(attrs.end(), {"serial", spec.serial});
  // sysfs attributes end with a newline, as the kernel writes them.
  for (std::size_t i = 1; i < attrs.size(); i += 2) attrs[i] += "\n";
  TextList attrList(attrs);
  char product[32];
  std::snprintf(product, sizeof product, "%x/%x/%x", spec.vendor, spec.product, spec.release);
  TextList propList({"DEVTYPE", "usb_device", "DEVNAME", "/dev/" + devname, "BUSNUM", Decimal3(bus_), "DEVNUM",
                     Decimal3(devnum), "PRODUCT", product});
  const std::string syspath = Owned(umockdev_testbed_add_devicev(
      testbed_, "usb", sysname.c_str(), parent.empty() ? nullptr : parent.c_str(), attrList.get(), propList.get()));
  if (syspath.empty()) throw std::runtime_error("umockdev refused the device " + sysname);
  auto bytes = SysfsDescriptors(spec);
  umockdev_testbed_set_attribute_binary(testbed_, syspath.c_str(), "descriptors", bytes.data(),
                                        static_cast<gint>(bytes.size()));
  for (std::size_t n = 0; n < spec.interfaces.size(); ++n) {
    const auto& intf = spec.interfaces[n];
    const std::string name = sysname + ":1." + std::to_string(n);
    std::vector<std::string> a = {"bInterfaceNumber", Hex(static_cast<unsigned>(n), 2), "bAlternateSetting", "00",
                                  "bInterfaceClass", Hex(intf.interfaceClass, 2), "bInterfaceSubClass", "00",
                                  "bInterfaceProtocol", "00", "bNumEndpoints",
                                  Hex(static_cast<unsigned>(intf.endpoints.size()), 2)};
    if (!intf.name.empty()) a.insert(a.end(), {"interface", intf.name});
    for (std::size_t i = 1; i < a.size(); i += 2) a[i] += "\n";
    TextList interfaceAttrs(a);
    TextList interfaceProps({"DEVTYPE", "usb_interface", "INTERFACE",
                             std::to_string(intf.interfaceClass) + "/0/0"});
    Owned(umockdev_testbed_add_devicev(testbed_, "usb", name.c_str(), syspath.c_str(), interfaceAttrs.get(),
                                       interfaceProps.get()));
  }
  return syspath;
}

void UsbTestbed::AttachNode(const std::string& devnode, UsbdevfsDevice& device) {
  // The node itself is a plain file in the test bed's /dev; the preload
  // library sends the ioctls made on it to the handler.
  const std::filesystem::path file = RootDir() + devnode;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file).close();
  GError* error = nullptr;
  if (!umockdev_testbed_attach_ioctl(testbed_, devnode.c_str(), device.Handler(), &error)) {
    const std::string why = error ? error->message : "unknown";
    if (error) g_error_free(error);
    throw std::runtime_error("umockdev cannot serve " + devnode + ": " + why);
  }
  attachedNodes_.push_back(devnode);
}

UsbdevfsDevice& UsbTestbed::Plug(int port, const DeviceSpec& spec) {
  if (Plugged(port)) Unplug(port);
  const int devnum = nextDevnum_++;
  Slot slot;
  slot.syspath = AddUsbDevice(rootHubPath_, std::to_string(bus_) + "-" + std::to_string(port), spec, devnum,
                              std::to_string(port));
  slot.devnode = "/dev/bus/usb/" + Decimal3(bus_) + "/" + Decimal3(devnum);
  slot.device = std::make_unique<UsbdevfsDevice>(spec, bus_, devnum);
  AttachNode(slot.devnode, *slot.device);
  UsbdevfsDevice& device = *slot.device;
  const std::string syspath = slot.syspath;
  ports_[port] = std::move(slot);
  umockdev_testbed_uevent(testbed_, syspath.c_str(), "add");
  return device;
}

void UsbTestbed::Unplug(int port) {
  auto it = ports_.find(port);
  if (it == ports_.end()) return;
  Slot slot = std::move(it->second);
  ports_.erase(it);
  slot.device->Disconnect();
  umockdev_testbed_uevent(testbed_, slot.syspath.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, slot.syspath.c_str());
  std::error_code ignored;
  std::filesystem::remove(RootDir() + slot.devnode, ignored);
  unplugged_.push_back(std::move(slot.device));
}

bool UsbTestbed::Plugged(int port) const { return ports_.count(port) != 0; }

UsbdevfsDevice* UsbTestbed::DeviceAt(int port) const {
  auto it = ports_.find(port);
  return it == ports_.end() ? nullptr : it->second.device.get();
}

std::string UsbTestbed::SysPath(int port) const {
  auto it = ports_.find(port);
  return it == ports_.end() ? std::string{} : it->second.syspath;
}

std::string UsbTestbed::DevNode(int port) const {
  auto it = ports_.find(port);
  return it == ports_.end() ? std::string{} : it->second.devnode;
}

}  // namespace usbtestbed
