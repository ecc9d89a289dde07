#include "engine/link/serial_bus_transport.h"

#include <cstring>
#include <initializer_list>

#include "platform/tick.h"

namespace {

constexpr std::uint8_t kHeaderNibble = 0xF0;
constexpr std::uint8_t kExtendedHeader = 0xFF;
constexpr std::size_t kExtendedHead = 4;  // FF, type, L (2)

bool IsFrameHeader(std::uint8_t header) { return (header & 0xF0) == kHeaderNibble && (header & 0x0F) != 0; }

std::size_t ExtendedLengthField(const std::uint8_t* frame) {
  return static_cast<std::size_t>(frame[2]) << 8 | frame[3];
}

// Runs the exchange; repeats it after a pause on the listed failures while
// retries remain.
template <class Exchange>
void WithRetry(unsigned retries, std::initializer_list<ISP_EXCEPTION> retried, Exchange exchange) {
  for (;;) {
    try {
      exchange();
      return;
    } catch (ISP_EXCEPTION failure) {
      bool again = false;
      for (auto r : retried) again = again || r == failure;
      if (!again || retries == 0) throw;
      --retries;
      platform::SleepMs(CSerialBusTransport::kRetryPauseMs);
    }
  }
}

}  // namespace

CSerialBusTransport::CSerialBusTransport(const std::string& portPath, std::uint32_t baudRate)
    : CSerialPort(portPath, baudRate) {}

std::size_t CSerialBusTransport::FrameLength(const std::uint8_t* frame) {
  if (!IsFrameHeader(frame[0])) throw ISP_MESSAGE_NOT_SUPPORTED;
  if (frame[0] == kExtendedHeader) return ExtendedLengthField(frame) + kExtendedHead;
  return static_cast<std::size_t>(frame[0] & 0x0F) + 2;
}

std::uint8_t CSerialBusTransport::FrameChecksum(const std::uint8_t* frame) {
  const std::size_t length = FrameLength(frame);
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < length; ++i) sum = static_cast<std::uint8_t>(sum + frame[i]);
  return static_cast<std::uint8_t>(0xFF - sum);
}

std::vector<std::uint8_t> CSerialBusTransport::WrapExtendedFrame(const std::uint8_t* payload, std::size_t n) {
  // The length field is 16 bits: a payload it cannot announce is not sent.
  if (n + 1 > 0xFFFF) throw ISP_MESSAGE_NOT_SUPPORTED;
  std::vector<std::uint8_t> frame(n + kExtendedOverhead);
  frame[0] = kExtendedHeader;
  frame[1] = kRequestType;
  frame[2] = static_cast<std::uint8_t>((n + 1) >> 8);
  frame[3] = static_cast<std::uint8_t>(n + 1);
  if (n) std::memcpy(frame.data() + kExtendedHead, payload, n);
  return frame;
}

std::size_t CSerialBusTransport::UnwrapExtendedFrame(const std::uint8_t* frame, std::uint8_t* out,
                                                     std::size_t capacity) {
  if (frame[0] != kExtendedHeader || frame[1] != kReplyType) throw ISP_MESSAGE_NOT_SUPPORTED;
  const std::size_t length = FrameLength(frame);
  if (length < kExtendedOverhead || length - kExtendedOverhead > capacity) throw ISP_MESSAGE_NOT_SUPPORTED;
  const std::size_t payload = length - kExtendedOverhead;
  if (payload) std::memcpy(out, frame + kExtendedHead, payload);
  return payload;
}

void CSerialBusTransport::SendFrame(std::uint8_t* frame) {
  const std::size_t length = FrameLength(frame);
  frame[length - 1] = FrameChecksum(frame);
  Write(frame, length);
  std::uint8_t answer = 0;
  ReadWithTimeout(&answer, 1, ackWait_);
  if (answer == kAck) return;
  if (answer == kNak) throw ISP_NAK_DETECTED;
  throw ISP_MESSAGE_NOT_SUPPORTED;
}

void CSerialBusTransport::ReceiveFrame(std::uint8_t* buffer, std::size_t capacity, unsigned polls) {
  if (capacity < kExtendedOverhead) throw ISP_MESSAGE_NOT_SUPPORTED;
  ReadWithTimeout(buffer, 1, polls);
  if (!IsFrameHeader(buffer[0])) throw ISP_MESSAGE_NOT_SUPPORTED;
  std::size_t length;
  std::size_t have = 1;
  if (buffer[0] == kExtendedHeader) {
    ReadWithTimeout(buffer + 1, kExtendedHead - 1, polls);
    have = kExtendedHead;
    const std::size_t announced = ExtendedLengthField(buffer);
    // The radio's length is checked before a byte more is read into the
    // buffer: an empty frame or one beyond the buffer is malformed.
    if (announced == 0 || announced + kExtendedHead > capacity) throw ISP_MESSAGE_NOT_SUPPORTED;
    length = announced + kExtendedHead;
  } else {
    length = FrameLength(buffer);
    if (length > capacity) throw ISP_MESSAGE_NOT_SUPPORTED;
  }
  ReadWithTimeout(buffer + have, length - have, polls);
  if (FrameChecksum(buffer) != buffer[length - 1]) throw ISP_BAD_CHECKSUM;
}

void CSerialBusTransport::TransactWithRetry(std::uint8_t* request, std::uint8_t* reply, std::size_t replyCapacity,
                                            unsigned polls, unsigned retries) {
  WithRetry(retries, {ISP_NAK_DETECTED, ISP_MESSAGE_NOT_SUPPORTED}, [&] {
    SendFrame(request);
    ReceiveFrame(reply, replyCapacity, polls);
  });
}

void CSerialBusTransport::SendWithRetry(std::uint8_t* frame, unsigned retries) {
  WithRetry(retries, {ISP_NAK_DETECTED}, [&] { SendFrame(frame); });
}

void CSerialBusTransport::ReceiveWithRetry(std::uint8_t* buffer, std::size_t capacity, unsigned polls,
                                           unsigned retries) {
  WithRetry(retries, {ISP_MESSAGE_NOT_SUPPORTED}, [&] { ReceiveFrame(buffer, capacity, polls); });
}

std::size_t CSerialBusTransport::TransactExtended(const std::uint8_t* payload, std::size_t n, std::uint8_t* reply,
                                                  std::size_t capacity, unsigned polls, unsigned retries) {
  auto request = WrapExtendedFrame(payload, n);
  std::vector<std::uint8_t> frame(capacity + kExtendedOverhead);
  std::size_t length = 0;
  WithRetry(retries, {ISP_NAK_DETECTED, ISP_MESSAGE_NOT_SUPPORTED}, [&] {
    SendFrame(request.data());
    ReceiveFrame(frame.data(), frame.size(), polls);
    length = UnwrapExtendedFrame(frame.data(), reply, capacity);
  });
  return length;
}

void CSerialBusTransport::SendExtended(const std::uint8_t* payload, std::size_t n, unsigned retries) {
  auto request = WrapExtendedFrame(payload, n);
  SendWithRetry(request.data(), retries);
}

std::size_t CSerialBusTransport::ReceiveExtended(std::uint8_t* buffer, std::size_t capacity, unsigned polls,
                                                 unsigned retries) {
  std::vector<std::uint8_t> frame(capacity + kExtendedOverhead);
  std::size_t length = 0;
  WithRetry(retries, {ISP_MESSAGE_NOT_SUPPORTED}, [&] {
    ReceiveFrame(frame.data(), frame.size(), polls);
    length = UnwrapExtendedFrame(frame.data(), buffer, capacity);
  });
  return length;
}
