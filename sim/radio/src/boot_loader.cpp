#include "radiosim/boot_loader.h"

#include <cstdio>

namespace radiosim {
namespace {

constexpr std::uint8_t kPingFirst = 0x61;   // 'a'
constexpr std::uint8_t kPingSecond = 0x41;  // 'A'
constexpr std::uint8_t kPreambleByte = 0x55;
constexpr std::uint8_t kPreambleEnd = 0xAA;

std::uint32_t Be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
         static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

std::uint16_t Be16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

std::string Format(const char* format, unsigned long a, unsigned long b = 0, unsigned long c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

BootLoader::BootLoader(BootLoaderType type, LinkKind link, std::uint32_t ramSize)
    : type_(type), link_(link), ramSize_(ramSize) {}

std::optional<std::uint8_t> BootLoader::PingAnswer() const {
  switch (type_) {
    case BootLoaderType::Harrow: return std::uint8_t{'Z'};
    case BootLoaderType::Calder: return std::uint8_t{'l'};
    case BootLoaderType::Bisel: return std::nullopt;
  }
  return std::nullopt;
}

std::size_t BootLoader::HeaderSize() const {
  // address (4), [length bits 31..16 (2)], length (2), speed code (2)
  return type_ == BootLoaderType::Calder ? 10 : 8;
}

void BootLoader::Feed(std::uint8_t byte, Output& out) {
  switch (state_) {
    case State::Scanning:
      Scan(byte, out);
      break;
    case State::Header:
      header_.push_back(byte);
      sum_ = static_cast<std::uint8_t>(sum_ + byte);
      if (header_.size() == HeaderSize()) HeaderDone(out);
      break;
    case State::Image:
      current_.image.push_back(byte);
      sum_ = static_cast<std::uint8_t>(sum_ + byte);
      if (current_.image.size() == current_.length) state_ = State::Checksum;
      break;
    case State::Checksum:
      Finish(byte, out);
      break;
  }
}

void BootLoader::Scan(std::uint8_t byte, Output& out) {
  if (previous_ == kPingFirst && byte == kPingSecond) {
    if (auto answer = PingAnswer()) {
      out.reply.push_back(*answer);
      out.notes.push_back(Format("boot ping answer %02lX", *answer));
    } else {
      out.notes.push_back("boot ping unanswered");
    }
  }
  if (byte == kPreambleByte) {
    ++preambleCount_;
  } else if (byte == kPreambleEnd && preambleCount_ >= 3) {
    state_ = State::Header;
    header_.clear();
    current_ = KernelDownload{};
    sum_ = 0;
    preambleCount_ = 0;
  } else {
    preambleCount_ = 0;
  }
  previous_ = byte;
}

void BootLoader::HeaderDone(Output& out) {
  current_.address = Be32(header_, 0);
  std::uint32_t length;
  if (type_ == BootLoaderType::Calder) {
    length = static_cast<std::uint32_t>(Be16(header_, 4)) << 16 | Be16(header_, 6);
    current_.speedCode = Be16(header_, 8);
  } else {
    length = Be16(header_, 4);
    current_.speedCode = Be16(header_, 6);
    // Over USB the Harrow loader counts the checksum byte in the length.
    if (link_ == LinkKind::Usb && type_ == BootLoaderType::Harrow) {
      if (length == 0) {
        out.notes.push_back("boot download refused: length 0");
        Reset();
        return;
      }
      --length;
    }
  }
  if (length == 0 || length > ramSize_) {
    out.notes.push_back(Format("boot download refused: length %lu", length));
    Reset();
    return;
  }
  current_.length = length;
  out.notes.push_back(Format("boot download header address %08lX length %lu speed %lu",
                             current_.address, length, current_.speedCode));
  current_.image.reserve(length);
  state_ = State::Image;
}

void BootLoader::Finish(std::uint8_t checksum, Output& out) {
  const std::uint8_t expected = static_cast<std::uint8_t>(0xFF - sum_);
  current_.checksumOk = checksum == expected;
  out.notes.push_back(current_.checksumOk
                          ? Format("boot download complete length %lu checksum ok", current_.length)
                          : Format("boot download complete length %lu checksum bad %02lX expected %02lX",
                                   current_.length, checksum, expected));
  out.download = std::move(current_);
  Reset();
}

void BootLoader::Abandon(Output& out) {
  if (state_ == State::Scanning) return;
  out.notes.push_back(Format("boot download abandoned after %lu image bytes", current_.image.size()));
  Reset();
}

void BootLoader::Reset() {
  state_ = State::Scanning;
  header_.clear();
  current_ = KernelDownload{};
  sum_ = 0;
  preambleCount_ = 0;
  previous_ = 0;
}

}  // namespace radiosim
