#pragma once
// The driver behind the 16 exported functions of a Quor_PST library. The
// export layer (pst_exports.cpp) checks every call's arguments once, asks
// the driver for a forced status, does the call and hands the driver the
// outcome to record; each library supplies only its driver (ExportedDriver).

#include <cstdint>
#include <optional>

namespace quor_pst {

// What one call of an entry point was asked.
struct PstCallArgs {
  const char* function = "";
  std::uint16_t device = 0xFFFF;  // 0xFFFF: the function takes no device
  int handle = 0;
  int pipe = 0;
  std::uint32_t requested = 0;  // the length asked (reads and writes with a length)
  std::uint32_t timeoutMs = 0;  // (reads and writes with a length)
  const char* interfaceName = nullptr;
  bool named = false;           // the function takes an interface name
  bool argumentsValid = true;   // false: refused with PST_INVALID_PARAMETER
};

// What the call gave back.
struct PstCallResult {
  int status = 0;
  std::uint32_t moved = 0;  // bytes read or written
  int value = 0;            // the handle, count or size handed out (0 unless PST_OK)
};

class PstDriver {
 public:
  virtual ~PstDriver() = default;

  virtual int Initialize() = 0;
  virtual int Uninitialize() = 0;
  virtual int Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted,
                   std::uint32_t& moved, std::uint32_t timeoutMs) = 0;
  virtual int Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
                    std::uint32_t& moved, std::uint32_t timeoutMs) = 0;
  virtual int InterfaceHandleOf(std::uint16_t device, const char* name, int& handle) = 0;
  virtual int DeviceList(std::uint16_t* ids, int capacity, int& count) = 0;
  virtual int Refresh() = 0;
  virtual int RegisterChangeWindow(std::uint32_t window) = 0;
  virtual int RegisterMonitorWindow(std::uint32_t window) = 0;
  virtual int MaxBulkSize(int& size) = 0;
  // name null: the device's first interface.
  virtual int EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size) = 0;

  // A status to return instead of doing the call, if any.
  virtual std::optional<int> ForcedStatus(const PstCallArgs& call) = 0;
  // Every call ends here: done, forced or refused.
  virtual void Record(const PstCallArgs& call, const PstCallResult& result) = 0;
};

// A driver whose device calls go to one object with the same calls (the
// stand-in's simulated bus, or the libusb driver), written once; the library
// adds the refresh, the forced statuses and the record of each call.
template <class Device, Device& (*DeviceOf)()>
class ForwardingPstDriver : public PstDriver {
 public:
  int Initialize() override { return DeviceOf().Initialize(); }
  int Uninitialize() override { return DeviceOf().Uninitialize(); }
  int Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted, std::uint32_t& moved,
           std::uint32_t timeoutMs) override {
    return DeviceOf().Read(device, handle, pipe, buffer, wanted, moved, timeoutMs);
  }
  int Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
            std::uint32_t& moved, std::uint32_t timeoutMs) override {
    return DeviceOf().Write(device, handle, pipe, buffer, length, moved, timeoutMs);
  }
  int InterfaceHandleOf(std::uint16_t device, const char* name, int& handle) override {
    return DeviceOf().InterfaceHandleOf(device, name, handle);
  }
  int DeviceList(std::uint16_t* ids, int capacity, int& count) override {
    return DeviceOf().DeviceList(ids, capacity, count);
  }
  int RegisterChangeWindow(std::uint32_t window) override { return DeviceOf().RegisterChangeWindow(window); }
  int RegisterMonitorWindow(std::uint32_t window) override { return DeviceOf().RegisterMonitorWindow(window); }
  int MaxBulkSize(int& size) override { return DeviceOf().MaxBulkSize(size); }
  int EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size) override {
    return DeviceOf().EndpointSize(device, name, out, size);
  }
};

// The library's one driver.
PstDriver& ExportedDriver();

}  // namespace quor_pst
