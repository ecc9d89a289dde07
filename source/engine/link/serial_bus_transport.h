#pragma once
// The serial-bus transport: a serial port that carries every message in a
// frame with a checksum and waits for the receiver's one-byte ACK or NAK.
//
// Frame: header 0xF n. n = 1..14 is a short frame of n message bytes
// (n + 2 bytes in all); 0xFF is the extended form
//   FF type L(2, big-endian) payload(L - 1) checksum
// with type 0x22 from the host and 0x23 from the kernel. The checksum is
// 0xFF minus the 8-bit sum of every byte before it. ACK is 0x50, NAK 0x60.
// Every failure throws its ISP_EXCEPTION value.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/link/serial_port.h"

class CSerialBusTransport : public CSerialPort {
 public:
  static constexpr std::uint8_t kAck = 0x50;
  static constexpr std::uint8_t kNak = 0x60;
  static constexpr std::uint8_t kRequestType = 0x22;
  static constexpr std::uint8_t kReplyType = 0x23;
  static constexpr std::size_t kExtendedOverhead = 5;  // FF, type, L (2), checksum
  static constexpr std::uint16_t kAckWaitPolls = 100;
  static constexpr unsigned kRetryPauseMs = 10;

  CSerialBusTransport(const std::string& portPath, std::uint32_t baudRate);

  // The whole length that the header announces; throws 14 for a header
  // whose high nibble is not 0xF or whose low nibble is 0.
  static std::size_t FrameLength(const std::uint8_t* frame);
  // The checksum over the frame's bytes before its checksum byte.
  static std::uint8_t FrameChecksum(const std::uint8_t* frame);
  // FF 22 (n + 1) payload and a checksum byte still to be filled.
  static std::vector<std::uint8_t> WrapExtendedFrame(const std::uint8_t* payload, std::size_t n);
  // Copies the payload of an FF 23 reply frame into `out` (room
  // `capacity`) and returns its length; throws 14 for another header or a
  // payload that does not fit.
  static std::size_t UnwrapExtendedFrame(const std::uint8_t* frame, std::uint8_t* out, std::size_t capacity);

  // Fills the frame's checksum, writes it (stale input is discarded first)
  // and waits for the acknowledgement: NAK throws 1, another byte 14, none 0.
  void SendFrame(std::uint8_t* frame);
  // Reads one frame into `buffer` (room `capacity`): the header within
  // `polls`, the rest within the port's time-outs. A length of 0, a length
  // beyond the buffer or a bad header throws 14 before more is read; a
  // checksum that does not match throws 16.
  void ReceiveFrame(std::uint8_t* buffer, std::size_t capacity, unsigned polls);

  // SendFrame then ReceiveFrame, the whole exchange repeated 10 ms later on
  // NAK (1) or a malformed frame (14) while retries remain.
  void TransactWithRetry(std::uint8_t* request, std::uint8_t* reply, std::size_t replyCapacity, unsigned polls,
                         unsigned retries);
  // SendFrame, repeated 10 ms later on NAK only.
  void SendWithRetry(std::uint8_t* frame, unsigned retries);
  // ReceiveFrame, repeated 10 ms later on a malformed frame only.
  void ReceiveWithRetry(std::uint8_t* buffer, std::size_t capacity, unsigned polls, unsigned retries);

  // A kernel request in an extended frame: wrapped, exchanged as
  // TransactWithRetry does, and the reply's payload unwrapped into `reply`
  // (room `capacity`); a reply of another type counts as malformed and is
  // retried too. Returns the payload length.
  std::size_t TransactExtended(const std::uint8_t* payload, std::size_t n, std::uint8_t* reply,
                               std::size_t capacity, unsigned polls, unsigned retries);
  void SendExtended(const std::uint8_t* payload, std::size_t n, unsigned retries);
  std::size_t ReceiveExtended(std::uint8_t* buffer, std::size_t capacity, unsigned polls, unsigned retries);

 private:
  std::uint16_t ackWait_ = kAckWaitPolls;
};
