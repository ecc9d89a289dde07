#pragma once
// gantrel: the radio protocol library.
//
// Up to GANTREL_MAX_APPS client applications register a slot each and open
// one link in it to a radio: asynchronous serial, bisync serial (DLE framing,
// CRC-16, alternating acknowledgement), raw serial bus access (Trellbus,
// TLXP), serial with CTS flow control or a long read time-out, UDP, or the
// background-debug-mode lines of a parallel-port adapter. The library also
// forwards USB port queries to the USB device monitor Kovrin, which it loads
// by name (libKovrin.so beside the program), and watches the USB serial ports
// of its links.
//
// Every export returns 0 for success, a negative GANTREL_RC code below, or a
// raw system error number where its description says so. Window handles and
// thread ids are the platform layer's process-wide handles.
//
// Data arrives as WM_LINK_DATA posted to the slot's window: wParam is
// (length << 16) | application id, lParam the address of the bytes. The bytes
// belong to the message (a copy per message, freed with it): a receiver that
// keeps them beyond its handler takes them with
// message.payload.Take<std::vector<std::uint8_t>>().

#include <stdint.h>

// The functions this library exports; everything else in it is hidden.
#ifndef GANTREL_EXPORT
#if defined(__GNUC__)
#define GANTREL_EXPORT __attribute__((visibility("default")))
#else
#define GANTREL_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define GANTREL_MAX_APPS 10

// Messages.
#define WM_LINK_DATA 0x8001     // data or a 3-byte line status, see above
#define WM_LINK_SOCKET 0x0402   // wParam socket, lParam (error << 16) | event; hand lParam to QuorAsyncSelect

// Line-status records (posted as WM_LINK_DATA with length 3).
#define LINK_STATUS_MARK 0xF0
#define LINK_STATUS_DSR_OFF 0x00
#define LINK_STATUS_DSR_ON 0x01
#define LINK_STATUS_DEVICE_GONE 0x02

// Socket events in the low word of WM_LINK_SOCKET's lParam.
#define LINK_SOCKET_READ 1
#define LINK_SOCKET_CLOSE 32

// Link types (bits 8-15 of the connect word).
enum LinkType {
  LINK_ASYNC = 1,
  LINK_BISYNC = 2,
  LINK_TRELLBUS = 3,
  LINK_TLXP = 4,
  LINK_UDP = 5,
  LINK_BDM = 6,
  LINK_CTS_FLOW = 7,
  LINK_LONG_READ = 8,
};

// The connect word: application id, link type, port number.
#define GANTREL_CONNECT_WORD(id, type, port) \
  ((((uint32_t)(id) & 0xFFFFu) << 16) | (((uint32_t)(type) & 0xFFu) << 8) | ((uint32_t)(port) & 0xFFu))

typedef enum GANTREL_RC {
  GANTREL_RC_SUCCESS = 0,
  GANTREL_RC_FAILED = -1,             // no reply queued on a USB port; bisync reply wait failed; UDP send failed; flow control change failed
  GANTREL_RC_NOT_ALLOCATED = -2,      // slot not registered; terminate without start
  GANTREL_RC_BAD_ID = -3,             // application id above 9
  GANTREL_RC_SOCKETS = -5,            // sockets could not be started
  GANTREL_RC_NO_ACK = -7,             // no acknowledgement after five enquiries; short write
  GANTREL_RC_TIMEOUT = -8,            // no reply or no bytes
  GANTREL_RC_DEVICE_REMOVED = -9,     // device removed during a reply read
  GANTREL_RC_BAD_TYPE = -12,          // link type not allowed for the call
  GANTREL_RC_BAD_PORT = -13,          // bad or closed port
  GANTREL_RC_THREAD = -15,            // a reader or parser thread could not be started
  GANTREL_RC_LINK_OPEN = -16,         // the slot still has an open link
  GANTREL_RC_PORT_IN_USE = -18,       // port used by another link; access denied
  GANTREL_RC_NO_SLOT = -19,           // no free slot; socket owned by no link
  GANTREL_RC_NO_WINDOW = -20,         // window handle 0 or negative; no window to post to
  GANTREL_RC_BAD_RATE = -21,          // bit rate not accepted
  GANTREL_RC_NULL_BUFFER = -22,       // null buffer
  GANTREL_RC_BAD_APP = -38,           // application id above 9 (registration, connect)
  GANTREL_RC_BAD_TIMEOUT = -39,       // time-out above 3600
  GANTREL_RC_NOT_OPEN = -40,          // link not open
  GANTREL_RC_ALREADY_OPEN = -42,      // link already open
  GANTREL_RC_BDM_DEVICE = -45,        // background-debug-mode device cannot be opened
  GANTREL_RC_PIPE = -49,              // bisync pipe cannot be created
  GANTREL_RC_BAD_BUS_TYPE = -50,      // serial bus type above 2
  GANTREL_RC_NOT_BOUND = -52,         // USB device monitor not bound
  GANTREL_RC_WAIT_UNEXPECTED = -54,   // unexpected result while waiting for a bisync reply
  GANTREL_RC_MONITOR_FAILED = -55,    // USB device monitor call did not succeed
  GANTREL_RC_REPLY_TOO_LONG = -56,    // reply longer than the reply buffer
  GANTREL_RC_NO_ENDPOINT = -57,       // endpoint size unknown to the monitor
  GANTREL_RC_FRAME_TOO_LONG = -58,    // a bisync message whose frame would not fit 256 bytes
} GANTREL_RC;

// QuorRegisterApp's record: the caller's window in, the slot out.
typedef struct RegisterParams {
  int32_t window;
  uint16_t id;
} RegisterParams;

// A serial link's settings (laid out like the system's serial settings).
#define CONNECT_FLAG_BINARY 0x0001u
#define CONNECT_FLAG_CTS_OUT_FLOW 0x0004u
#define CONNECT_FLAG_RTS_SHIFT 12       // bits 12-13: RTS control (type 7 only)
typedef struct ConnectParams {
  uint32_t rate;
  uint32_t flags;
  uint8_t byteSize;
  uint8_t parity;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t stopBits;  // 0 one, 1 one and a half, 2 two
  char xonChar;
  char xoffChar;
} ConnectParams;

// A UDP link's peer.
typedef struct UdpConnectParams {
  char address[128];  // dotted IPv4 address text
  uint16_t port;
} UdpConnectParams;

// A background-debug-mode driver record.
typedef struct BdmOp {
  int32_t op;
  int32_t argument;
  int32_t data;
} BdmOp;

// Registration and library lifetime.
GANTREL_EXPORT int QuorInitialize(void);
GANTREL_EXPORT int QuorTerminate(void);
GANTREL_EXPORT int QuorRegisterApp(RegisterParams* params);
GANTREL_EXPORT int QuorDeRegisterApp(uint16_t id);
GANTREL_EXPORT int QuorRegisterThreadMessage(uint16_t id, uint32_t threadId);
GANTREL_EXPORT int QuorDeregisterThreadMessage(uint16_t id);
GANTREL_EXPORT int SetRALPWindowHandler(int32_t window);

// Connect, send and read.
GANTREL_EXPORT int QuorConnect(uint32_t connectWord, void* params, uint16_t unused, uint16_t timeout, int sync);
GANTREL_EXPORT int QuorUSBConnect(uint32_t connectWord, ConnectParams* params, uint16_t unused, uint16_t timeout,
                                  int sync);
GANTREL_EXPORT int QuorDisconnect(uint16_t id);
GANTREL_EXPORT int QuorChangeProtocol(uint16_t id, uint16_t newType, int sync);
GANTREL_EXPORT int QuorSetSerialBusType(uint16_t id, int type);
GANTREL_EXPORT int QuorSendRequestEx(uint32_t connectWord, const uint8_t* request, uint32_t length, uint8_t* reply,
                                     uint32_t* replyLength);
GANTREL_EXPORT int QuorSendRequest(uint32_t connectWord, const uint8_t* request, uint32_t length, uint8_t* reply,
                                   uint32_t replySize);
GANTREL_EXPORT int QuorReadAsyncBlockingReply(uint16_t id, uint8_t* buffer, uint32_t* length);
GANTREL_EXPORT int QuorAsyncSelect(uint32_t socket, int32_t lParam);
GANTREL_EXPORT int QuorCheckWinSock(void);

// Serial links.
GANTREL_EXPORT int nwAvailBytesInRXBuffer(uint16_t id);
GANTREL_EXPORT int nwIsRXBegun(uint16_t id);
GANTREL_EXPORT int nwIsTXDone(uint16_t id);
GANTREL_EXPORT int nwFlushReceiveBuffer(uint16_t id);
GANTREL_EXPORT int nwFlushTransmitBuffer(uint16_t id);
GANTREL_EXPORT int nwCheckBusy(uint16_t id);
GANTREL_EXPORT int nwReadDSR(uint16_t id);
GANTREL_EXPORT int nwGetModemStatus(uint16_t id);
GANTREL_EXPORT int nwGetBusy(uint16_t id);
GANTREL_EXPORT int nwReleaseBusy(uint16_t id);
GANTREL_EXPORT int ResetPorts(uint16_t id);
GANTREL_EXPORT int nwSetUpBaudRate(uint16_t id, const char* mode);
GANTREL_EXPORT int nwGetCommState(uint16_t id, ConnectParams* settings);
GANTREL_EXPORT int nwGetCOMPortHandle(uint16_t id);
GANTREL_EXPORT int nwReadTrellbus(uint16_t id, uint8_t* buffer, uint32_t length);
GANTREL_EXPORT int nwWriteTrellbus(uint16_t id, const uint8_t* buffer, uint32_t length);
GANTREL_EXPORT int nwReadTLXP(uint16_t id, uint8_t* buffer, uint32_t length);
GANTREL_EXPORT int ReadDataFromSerialPort(uint16_t id, uint8_t* buffer, uint32_t length);
GANTREL_EXPORT int WriteDataToSerialPort(uint16_t id, const uint8_t* data, uint32_t length);
GANTREL_EXPORT int CheckTrellbusSettings(uint16_t id);
GANTREL_EXPORT int nwWriteBisync(uint16_t id, const uint8_t* data, uint32_t length);

GANTREL_EXPORT int QuorEnumerateSerialPorts(int unused, int* count, int* list);
GANTREL_EXPORT int QuorGetSerialPortProperties(int unused, int port, int* kind);
GANTREL_EXPORT int QuorFlushUSBPortReceiveBuffer(int unused, int port, int* length);
GANTREL_EXPORT int QuorFlushUSBPortReceiveBufferEx(uint16_t usbPort, int interfaceKind, int* length);
GANTREL_EXPORT int QuorEnableHWFlowControl(uint16_t id);
GANTREL_EXPORT int QuorDisableHWFlowControl(uint16_t id);
GANTREL_EXPORT int QuorDSRLineActive(uint16_t id);
GANTREL_EXPORT int QuorCheckSUStatus(uint16_t id);

// USB port queries, answered by the USB device monitor.
GANTREL_EXPORT int QuorGetUSBModemPort(uint16_t id, int* com);
GANTREL_EXPORT int QuorGetRS232Ports(uint16_t id, int* count, int* ports);
GANTREL_EXPORT int QuorGetUSBMdmPortFromUSBPort(uint16_t id, uint16_t usbPort, int16_t* com, uint32_t timeoutMs);
GANTREL_EXPORT int QuorGetUSBDevInterfaceFromUSBPort(uint16_t id, uint16_t usbPort, const char** path,
                                                     uint32_t timeoutMs);
GANTREL_EXPORT int QuorGetUSBSmartphoneList(uint16_t id, int* count, int16_t* ports);
GANTREL_EXPORT int QuorGetUSBDeviceConnectedPorts(uint16_t id, int* count, int16_t* ports);
GANTREL_EXPORT int QuorGetUSBDeviceProductName(uint16_t id, uint16_t usbPort, char* text);
GANTREL_EXPORT int QuorGetUSBDevDescription(uint16_t id, uint16_t usbPort, char* text);
GANTREL_EXPORT int QuorGetUSBMdmConnectedUSBPort(uint16_t id, int16_t* usbPort);
GANTREL_EXPORT int QuorGetUSBNumPortsOnPC(uint16_t id, int16_t* count);
GANTREL_EXPORT int QuorUSBDeviceIsHub(uint16_t id, uint16_t usbPort, int* isHub);
GANTREL_EXPORT int QuorQueryTCIEPUsage(uint16_t id, uint16_t usbPort, int* used);
GANTREL_EXPORT int QuorGetUSBInterfaceBulkInEndpointSize(uint16_t id, uint16_t usbPort, const char* interfaceName,
                                                         int16_t* size);
GANTREL_EXPORT int QuorGetUSBInterfaceBulkOutEndpointSize(uint16_t id, uint16_t usbPort, const char* interfaceName,
                                                          int16_t* size);

// Background-debug-mode lines.
GANTREL_EXPORT void LPT_SET_BDM(void);
GANTREL_EXPORT void LPT_CLR_BDM(void);
GANTREL_EXPORT void LPT_SET_DSCLK(void);
GANTREL_EXPORT void LPT_CLR_DSCLK(void);
GANTREL_EXPORT void LPT_SET_DSI(void);
GANTREL_EXPORT void LPT_CLR_DSI(void);
GANTREL_EXPORT void LPT_SET_RESET_FB(void);
GANTREL_EXPORT void LPT_CLR_RESET_FB(void);
GANTREL_EXPORT int BdmGetDSO(void);
GANTREL_EXPORT int LPT_SEND_DATA(int gather, uint32_t* bits);
GANTREL_EXPORT int LPTTestStatus(void);
GANTREL_EXPORT int BdmTestFreeze(void);
GANTREL_EXPORT int BdmFreeze(void);
GANTREL_EXPORT int BdmClear(void);

#ifdef __cplusplus
}
#endif
