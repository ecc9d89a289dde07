#pragma once
// The communication exception of the link layer. Every class of the link
// layer (serial port, serial-bus transport, USB transport, boot link) throws
// one of these values by value; the device operations catch it around a
// whole step and turn it into an engine error code.

enum ISP_EXCEPTION : int {
  ISP_SERIAL_BUS_TIMEOUT = 0,           // no reply (also an ACK that never came)
  ISP_NAK_DETECTED = 1,
  ISP_OPEN_PORT_FAILED = 2,
  ISP_CLOSE_PORT_FAILED = 3,
  ISP_GET_COMM_STATE_FAILED = 4,
  ISP_SET_COMM_STATE_FAILED = 5,
  ISP_SET_COMM_TIMEOUTS_FAILED = 6,
  ISP_READ_PORT_FAILED = 7,
  ISP_WRITE_PORT_FAILED = 8,
  ISP_PORT_STATUS_FAILED = 9,
  ISP_READ_COUNT_MISMATCH = 10,
  ISP_WRITE_COUNT_MISMATCH = 11,
  ISP_PURGE_RECEIVE_FAILED = 12,
  ISP_PURGE_TRANSMIT_FAILED = 13,
  ISP_MESSAGE_NOT_SUPPORTED = 14,       // every malformed frame
  ISP_ACK_TIMEOUT = 15,                 // in the table; nothing throws it
  ISP_BAD_CHECKSUM = 16,
  ISP_NO_BOOTLOADER_ACK = 17,
  ISP_USB_READ_TIMEOUT = 18,
  ISP_USB_WRITE_TIMEOUT = 19,
  ISP_USB_RADIO_NOT_DETECTED = 20,
  ISP_USB_FAILED = 21,
  ISP_USB_INVALID_ID = 22,
  ISP_USB_NO_CSR_SPACE = 23,
  ISP_USB_INVALID_INTERFACE = 24,
  ISP_USB_NOT_INITIALIZED = 25,
  ISP_USB_DEVICE_BUSY = 26,
  ISP_USB_INTERFACE_NOT_AVAILABLE = 27,
  ISP_USB_UNKNOWN_ERROR = 28,
};

inline constexpr int kIspExceptionCount = 29;

// The text of a value; any other value gives "Undefined communication exception".
const char* CommErrorText(int value);
