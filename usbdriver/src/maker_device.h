#pragma once
// One connected device of the maker: what the tree says of it, its libusb
// device, the open handle (opened when an interface handle is first asked
// for, or at the next call when that failed), the interfaces claimed at their first transfer and
// the byte stream of each bulk IN pipe. A transfer holds the device by
// shared pointer, so a removal during the transfer ends it with a status
// and frees the device after it.

#include <libusb.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "bulk_stream.h"
#include "device_inventory.h"

namespace usb_driver {

// One plug-in of one device: its system name, bus and address.
std::string DeviceKey(const FoundDevice& found);

class MakerDevice {
 public:
  // Takes a reference on the libusb device. onClaimBusy runs when a claim
  // finds the interface held by another program.
  MakerDevice(FoundDevice found, libusb_device* device, std::function<void()> onClaimBusy = {});
  ~MakerDevice();
  MakerDevice(const MakerDevice&) = delete;
  MakerDevice& operator=(const MakerDevice&) = delete;

  const FoundDevice& Info() const { return found_; }
  // One plug-in of one device.
  std::string Key() const;

  // Opens the device when it is not open yet; the libusb result.
  int Open();
  void MarkGone() { gone_ = true; }
  // Releases every claimed interface; the device stays open.
  void ReleaseClaims();

  const MakerInterface* InterfaceOfHandle(int handle) const;
  const MakerInterface* InterfaceNamed(const char* name) const;

  // Driver statuses; `moved` is what went either way.
  int Read(const MakerInterface& intf, int pipe, std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& moved,
           std::uint32_t timeoutMs);
  int Write(const MakerInterface& intf, int pipe, const std::uint8_t* buffer, std::uint32_t length,
            std::uint32_t& moved, std::uint32_t timeoutMs);

 private:
  // The open handle with the interface claimed, or a driver status.
  int Prepare(const MakerInterface& intf, libusb_device_handle*& handle);
  BulkInStream& StreamOf(const MakerInterface& intf);
  int ReadBulk(libusb_device_handle* handle, const MakerInterface& intf, std::uint8_t* buffer, std::uint32_t wanted,
               std::uint32_t& moved, std::uint32_t timeoutMs);
  int WriteBulk(libusb_device_handle* handle, const MakerInterface& intf, const std::uint8_t* buffer,
                std::uint32_t length, std::uint32_t& moved, std::uint32_t timeoutMs);
  int ReadCommand(libusb_device_handle* handle, std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& moved,
                  std::uint32_t timeoutMs);
  int WriteCommand(libusb_device_handle* handle, const std::uint8_t* buffer, std::uint32_t length,
                   std::uint32_t& moved, std::uint32_t timeoutMs);

  const FoundDevice found_;
  libusb_device* device_;
  const std::function<void()> onClaimBusy_;
  std::atomic<bool> gone_{false};
  mutable std::mutex mutex_;
  libusb_device_handle* handle_ = nullptr;
  std::set<int> claimed_;
  std::map<int, std::unique_ptr<BulkInStream>> streams_;
};

// libusb's time-out for a driver time-out: 0 is no limit there.
unsigned LibusbTimeout(std::uint32_t timeoutMs);

}  // namespace usb_driver
