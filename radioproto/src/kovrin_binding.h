#pragma once
// The USB device monitor Kovrin, bound by name: its module and the 22 entry
// points the library uses. An entry that is missing (or every entry, when the
// monitor is not loaded) makes its forward answer "monitor not bound".

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/event.h"

namespace gantrel {

// The monitor's success result.
inline constexpr int kKovrinOk = 1;
inline constexpr int kKovrinNoEndpoint = -1015;

struct KovrinEntries {
  int (*Initialize)(std::uint16_t) = nullptr;
  int (*Terminate)(std::uint16_t) = nullptr;
  int (*Start)(std::uint16_t) = nullptr;
  int (*Stop)(std::uint16_t) = nullptr;
  int (*SetAppshWnd)(std::uint16_t, std::uint32_t) = nullptr;
  int (*SetDeviceNotificationEvent)(std::uint16_t, platform::Event*) = nullptr;  // null unsubscribes
  int (*SubscribeThreadMessage)(std::uint16_t, std::uint32_t) = nullptr;
  int (*UnsubscribeThreadMessage)(std::uint16_t) = nullptr;
  int (*GetModemCommPort)(std::uint16_t, int*) = nullptr;
  int (*GetRS232Ports)(std::uint16_t, int*, int*) = nullptr;
  int (*GetModemCOMPortFromUSBPortID)(std::uint16_t, std::int16_t, std::int16_t*, int) = nullptr;
  int (*GetUSBDevInterfaceFromUSBPort)(std::uint16_t, std::int16_t, const char**, int) = nullptr;
  int (*GetBulkInEndpointMaxPacketSizeEx)(std::uint16_t, std::int16_t, const char*, std::int16_t*) = nullptr;
  int (*GetBulkOutEndpointMaxPacketSizeEx)(std::uint16_t, std::int16_t, const char*, std::int16_t*) = nullptr;
  int (*GetSmartphoneList)(std::uint16_t, int*, std::int16_t*) = nullptr;
  int (*GetUSBDeviceConnectedPorts)(std::uint16_t, int*, std::int16_t*) = nullptr;
  int (*GetUSBMdmConnectedUSBPort)(std::uint16_t, std::int16_t*) = nullptr;
  int (*GetProductName)(std::uint16_t, std::int16_t, char*) = nullptr;
  int (*GetDevDesc)(std::uint16_t, std::int16_t, char*) = nullptr;
  int (*GetTotalUSBPortsOnPC)(std::uint16_t, std::int16_t*) = nullptr;
  int (*DeviceIsHub)(std::uint16_t, std::int16_t, int*) = nullptr;
  int (*CheckTestCmdEPUsage)(std::uint16_t, std::int16_t, int*) = nullptr;
};

class KovrinBinding {
 public:
  // Loads the monitor by name ("Kovrin" maps to libKovrin.so beside the
  // program) and binds every entry it finds.
  bool Bind(const std::string& libraryName);
  void Unbind();
  bool Bound() const { return module_ != nullptr; }
  const KovrinEntries& entries() const { return entries_; }

 private:
  std::unique_ptr<platform::DynamicLibrary> module_;
  KovrinEntries entries_;
};

}  // namespace gantrel
