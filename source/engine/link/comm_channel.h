#pragma once
// The communication channel: every exchange between a device object and a
// radio goes through one, built for the length of one step and destroyed at
// its end. It owns exactly one transport, chosen by its kind, and the
// transport is connected as soon as the channel exists.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/link/isp_exception.h"

class CSerialBusTransport;
class CSerialPort;
class CUsbTransport;

enum ChannelKind : std::int32_t {
  CHANNEL_SERIAL_BUS = 0,      // kernel commands over RS232 in extended frames
  CHANNEL_USB = 1,             // kernel commands over USB, each after a 2-byte length
  CHANNEL_SERIAL = 2,          // boot loader over RS232, raw bytes
  CHANNEL_SERIAL_BUS_RAW = 3,  // serial-bus frames that the caller builds whole
  CHANNEL_USB_RAW = 4,         // boot loader over USB, raw bytes
};

// The boot loader's channel kind for a device's link mode (0 RS232, 1 USB);
// -1 for any other mode.
int BootLoaderChannelKind(int linkMode);

class CCommChannel {
 public:
  // Kinds 0 and 3 open the serial-bus transport on the port at the bit rate,
  // kind 2 the plain serial port, kinds 1 and 4 the USB transport for the
  // device and interface. A kind outside the table is refused with 14. A
  // transport that cannot connect throws its failure out of here.
  CCommChannel(ChannelKind kind, const std::string& portPath, std::uint32_t baudRate, std::uint16_t usbDevice,
               const std::string& usbInterface);
  virtual ~CCommChannel();
  CCommChannel(const CCommChannel&) = delete;
  CCommChannel& operator=(const CCommChannel&) = delete;

  ChannelKind Kind() const { return kind_; }

  // Sends a request and reads its reply into `reply` (cleared first; at most
  // `replyCapacity` bytes). Polls are 1 ms waits for the first reply byte on
  // the serial kinds and the read time-out in ms over USB. The raw kinds 2
  // and 4 send nothing.
  void Transact(const std::uint8_t* request, std::size_t length, std::uint8_t* reply, std::size_t replyCapacity,
                unsigned polls, unsigned retries);
  void Send(const std::uint8_t* request, std::size_t length, unsigned retries);
  // Reads one message into `buffer` (cleared first). On the raw kinds
  // `length` bytes are read; on the message kinds `length` is the room in
  // the buffer.
  void Receive(std::uint8_t* buffer, std::size_t length, unsigned polls, unsigned retries);
  void SetBaudRate(std::uint32_t baudRate);

 private:
  void SendUsbMessage(const std::uint8_t* request, std::size_t length);
  void ReceiveUsbMessage(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs);
  void ReceiveUsbRaw(std::uint8_t* buffer, std::size_t length, unsigned timeoutMs);

  ChannelKind kind_;
  std::unique_ptr<CUsbTransport> usb_;
  std::unique_ptr<CSerialBusTransport> bus_;
  std::unique_ptr<CSerialPort> serial_;
};
