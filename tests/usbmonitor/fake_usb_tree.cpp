#include "fake_usb_tree.h"

#include <umockdev.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kovrin_test {
namespace {

void PutWord(std::vector<std::uint8_t>& b, std::uint16_t w) {
  b.push_back(static_cast<std::uint8_t>(w & 0xFF));
  b.push_back(static_cast<std::uint8_t>(w >> 8));
}

std::string Hex(unsigned value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", width, value);
  return text;
}

// A NULL-terminated list of C texts for umockdev's variadic-free call.
struct TextList {
  std::vector<const char*> items;
  explicit TextList(const std::vector<std::string>& texts) {
    for (const auto& t : texts) items.push_back(t.c_str());
    items.push_back(nullptr);
  }
  gchar** get() { return const_cast<gchar**>(items.data()); }
};

}  // namespace

std::vector<std::uint8_t> DescriptorBytes(const DeviceSpec& spec) {
  std::vector<std::uint8_t> b = {18, 1, 0x00, 0x02, static_cast<std::uint8_t>(spec.deviceClass), 0, 0, 64};
  PutWord(b, static_cast<std::uint16_t>(std::strtoul(spec.vendor.c_str(), nullptr, 16)));
  PutWord(b, static_cast<std::uint16_t>(std::strtoul(spec.product.c_str(), nullptr, 16)));
  PutWord(b, spec.release);
  b.insert(b.end(), {spec.manufacturerIndex, spec.productIndex, spec.serialIndex, 1});
  std::vector<std::uint8_t> inner;
  for (const auto& intf : spec.interfaces) {
    inner.insert(inner.end(), {9, 4, static_cast<std::uint8_t>(intf.number), 0,
                               static_cast<std::uint8_t>(intf.endpoints.size()),
                               static_cast<std::uint8_t>(intf.interfaceClass), 0, 0, intf.stringIndex});
    for (const auto& ep : intf.endpoints) {
      inner.insert(inner.end(), {7, 5, ep.address, ep.attributes});
      PutWord(inner, ep.maxPacketSize);
      inner.push_back(0);
    }
  }
  const std::uint16_t total = static_cast<std::uint16_t>(9 + inner.size() + (spec.malformedDescriptors ? 40 : 0));
  b.insert(b.end(), {9, 2});
  PutWord(b, total);
  b.insert(b.end(), {static_cast<std::uint8_t>(spec.interfaces.size()), 1, 0, 0x80, 50});
  b.insert(b.end(), inner.begin(), inner.end());
  return b;
}

FakeUsbTree::FakeUsbTree() : testbed_(umockdev_testbed_new()) {}

FakeUsbTree::~FakeUsbTree() {
  if (testbed_) g_object_unref(testbed_);
}

bool FakeUsbTree::Preloaded() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "umockdev-preload");
}

std::string FakeUsbTree::AddUsbDevice(const std::string& parent, const std::string& sysname,
                                      const std::vector<std::string>& attributes,
                                      const std::string& productProperty) {
  const int devnum = nextDevnum_++;
  std::vector<std::string> attrs = attributes;
  attrs.insert(attrs.end(), {"devnum", std::to_string(devnum)});
  // Every device of the tree is on bus 1 (as its DEVNAME says); libusb reads it.
  if (std::find(attrs.begin(), attrs.end(), "busnum") == attrs.end()) attrs.insert(attrs.end(), {"busnum", "1"});
  TextList attrList(attrs);
  std::vector<std::string> props = {"DEVTYPE", "usb_device", "DEVNAME", "bus/usb/001/" + Hex(devnum, 3)};
  if (!productProperty.empty()) props.insert(props.end(), {"PRODUCT", productProperty});
  TextList propList(props);
  gchar* path = umockdev_testbed_add_devicev(testbed_, "usb", sysname.c_str(),
                                             parent.empty() ? nullptr : parent.c_str(), attrList.get(),
                                             propList.get());
  std::string syspath = path ? path : "";
  g_free(path);
  return syspath;
}

// A hub's descriptors: one interface of the hub class with its status
// endpoint, so that libusb takes the hub as a device of the tree.
static void SetHubDescriptors(UMockdevTestbed* testbed, const std::string& syspath, const std::string& vendor,
                       const std::string& product) {
  DeviceSpec hub;
  hub.vendor = vendor;
  hub.product = product;
  hub.deviceClass = 0x09;
  hub.interfaces = {{0, 0x09, 0, "", "", {{0x81, 3, 4}}}};
  const auto bytes = DescriptorBytes(hub);
  umockdev_testbed_set_attribute_binary(testbed, syspath.c_str(), "descriptors", const_cast<guint8*>(bytes.data()),
                                        bytes.size());
}

std::string FakeUsbTree::AddRootHub(int bus, int ports, int speedMbps) {
  const std::string syspath = AddUsbDevice({}, "usb" + std::to_string(bus),
                      {"idVendor", "1d6b", "idProduct", "0002", "bcdDevice", "0601", "bDeviceClass", "09",
                       "maxchild", std::to_string(ports), "speed", std::to_string(speedMbps), "busnum",
                       std::to_string(bus), "manufacturer", "Linux 6.1.0 xhci-hcd", "product",
                       "xHCI Host Controller"},
                      "1d6b/2/601");
  SetHubDescriptors(testbed_, syspath, "1d6b", "0002");
  return syspath;
}

std::string FakeUsbTree::AddHub(const std::string& parent, const std::string& sysname, int ports) {
  const std::string syspath = AddUsbDevice(parent, sysname,
                      {"idVendor", "05e3", "idProduct", "0610", "bcdDevice", "0932", "bDeviceClass", "09",
                       "maxchild", std::to_string(ports), "speed", "480", "manufacturer", "GenesysLogic",
                       "product", "USB2.1 Hub"},
                      "5e3/610/932");
  SetHubDescriptors(testbed_, syspath, "05e3", "0610");
  return syspath;
}

std::string FakeUsbTree::AddDevice(const std::string& parent, const std::string& sysname, const DeviceSpec& spec) {
  std::vector<std::string> attrs = {"idVendor", spec.vendor, "idProduct", spec.product, "bcdDevice",
                                    Hex(spec.release, 4), "bDeviceClass", Hex(static_cast<unsigned>(spec.deviceClass), 2),
                                    "maxchild", "0", "speed", "12"};
  if (!spec.manufacturer.empty()) attrs.insert(attrs.end(), {"manufacturer", spec.manufacturer});
  if (!spec.productText.empty()) attrs.insert(attrs.end(), {"product", spec.productText});
  if (!spec.serial.empty()) attrs.insert(attrs.end(), {"serial", spec.serial});
  const unsigned long vid = std::strtoul(spec.vendor.c_str(), nullptr, 16);
  const unsigned long pid = std::strtoul(spec.product.c_str(), nullptr, 16);
  char productProperty[32];
  std::snprintf(productProperty, sizeof productProperty, "%lx/%lx/%x", vid, pid, spec.release);
  const std::string syspath = AddUsbDevice(parent, sysname, attrs, productProperty);
  const auto bytes = DescriptorBytes(spec);
  umockdev_testbed_set_attribute_binary(testbed_, syspath.c_str(), "descriptors", const_cast<guint8*>(bytes.data()), bytes.size());
  for (const auto& intf : spec.interfaces) {
    const std::string name = sysname + ":1." + std::to_string(intf.number);
    std::vector<std::string> a = {"bInterfaceNumber", Hex(static_cast<unsigned>(intf.number), 2),
                                  "bInterfaceClass", Hex(static_cast<unsigned>(intf.interfaceClass), 2)};
    if (!intf.text.empty()) a.insert(a.end(), {"interface", intf.text});
    TextList attrList(a);
    std::vector<std::string> p = {"DEVTYPE", "usb_interface"};
    TextList propList(p);
    gchar* ipath = umockdev_testbed_add_devicev(testbed_, "usb", name.c_str(), syspath.c_str(), attrList.get(),
                                                propList.get());
    if (ipath && !intf.ttyNode.empty()) {
      const std::string ttyName = "ttyACM" + std::to_string(nextDevnum_++);
      gchar* tty = umockdev_testbed_add_device(testbed_, "tty", ttyName.c_str(), ipath, "dev", "166:0", nullptr,
                                               "DEVNAME", intf.ttyNode.c_str(), nullptr);
      g_free(tty);
    }
    g_free(ipath);
  }
  return syspath;
}

std::string FakeUsbTree::AddSerialPort(const std::string& name, const std::string& devnode, const std::string& type) {
  if (platformParent_.empty()) {
    gchar* p = umockdev_testbed_add_device(testbed_, "platform", "serial8250", nullptr, nullptr, nullptr);
    platformParent_ = p ? p : "";
    g_free(p);
  }
  gchar* tty = umockdev_testbed_add_device(testbed_, "tty", name.c_str(), platformParent_.c_str(), "type",
                                           type.c_str(), "dev", "4:64", nullptr, "DEVNAME", devnode.c_str(), nullptr);
  std::string syspath = tty ? tty : "";
  g_free(tty);
  return syspath;
}

std::string FakeUsbTree::AddTty(const std::string& interfaceSyspath, const std::string& name,
                                const std::string& devnode) {
  gchar* tty = umockdev_testbed_add_device(testbed_, "tty", name.c_str(), interfaceSyspath.c_str(), "dev", "166:9",
                                           nullptr, "DEVNAME", devnode.c_str(), nullptr);
  std::string syspath = tty ? tty : "";
  g_free(tty);
  return syspath;
}

void FakeUsbTree::Remove(const std::string& syspath) { umockdev_testbed_remove_device(testbed_, syspath.c_str()); }

void FakeUsbTree::Uevent(const std::string& syspath, const char* action) {
  umockdev_testbed_uevent(testbed_, syspath.c_str(), action);
}

}  // namespace kovrin_test
