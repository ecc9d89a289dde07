#include "usb_driver.h"

#include <algorithm>
#include <vector>

#include "device_change_notices.h"
#include "platform/target_registry.h"
#include "platform/usb_tree.h"
#include "pst_trace.h"
#include "quor_pst/quor_pst.h"
#include "transfer_status.h"

namespace usb_driver {
namespace {

bool Contains(const std::vector<BusAddress>& list, const BusAddress& where) {
  return std::find(list.begin(), list.end(), where) != list.end();
}

// libusb's devices that are not root hubs, by bus and address; each holds a
// reference until the list is freed.
class LibusbDevices {
 public:
  explicit LibusbDevices(libusb_context* context) {
    const ssize_t n = libusb_get_device_list(context, &list_);
    for (ssize_t i = 0; i < n; ++i) {
      libusb_device* device = list_[i];
      if (libusb_get_port_number(device) == 0) continue;  // a root hub
      byWhere_[BusAddress{libusb_get_bus_number(device), libusb_get_device_address(device)}] = device;
    }
  }
  ~LibusbDevices() {
    if (list_) libusb_free_device_list(list_, 1);
  }
  LibusbDevices(const LibusbDevices&) = delete;
  LibusbDevices& operator=(const LibusbDevices&) = delete;

  libusb_device* At(const BusAddress& where) const {
    auto it = byWhere_.find(where);
    return it == byWhere_.end() ? nullptr : it->second;
  }
  const std::map<BusAddress, libusb_device*>& All() const { return byWhere_; }

 private:
  libusb_device** list_ = nullptr;
  std::map<BusAddress, libusb_device*> byWhere_;
};

}  // namespace

UsbDriver& UsbDriver::Instance() {
  static UsbDriver instance;
  return instance;
}

UsbDriver::UsbDriver() : context_([this] { return Synchronise(true); }) {
  // The registry must outlive this object: touching it first makes it so.
  platform::IsRegisteredWindow(platform::kNoHandle);
  StartLibusb();
}

UsbDriver::~UsbDriver() {
  context_.StopEvents();
  std::lock_guard lock(mutex_);
  devices_.clear();
}

void UsbDriver::StartLibusb() {
  if (context_.Running() || !context_.Start()) return;
  // Devices already there are served without announcing them.
  Synchronise(false);
}

bool UsbDriver::Synchronise(bool announce) {
  std::lock_guard sync(syncMutex_);
  if (!context_.Running()) return false;
  const Inventory inventory = TakeInventory(platform::ReadUsbHostTree());
  const LibusbDevices usb(context_.Get());
  bool incomplete = false;
  for (const auto& [where, device] : usb.All()) {
    if (!Contains(inventory.seen, where) || Contains(inventory.incomplete, where)) incomplete = true;
  }
  for (const auto& sysname : inventory.unnumbered) {
    PstTrace("device %s of the maker lies beyond port 126 and is not served", sysname.c_str());
  }

  std::lock_guard lock(mutex_);
  // libusb says whether a device is still there; the tree said what it is.
  for (auto it = devices_.begin(); it != devices_.end();) {
    auto& known = *it->second;
    if (usb.At(known.Info().where)) {
      ++it;
      continue;
    }
    known.MarkGone();
    reports_.Forget(known.Key());
    PstTrace("USB%u (%s) removed", known.Info().id, known.Info().sysname.c_str());
    if (announce) {
      quor_pst::PostRemovals(changeWindow_, monitorWindow_, known.Info().id, DriverKindsOf(known.Info().interfaces));
    }
    it = devices_.erase(it);
  }
  for (const auto& found : inventory.devices) {
    libusb_device* device = usb.At(found.where);
    if (!device || devices_.count(found.id)) continue;
    auto added = std::make_shared<MakerDevice>(found, device);
    PstTrace("USB%u (%s, %s) arrived with %zu interfaces", found.id, found.sysname.c_str(), found.devnode.c_str(),
             found.interfaces.size());
    devices_[found.id] = added;
    if (announce) quor_pst::PostArrivals(changeWindow_, monitorWindow_, found.id, DriverKindsOf(found.interfaces));
  }
  return incomplete;
}

int UsbDriver::OpenReporting(MakerDevice& device) {
  const int rc = device.Open();
  if (rc == LIBUSB_ERROR_ACCESS) {
    reports_.NoPermission(device.Key(), device.Info().id, device.Info().devnode, monitorWindow_);
  }
  return rc;
}

std::shared_ptr<MakerDevice> UsbDriver::Find(std::uint16_t device) {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(device);
  return it == devices_.end() ? nullptr : it->second;
}

int UsbDriver::Initialize() {
  StartLibusb();
  std::lock_guard lock(mutex_);
  initialized_ = true;
  return PST_OK;
}

int UsbDriver::Uninitialize() {
  std::lock_guard lock(mutex_);
  if (!initialized_) return PST_NOT_INITIALIZED;
  initialized_ = false;
  for (auto& [id, device] : devices_) device->ReleaseClaims();
  return PST_OK;
}

int UsbDriver::Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted,
                    std::uint32_t& moved, std::uint32_t timeoutMs) {
  moved = 0;
  auto known = Find(device);
  if (!known) return PST_NO_DEVICE;
  const MakerInterface* intf = known->InterfaceOfHandle(handle);
  if (!intf) return PST_NO_INTERFACE;
  if (!buffer && wanted > 0) return PST_INVALID_PARAMETER;
  return known->Read(*intf, pipe, static_cast<std::uint8_t*>(buffer), wanted, moved, timeoutMs);
}

int UsbDriver::Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
                     std::uint32_t& moved, std::uint32_t timeoutMs) {
  moved = 0;
  auto known = Find(device);
  if (!known) return PST_NO_DEVICE;
  const MakerInterface* intf = known->InterfaceOfHandle(handle);
  if (!intf) return PST_NO_INTERFACE;
  if (!buffer && length > 0) return PST_INVALID_PARAMETER;
  return known->Write(*intf, pipe, static_cast<const std::uint8_t*>(buffer), length, moved, timeoutMs);
}

int UsbDriver::InterfaceHandleOf(std::uint16_t device, const char* name, int& handle) {
  auto known = Find(device);
  if (!known) return PST_NO_DEVICE;
  const MakerInterface* intf = known->InterfaceNamed(name);
  if (!intf) return PST_NO_INTERFACE;
  const int rc = OpenReporting(*known);
  if (rc == LIBUSB_ERROR_ACCESS) return PST_ACCESS_DENIED;
  if (rc != LIBUSB_SUCCESS) return PST_NO_DEVICE;
  handle = intf->handle;
  return PST_OK;
}

int UsbDriver::DeviceList(std::uint16_t* ids, int capacity, int& count) {
  if (!ids && capacity > 0) return PST_INVALID_PARAMETER;
  StartLibusb();
  // Without hot-plug the list is the moment to look.
  if (context_.Running() && !context_.HasHotplug()) Synchronise(true);
  std::lock_guard lock(mutex_);
  count = 0;
  for (const auto& [id, device] : devices_) {
    if (count < capacity) ids[count] = id;
    ++count;
  }
  return PST_OK;
}

int UsbDriver::Refresh() {
  StartLibusb();
  Synchronise(true);
  return PST_OK;
}

int UsbDriver::RegisterChangeWindow(std::uint32_t window) {
  std::lock_guard lock(mutex_);
  changeWindow_ = window;
  return PST_OK;
}

int UsbDriver::RegisterMonitorWindow(std::uint32_t window) {
  {
    std::lock_guard lock(mutex_);
    monitorWindow_ = window;
  }
  if (window != platform::kNoHandle) reports_.WindowRegistered(window);
  return PST_OK;
}

int UsbDriver::MaxBulkSize(int& size) {
  size = static_cast<int>(kMaxBulkRequest);
  return PST_OK;
}

int UsbDriver::EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size) {
  auto known = Find(device);
  if (!known) return PST_NO_DEVICE;
  std::optional<std::uint16_t> packet;
  if (name) {
    const MakerInterface* intf = known->InterfaceNamed(name);
    if (!intf) return PST_NO_INTERFACE;
    const auto& endpoint = out ? intf->bulkOut : intf->bulkIn;
    if (endpoint) packet = endpoint->maxPacketSize;
  } else {
    packet = out ? known->Info().outPacketSize : known->Info().inPacketSize;
  }
  if (!packet) return PST_NO_INTERFACE;
  size = static_cast<std::int16_t>(*packet);
  return PST_OK;
}

}  // namespace usb_driver
