#pragma once
// libKovrin.so, the USB device monitor: plain C exports.
//
// Every export takes the caller's 16-bit application id first (the queries
// ignore it) and returns an int code (below). Port arguments are the
// monitor's USB port numbers 0..126; any other port is refused with
// KOVRIN_NOT_FOUND. A null output pointer counts as a fault and gives
// KOVRIN_FAULT.
//
// Windows are platform window handles and threads platform thread ids
// (platform/target_registry.h); the notification event is a platform::Event
// that the caller keeps alive until it hands the monitor a null event again.
//
// A debug trace of the announcements handled, the rescans and the records
// posted goes to the sink that the environment variable QUILLON_KOVRIN_TRACE
// names ("stderr" or a file); it is off otherwise.
//
// Text outputs hold KOVRIN_TEXT_SIZE bytes with the terminating NUL; the
// serial-port list holds at most KOVRIN_MAX_RS232_PORTS numbers; port lists
// and the device list hold at most KOVRIN_PORT_COUNT values.

#include <cstdint>

namespace platform {
class Event;
}

#if defined(__GNUC__)
#define KOVRIN_EXPORT __attribute__((visibility("default")))
#else
#define KOVRIN_EXPORT
#endif

#define KOVRIN_SUCCESS 1
#define KOVRIN_FAULT 0
#define KOVRIN_NOT_INITIALIZED (-1002)
#define KOVRIN_REGISTRATION_FAILED (-1004)
#define KOVRIN_NO_INTERFACE_MODE (-1005)
#define KOVRIN_NO_VERSION (-1008)
#define KOVRIN_NO_REGISTRATION (-1009)
#define KOVRIN_NOT_FOUND (-1010)
#define KOVRIN_NO_DEVICE_LIST (-1011)
#define KOVRIN_NO_MODEM_PORT (-1012)
#define KOVRIN_NO_DEVICE_INTERFACE (-1013)
#define KOVRIN_NO_DESCRIPTORS (-1014)
#define KOVRIN_NO_ENDPOINT (-1015)
#define KOVRIN_ENUM_TIMEOUT (-1016)

#define KOVRIN_PORT_COUNT 127
#define KOVRIN_TEXT_SIZE 256
#define KOVRIN_MAX_RS232_PORTS 255

extern "C" {

KOVRIN_EXPORT int KovrinInitialize(std::uint16_t appId);
KOVRIN_EXPORT int KovrinTerminate(std::uint16_t appId);
KOVRIN_EXPORT int KovrinStart(std::uint16_t appId);
KOVRIN_EXPORT int KovrinStop(std::uint16_t appId);

KOVRIN_EXPORT int KovrinSetDeviceNotificationEvent(std::uint16_t appId, platform::Event* event);
KOVRIN_EXPORT int KovrinSetAppshWnd(std::uint16_t appId, std::uint32_t window);
KOVRIN_EXPORT int KovrinClearAppshWnd(std::uint16_t appId, std::uint32_t window);
KOVRIN_EXPORT int KovrinSubscribeThreadMessage(std::uint16_t appId, std::uint32_t threadId);
KOVRIN_EXPORT int KovrinUnsubscribeThreadMessage(std::uint16_t appId);

// entries: room for KOVRIN_PORT_COUNT values.
KOVRIN_EXPORT int KovrinGetDeviceList(std::uint16_t appId, int* count, int* entries);
KOVRIN_EXPORT int KovrinGetDeviceUSBPortID(std::uint16_t appId, const char* devicePath, std::int16_t* port);
KOVRIN_EXPORT int KovrinGetModemCommPort(std::uint16_t appId, int* com);
// ports: room for KOVRIN_MAX_RS232_PORTS values.
KOVRIN_EXPORT int KovrinGetRS232Ports(std::uint16_t appId, int* count, int* ports);
KOVRIN_EXPORT int KovrinGetModemCOMPortFromUSBPortID(std::uint16_t appId, std::int16_t port, std::int16_t* com,
                                       int timeoutMs);
// path: set to a text the monitor keeps for the life of the process.
KOVRIN_EXPORT int KovrinGetUSBDevInterfaceFromUSBPort(std::uint16_t appId, std::int16_t port, const char** path,
                                        int timeoutMs);
KOVRIN_EXPORT int KovrinGetBulkInEndpointMaxPacketSize(std::uint16_t appId, std::int16_t port, std::int16_t* size);
KOVRIN_EXPORT int KovrinGetBulkOutEndpointMaxPacketSize(std::uint16_t appId, std::int16_t port, std::int16_t* size);
KOVRIN_EXPORT int KovrinGetBulkOutEndpointMaxPacketSizeEx(std::uint16_t appId, std::int16_t port,
                                            const char* interfaceText, std::int16_t* size);
KOVRIN_EXPORT int KovrinGetBulkInEndpointMaxPacketSizeEx(std::uint16_t appId, std::int16_t port,
                                           const char* interfaceText, std::int16_t* size);
// ports: room for KOVRIN_PORT_COUNT values.
KOVRIN_EXPORT int KovrinGetSmartphoneList(std::uint16_t appId, int* count, std::int16_t* ports);
KOVRIN_EXPORT int KovrinGetUSBDeviceConnectedPorts(std::uint16_t appId, int* count, std::int16_t* ports);
KOVRIN_EXPORT int KovrinWaitForDeviceEnum(std::uint16_t appId, int timeoutMs);
KOVRIN_EXPORT int KovrinGetDeviceRemovePort(std::uint16_t appId, int value, std::int16_t* port);
KOVRIN_EXPORT int KovrinGetIntfStringDesc(std::uint16_t appId, std::int16_t port, char* text, int size);
// text: room for KOVRIN_TEXT_SIZE bytes (also for the next three).
KOVRIN_EXPORT int KovrinIdentifyDevice(std::uint16_t appId, std::int16_t port, char* text);
KOVRIN_EXPORT int KovrinGetProductName(std::uint16_t appId, std::int16_t port, char* text);
KOVRIN_EXPORT int KovrinGetUSBMdmConnectedUSBPort(std::uint16_t appId, std::int16_t* port);
KOVRIN_EXPORT int KovrinGetDevDesc(std::uint16_t appId, std::int16_t port, char* text);
KOVRIN_EXPORT int KovrinGetTotalUSBPortsOnPC(std::uint16_t appId, std::int16_t* count);
KOVRIN_EXPORT int KovrinDeviceIsHub(std::uint16_t appId, std::int16_t port, int* isHub);
KOVRIN_EXPORT int KovrinCheckTestCmdEPUsage(std::uint16_t appId, std::int16_t port, int* used);
KOVRIN_EXPORT int KovrinGetVendorProductIDs(std::uint16_t appId, std::int16_t port, std::int16_t* vendorId,
                              std::int16_t* productId);

}  // extern "C"

namespace kovrin {

// Besides WM_USB_DEVICE_EVENT (usb_change_record.h), listed windows get:
// the link status of a modem change (wParam 3 << 16, lParam the address of
// the three bytes F0 F0 01 on arrival, F0 F0 00 on removal, carried by the
// message), and the presence of a changed port (wParam 1 arrival, 0
// removal; lParam the port's entry).
inline constexpr std::uint32_t WM_USB_LINE_STATUS = 0x8002;
inline constexpr std::uint32_t WM_USB_DEVICE_PRESENCE = 0x800A;

}  // namespace kovrin
