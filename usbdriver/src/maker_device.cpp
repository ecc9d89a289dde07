#include "maker_device.h"

#include "command_setup.h"
#include "pst_trace.h"
#include "quor_pst/quor_pst.h"
#include "transfer_status.h"

namespace usb_driver {

unsigned LibusbTimeout(std::uint32_t timeoutMs) {
  if (timeoutMs == kWaitForever) return 0;
  return timeoutMs == 0 ? 1 : timeoutMs;
}

std::string DeviceKey(const FoundDevice& found) {
  return found.sysname + "@" + std::to_string(found.where.bus) + "/" + std::to_string(found.where.address);
}

MakerDevice::MakerDevice(FoundDevice found, libusb_device* device, std::function<void()> onClaimBusy)
    : found_(std::move(found)), device_(libusb_ref_device(device)), onClaimBusy_(std::move(onClaimBusy)) {}

MakerDevice::~MakerDevice() {
  if (handle_) {
    for (int number : claimed_) libusb_release_interface(handle_, number);
    libusb_close(handle_);
  }
  libusb_unref_device(device_);
}

std::string MakerDevice::Key() const { return DeviceKey(found_); }

int MakerDevice::Open() {
  std::lock_guard lock(mutex_);
  if (handle_) return LIBUSB_SUCCESS;
  libusb_device_handle* handle = nullptr;
  const int rc = libusb_open(device_, &handle);
  if (rc != LIBUSB_SUCCESS) {
    PstTrace("open of %s (USB%u) failed: %s", found_.devnode.c_str(), found_.id, LibusbResultName(rc));
    return rc;
  }
  // A kernel driver bound to one of the interfaces steps aside while it is claimed.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  handle_ = handle;
  return LIBUSB_SUCCESS;
}

void MakerDevice::ReleaseClaims() {
  std::lock_guard lock(mutex_);
  if (!handle_) return;
  for (int number : claimed_) libusb_release_interface(handle_, number);
  claimed_.clear();
}

const MakerInterface* MakerDevice::InterfaceOfHandle(int handle) const {
  for (const auto& intf : found_.interfaces) {
    if (intf.handle == handle) return &intf;
  }
  return nullptr;
}

const MakerInterface* MakerDevice::InterfaceNamed(const char* name) const {
  const InterfaceName* wanted = FindInterfaceName(name);
  for (const auto& intf : found_.interfaces) {
    if (intf.name == wanted) return &intf;
  }
  return nullptr;
}

int MakerDevice::Prepare(const MakerInterface& intf, libusb_device_handle*& handle) {
  if (gone_) return PST_NO_DEVICE;
  const int opened = Open();
  if (opened == LIBUSB_ERROR_ACCESS) return PST_ACCESS_DENIED;
  if (opened != LIBUSB_SUCCESS) return PST_NO_DEVICE;
  int rc = LIBUSB_SUCCESS;
  {
    std::lock_guard lock(mutex_);
    handle = handle_;
    if (claimed_.count(intf.number)) return PST_OK;
    rc = libusb_claim_interface(handle_, intf.number);
    if (rc == LIBUSB_SUCCESS) {
      claimed_.insert(intf.number);
      return PST_OK;
    }
  }
  PstTrace("claim of interface %d of USB%u failed: %s", intf.number, found_.id, LibusbResultName(rc));
  // Another program (another instance, a modem manager) holds the interface.
  if (rc == LIBUSB_ERROR_BUSY && onClaimBusy_) onClaimBusy_();
  return rc == LIBUSB_ERROR_NO_DEVICE ? PST_NO_DEVICE : PST_PIPE_BROKEN;
}

BulkInStream& MakerDevice::StreamOf(const MakerInterface& intf) {
  std::lock_guard lock(mutex_);
  auto& stream = streams_[intf.number];
  if (!stream) stream = std::make_unique<BulkInStream>(intf.bulkIn ? intf.bulkIn->maxPacketSize : 0);
  return *stream;
}

int MakerDevice::Read(const MakerInterface& intf, int pipe, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& moved, std::uint32_t timeoutMs) {
  moved = 0;
  if (pipe != PST_PIPE_BULK && pipe != PST_PIPE_COMMAND) return PST_INVALID_PARAMETER;
  if (pipe == PST_PIPE_BULK && !intf.bulkIn) return PST_NO_INTERFACE;
  if (pipe == PST_PIPE_BULK && wanted == 0) return gone_ ? PST_NO_DEVICE : PST_OK;
  libusb_device_handle* handle = nullptr;
  if (int status = Prepare(intf, handle); status != PST_OK) return status;
  if (pipe == PST_PIPE_COMMAND) return ReadCommand(handle, buffer, wanted, moved, timeoutMs);
  return ReadBulk(handle, intf, buffer, wanted, moved, timeoutMs);
}

int MakerDevice::Write(const MakerInterface& intf, int pipe, const std::uint8_t* buffer, std::uint32_t length,
                       std::uint32_t& moved, std::uint32_t timeoutMs) {
  moved = 0;
  if (pipe != PST_PIPE_BULK && pipe != PST_PIPE_COMMAND) return PST_INVALID_PARAMETER;
  if (pipe == PST_PIPE_BULK && !intf.bulkOut) return PST_NO_INTERFACE;
  libusb_device_handle* handle = nullptr;
  if (int status = Prepare(intf, handle); status != PST_OK) return status;
  if (pipe == PST_PIPE_COMMAND) return WriteCommand(handle, buffer, length, moved, timeoutMs);
  return WriteBulk(handle, intf, buffer, length, moved, timeoutMs);
}

int MakerDevice::ReadBulk(libusb_device_handle* handle, const MakerInterface& intf, std::uint8_t* buffer,
                          std::uint32_t wanted, std::uint32_t& moved, std::uint32_t timeoutMs) {
  const std::uint8_t endpoint = intf.bulkIn->address;
  auto transfer = [&](std::uint8_t* data, std::uint32_t capacity, std::uint32_t& got, unsigned limit) {
    int actual = 0;
    const int rc = libusb_bulk_transfer(handle, endpoint, data, static_cast<int>(capacity), &actual, limit);
    got = actual > 0 ? static_cast<std::uint32_t>(actual) : 0;
    if (rc == LIBUSB_ERROR_PIPE) libusb_clear_halt(handle, endpoint);
    if (rc == LIBUSB_ERROR_OVERFLOW) {
      PstTrace("bulk read of USB%u endpoint 0x%02x: %s, the device sent more than a packet; %u bytes kept, "
               "the rest lost",
               found_.id, endpoint, LibusbResultName(rc), got);
    } else if (rc != LIBUSB_SUCCESS && rc != LIBUSB_ERROR_TIMEOUT) {
      PstTrace("bulk read of USB%u endpoint 0x%02x: %s", found_.id, endpoint, LibusbResultName(rc));
    }
    return rc;
  };
  const bool forever = timeoutMs == kWaitForever;
  const ReadOutcome outcome = StreamOf(intf).Read(buffer, wanted, forever ? kWaitForever : timeoutMs, transfer);
  moved = outcome.moved;
  const int result = gone_ && outcome.result == LIBUSB_SUCCESS ? LIBUSB_ERROR_NO_DEVICE : outcome.result;
  return BulkReadStatus(result, wanted, moved);
}

int MakerDevice::WriteBulk(libusb_device_handle* handle, const MakerInterface& intf, const std::uint8_t* buffer,
                           std::uint32_t length, std::uint32_t& moved, std::uint32_t timeoutMs) {
  const std::uint8_t endpoint = intf.bulkOut->address;
  int actual = 0;
  // libusb does not write through the pointer of an OUT transfer.
  const int rc = libusb_bulk_transfer(handle, endpoint, const_cast<std::uint8_t*>(buffer), static_cast<int>(length),
                                      &actual, LibusbTimeout(timeoutMs));
  moved = actual > 0 ? static_cast<std::uint32_t>(actual) : 0;
  if (rc == LIBUSB_ERROR_PIPE) libusb_clear_halt(handle, endpoint);
  if (rc != LIBUSB_SUCCESS && rc != LIBUSB_ERROR_TIMEOUT) {
    PstTrace("bulk write of USB%u endpoint 0x%02x: %s", found_.id, endpoint, LibusbResultName(rc));
  }
  return BulkWriteStatus(rc);
}

int MakerDevice::ReadCommand(libusb_device_handle* handle, std::uint8_t* buffer, std::uint32_t wanted,
                             std::uint32_t& moved, std::uint32_t timeoutMs) {
  const auto setup = CommandReadSetup(buffer, wanted);
  if (!setup) return PST_INVALID_PARAMETER;
  const int rc = libusb_control_transfer(handle, setup->requestType, setup->request, setup->value, setup->index,
                                         buffer + kCommandHeaderSize, setup->length, LibusbTimeout(timeoutMs));
  if (rc < 0) {
    PstTrace("command read of USB%u: %s", found_.id, LibusbResultName(rc));
    return CommandReadStatus(rc);
  }
  moved = kCommandHeaderSize + static_cast<std::uint32_t>(rc);
  return PST_OK;
}

int MakerDevice::WriteCommand(libusb_device_handle* handle, const std::uint8_t* buffer, std::uint32_t length,
                              std::uint32_t& moved, std::uint32_t timeoutMs) {
  const auto setup = CommandWriteSetup(buffer, length);
  if (!setup) return PST_INVALID_PARAMETER;
  const int rc = libusb_control_transfer(handle, setup->requestType, setup->request, setup->value, setup->index,
                                         const_cast<std::uint8_t*>(buffer) + kCommandHeaderSize, setup->length,
                                         LibusbTimeout(timeoutMs));
  if (rc < 0) {
    PstTrace("command write of USB%u: %s", found_.id, LibusbResultName(rc));
    return CommandWriteStatus(rc);
  }
  moved = kCommandHeaderSize + static_cast<std::uint32_t>(rc);
  return PST_OK;
}

}  // namespace usb_driver
