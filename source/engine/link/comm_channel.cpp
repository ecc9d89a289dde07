#include "engine/link/comm_channel.h"

#include <cstring>
#include <vector>

#include "engine/link/serial_bus_transport.h"
#include "engine/link/serial_port.h"
#include "engine/link/usb_transport.h"

namespace {

constexpr std::size_t kUsbLengthBytes = 2;
constexpr std::size_t kLargestUsbMessage = 0xFFFF;

void Clear(std::uint8_t* buffer, std::size_t length) {
  if (buffer && length) std::memset(buffer, 0, length);
}

// A frame that the caller built whole, copied because sending fills in its
// checksum; its header must announce exactly its length.
std::vector<std::uint8_t> CopyCallerFrame(const std::uint8_t* request, std::size_t length) {
  std::vector<std::uint8_t> frame(request, request + length);
  if (frame.empty() || CSerialBusTransport::FrameLength(frame.data()) != length) throw ISP_MESSAGE_NOT_SUPPORTED;
  return frame;
}

}  // namespace

int BootLoaderChannelKind(int linkMode) {
  switch (linkMode) {
    case 0: return CHANNEL_SERIAL;
    case 1: return CHANNEL_USB_RAW;
    default: return -1;
  }
}

CCommChannel::CCommChannel(ChannelKind kind, const std::string& portPath, std::uint32_t baudRate,
                           std::uint16_t usbDevice, const std::string& usbInterface)
    : kind_(kind) {
  switch (kind) {
    case CHANNEL_SERIAL_BUS:
    case CHANNEL_SERIAL_BUS_RAW:
      bus_ = std::make_unique<CSerialBusTransport>(portPath, baudRate);
      break;
    case CHANNEL_USB:
    case CHANNEL_USB_RAW:
      usb_ = std::make_unique<CUsbTransport>(usbDevice, usbInterface);
      break;
    case CHANNEL_SERIAL:
      serial_ = std::make_unique<CSerialPort>(portPath, baudRate);
      break;
    default:
      // A channel without a transport would answer every request with
      // silence; refuse it where it is made.
      throw ISP_MESSAGE_NOT_SUPPORTED;
  }
}

CCommChannel::~CCommChannel() = default;

void CCommChannel::Transact(const std::uint8_t* request, std::size_t length, std::uint8_t* reply,
                            std::size_t replyCapacity, unsigned polls, unsigned retries) {
  // No byte of an earlier reply may be taken for this one.
  Clear(reply, replyCapacity);
  switch (kind_) {
    case CHANNEL_SERIAL_BUS:
      bus_->TransactExtended(request, length, reply, replyCapacity, polls, retries);
      break;
    case CHANNEL_SERIAL_BUS_RAW: {
      auto frame = CopyCallerFrame(request, length);
      bus_->TransactWithRetry(frame.data(), reply, replyCapacity, polls, retries);
      break;
    }
    case CHANNEL_USB:
      SendUsbMessage(request, length);
      ReceiveUsbMessage(reply, replyCapacity, polls);
      break;
    default:
      break;  // the raw kinds carry no request and reply pairs
  }
}

void CCommChannel::Send(const std::uint8_t* request, std::size_t length, unsigned retries) {
  switch (kind_) {
    case CHANNEL_SERIAL_BUS: bus_->SendExtended(request, length, retries); break;
    case CHANNEL_SERIAL_BUS_RAW: {
      auto frame = CopyCallerFrame(request, length);
      bus_->SendWithRetry(frame.data(), retries);
      break;
    }
    case CHANNEL_USB: SendUsbMessage(request, length); break;
    case CHANNEL_SERIAL: serial_->Write(request, length); break;
    case CHANNEL_USB_RAW: usb_->Write(request, length); break;
    default: break;
  }
}

void CCommChannel::Receive(std::uint8_t* buffer, std::size_t length, unsigned polls, unsigned retries) {
  Clear(buffer, length);
  switch (kind_) {
    case CHANNEL_SERIAL_BUS: bus_->ReceiveExtended(buffer, length, polls, retries); break;
    case CHANNEL_SERIAL_BUS_RAW: bus_->ReceiveWithRetry(buffer, length, polls, retries); break;
    case CHANNEL_USB: ReceiveUsbMessage(buffer, length, polls); break;
    case CHANNEL_SERIAL: serial_->ReadWithTimeout(buffer, length, polls); break;
    case CHANNEL_USB_RAW: ReceiveUsbRaw(buffer, length, polls); break;
    default: break;
  }
}

void CCommChannel::SetBaudRate(std::uint32_t baudRate) {
  if (bus_) bus_->SetBaudRate(baudRate);
  if (serial_) serial_->SetBaudRate(baudRate);
}

// A USB message: the payload length as two bytes, most significant first,
// then the payload, in one write.
void CCommChannel::SendUsbMessage(const std::uint8_t* request, std::size_t length) {
  if (length > kLargestUsbMessage) throw ISP_MESSAGE_NOT_SUPPORTED;
  std::vector<std::uint8_t> message(kUsbLengthBytes + length);
  message[0] = static_cast<std::uint8_t>(length >> 8);
  message[1] = static_cast<std::uint8_t>(length & 0xFF);
  if (length) std::memcpy(message.data() + kUsbLengthBytes, request, length);
  usb_->Write(message.data(), message.size());
}

// The radio's length is checked against the room in the buffer before a
// byte of the payload is read: an empty or oversized message is malformed,
// and a message that does not come whole is a short read, not a reply.
void CCommChannel::ReceiveUsbMessage(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs) {
  std::uint8_t header[kUsbLengthBytes] = {};
  if (usb_->Read(header, kUsbLengthBytes, timeoutMs) != kUsbLengthBytes) throw ISP_READ_COUNT_MISMATCH;
  const std::size_t length = (std::size_t{header[0]} << 8) | header[1];
  if (length == 0 || length > capacity) throw ISP_MESSAGE_NOT_SUPPORTED;
  if (usb_->Read(buffer, length, timeoutMs) != length) throw ISP_READ_COUNT_MISMATCH;
}

void CCommChannel::ReceiveUsbRaw(std::uint8_t* buffer, std::size_t length, unsigned timeoutMs) {
  if (usb_->Read(buffer, length, timeoutMs) != length) throw ISP_READ_COUNT_MISMATCH;
}
