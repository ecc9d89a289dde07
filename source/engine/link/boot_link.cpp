#include "engine/link/boot_link.h"

#include <vector>

#include "platform/tick.h"

namespace {

constexpr std::uint8_t kPing[] = {0x61, 0x41};  // "aA"
constexpr std::uint8_t kPreamble[] = {0x55, 0x55, 0x55, 0xAA};
constexpr unsigned kSendRetries = 3;
constexpr unsigned kReceiveRetries = 3;
constexpr int kLongLengthFormat = 3;
constexpr int kUsbCountsChecksumFormat = 1;

void PutBe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// The length field as this format and link carry it.
std::size_t LengthField(int format, std::size_t length, ChannelKind kind) {
  return format == kUsbCountsChecksumFormat && kind == CHANNEL_USB_RAW ? length + 1 : length;
}

// Preamble, address, length field(s) and speed code.
std::vector<std::uint8_t> DownloadHeader(std::uint32_t loadAddress, std::size_t length, std::uint16_t speedCode,
                                         int format, ChannelKind kind) {
  std::vector<std::uint8_t> header(std::begin(kPreamble), std::end(kPreamble));
  PutBe16(header, loadAddress >> 16);
  PutBe16(header, loadAddress & 0xFFFF);
  const std::size_t field = LengthField(format, length, kind);
  if (format == kLongLengthFormat) PutBe16(header, static_cast<std::uint32_t>(field >> 16));
  PutBe16(header, static_cast<std::uint32_t>(field & 0xFFFF));
  PutBe16(header, speedCode);
  return header;
}

std::uint8_t DownloadChecksum(const std::vector<std::uint8_t>& header, const std::uint8_t* image,
                              std::size_t length) {
  std::uint8_t sum = 0;
  for (std::size_t i = sizeof kPreamble; i < header.size(); ++i) sum = static_cast<std::uint8_t>(sum + header[i]);
  for (std::size_t i = 0; i < length; ++i) sum = static_cast<std::uint8_t>(sum + image[i]);
  return static_cast<std::uint8_t>(0xFF - sum);
}

ChannelKind BootKind(int linkMode) { return static_cast<ChannelKind>(BootLoaderChannelKind(linkMode)); }

}  // namespace

CBootLink::CBootLink(int linkMode, const std::string& portPath, std::uint32_t baudRate, std::uint16_t usbDevice,
                     const std::string& usbInterface, void* context, BootProgressCallback callback)
    : CCommChannel(BootKind(linkMode), portPath, baudRate, usbDevice, usbInterface),
      context_(context),
      callback_(callback) {}

std::uint8_t CBootLink::Ping(unsigned retries) {
  for (;;) {
    try {
      return PingOnce();
    } catch (ISP_EXCEPTION) {
      if (retries == 0) throw;
      --retries;
      platform::SleepMs(kRetryPauseMs);
    }
  }
}

std::uint8_t CBootLink::PingOnce() {
  for (int attempt = 0; attempt < kPingAttempts; ++attempt) {
    Send(kPing, sizeof kPing, kSendRetries);
    std::uint8_t answer = 0;
    try {
      Receive(&answer, 1, kPingAnswerPolls, kReceiveRetries);
    } catch (ISP_EXCEPTION) {
      continue;  // no answer: a failed attempt
    }
    if (answer == kPingAnswerZ || answer == kPingAnswerL) return answer;
  }
  throw ISP_NO_BOOTLOADER_ACK;
}

bool CBootLink::DownloadLengthFits(int format, std::size_t length, ChannelKind kind) {
  const std::size_t field = LengthField(format, length, kind);
  return format == kLongLengthFormat ? field <= 0xFFFFFFFFu : field <= 0xFFFFu;
}

void CBootLink::Download(std::size_t chunkSize, const std::uint8_t* image, std::size_t length,
                         std::uint32_t loadAddress, std::uint16_t speedCode, std::uint32_t newBaudRate,
                         unsigned retries, int format) {
  for (;;) {
    try {
      TransferOnce(chunkSize, image, length, loadAddress, speedCode, newBaudRate, format);
      return;
    } catch (ISP_EXCEPTION) {
      if (retries == 0) throw;
      --retries;
      platform::SleepMs(kRetryPauseMs);
    }
  }
}

void CBootLink::TransferOnce(std::size_t chunkSize, const std::uint8_t* image, std::size_t length,
                             std::uint32_t loadAddress, std::uint16_t speedCode, std::uint32_t newBaudRate,
                             int format) {
  // A length that its field cannot carry would go out truncated.
  if (chunkSize == 0 || !DownloadLengthFits(format, length, Kind())) throw ISP_MESSAGE_NOT_SUPPORTED;
  const auto total = static_cast<std::uint32_t>(length);
  ReportProgress({0, 0, total});
  const auto header = DownloadHeader(loadAddress, length, speedCode, format, Kind());
  const std::uint8_t checksum = DownloadChecksum(header, image, length);

  Send(header.data(), header.size(), kSendRetries);
  if (speedCode != 0) {
    SetBaudRate(newBaudRate);
    platform::SleepMs(kSpeedChangePauseMs);
  }
  const std::size_t chunks = length / chunkSize;
  for (std::size_t i = 0; i < chunks; ++i) {
    Send(image + i * chunkSize, chunkSize, kSendRetries);
    ReportProgress({0, static_cast<std::uint32_t>(i * chunkSize), total});
  }
  if (const std::size_t rest = length % chunkSize; rest != 0) Send(image + chunks * chunkSize, rest, kSendRetries);
  Send(&checksum, 1, kSendRetries);
  ReportProgress({0, total, total});
  ReportProgress({1, 0, 0});
}

void CBootLink::WaitAfterDownload() {
  switch (Kind()) {
    case CHANNEL_SERIAL:
      platform::SleepMs(kSerialKernelStartMs);
      break;
    case CHANNEL_USB_RAW: {
      std::uint8_t started = 0;
      try {
        Receive(&started, 1, kUsbKernelStartPolls, kReceiveRetries);
      } catch (ISP_EXCEPTION) {
        // The kernel's first byte is only waited for, not required.
      }
      break;
    }
    default:
      break;
  }
}

void CBootLink::ReportProgress(const BootProgress& progress) {
  if (callback_ != nullptr) callback_(context_, &progress);
}
