#include "usb_driver.h"

#include <set>
#include <vector>

#include "device_change_notices.h"
#include "device_ids.h"
#include "platform/target_registry.h"
#include "platform/usb_tree.h"
#include "pst_trace.h"
#include "quor_pst/quor_pst.h"
#include "transfer_status.h"

namespace usb_driver {

UsbDriver& UsbDriver::Instance() {
  static UsbDriver instance;
  return instance;
}

UsbDriver::UsbDriver(UsbContext::Starter starter)
    : context_([this] { return Synchronise(true); }, std::move(starter)) {
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
  std::lock_guard lock(startMutex_);
  if (context_.Running()) return;
  const bool first = !startTried_;
  startTried_ = true;
  if (!context_.Start()) return;
  // Devices there when the library loads are served without announcing
  // them; a later start finds devices the program has not heard of.
  Synchronise(!first);
}

bool UsbDriver::Synchronise(bool announce) {
  std::lock_guard sync(syncMutex_);
  if (!context_.Running()) return false;
  const Inventory inventory = TakeInventory(platform::ReadUsbHostTree());
  const LibusbDevices usb(context_.Get());
  for (const auto& sysname : inventory.unnumbered) {
    PstTrace("device %s of the maker lies beyond port 126 and is not served", sysname.c_str());
  }
  std::lock_guard lock(mutex_);
  DropGone(usb, announce);
  AddNew(inventory, usb, announce);
  return AnyIncomplete(inventory, usb.Places());
}

void UsbDriver::DropGone(const LibusbDevices& usb, bool announce) {
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
}

void UsbDriver::AddNew(const Inventory& inventory, const LibusbDevices& usb, bool announce) {
  // A served device is known by its bus and address, not by its port
  // number, which a hub plugged in before it changes.
  std::set<BusAddress> served;
  std::set<std::uint16_t> taken;
  for (const auto& [id, device] : devices_) {
    served.insert(device->Info().where);
    taken.insert(id);
  }
  std::vector<const FoundDevice*> fresh;
  std::vector<int> portNumbers;
  for (const auto& found : inventory.devices) {
    if (served.count(found.where) || !usb.At(found.where)) continue;
    fresh.push_back(&found);
    portNumbers.push_back(found.id);
  }
  const auto ids = ChooseDeviceIds(portNumbers, taken);
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    const FoundDevice& found = *fresh[i];
    if (!ids[i]) {
      PstTrace("device %s of the maker is not served: every device id is held", found.sysname.c_str());
      continue;
    }
    Add(WithId(found, *ids[i]), usb.At(found.where), announce);
  }
}

void UsbDriver::Add(FoundDevice found, libusb_device* device, bool announce) {
  const std::uint16_t id = found.id;
  PstTrace("USB%u (%s, %s) arrived with %zu interfaces", id, found.sysname.c_str(), found.devnode.c_str(),
           found.interfaces.size());
  const std::string devnode = found.devnode;
  const std::string key = DeviceKey(found);
  auto onClaimBusy = [this, key, id, devnode] { reports_.InUse(key, id, devnode, monitorWindow_); };
  auto added = std::make_shared<MakerDevice>(std::move(found), device, std::move(onClaimBusy));
  devices_[id] = added;
  if (announce) quor_pst::PostArrivals(changeWindow_, monitorWindow_, id, DriverKindsOf(added->Info().interfaces));
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
