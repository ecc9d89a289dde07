#pragma once
// The kernel's framing on both links, from the radio's side.
//
// RS232: serial-bus frames. Header 0xF n: n = 1..14 is a short frame of
// n message bytes; 0xFF is the extended form FF type Lhi Llo, L - 1 payload
// bytes, checksum. The checksum is 0xFF minus the 8-bit sum of every byte
// before it. The kernel acknowledges each frame with 0x50 (ACK) or 0x60 (NAK).
// USB: a 2-byte big-endian length, then that many payload bytes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace radiosim {

constexpr std::uint8_t kAck = 0x50;
constexpr std::uint8_t kNak = 0x60;
constexpr std::uint8_t kHostRequestType = 0x22;
constexpr std::uint8_t kKernelReplyType = 0x23;
// The largest payload a host request carries: a program request of 3072
// data bytes with its 8-byte header, and some room.
constexpr std::size_t kMaxRequestPayload = 4096;

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes);

// One received frame, or why it was refused.
struct FrameResult {
  enum class Kind { Extended, Short, Malformed } kind;
  std::vector<std::uint8_t> payload;  // extended: the request; short: the n message bytes
  std::uint8_t header = 0;
  std::string why;                    // for a malformed frame
};

class SerialFrameReader {
 public:
  // Feeds one byte; returns a result when a frame ended (or was refused).
  std::optional<FrameResult> Feed(std::uint8_t byte);
  void Abandon() { Reset(); }
  bool InFrame() const { return state_ != State::Header; }
  // Bytes skipped while looking for a header, since the last call.
  std::vector<std::uint8_t> TakeSkipped();

 private:
  enum class State { Header, Type, LengthHigh, LengthLow, Body };
  std::optional<FrameResult> Malformed(std::string why);
  std::optional<FrameResult> Complete();
  void Reset();

  State state_ = State::Header;
  std::vector<std::uint8_t> frame_;
  std::size_t expected_ = 0;  // total frame length once known
  std::vector<std::uint8_t> skipped_;
};

class UsbMessageReader {
 public:
  std::optional<std::vector<std::uint8_t>> Feed(std::uint8_t byte);
  void Abandon() { buffer_.clear(); }
  bool InMessage() const { return !buffer_.empty(); }

 private:
  std::vector<std::uint8_t> buffer_;
};

// How a reply goes wrong on purpose.
enum class ReplyDamage { None, BadChecksum, BadHeader, ZeroLength, OverlongLength, ShortReply };

std::vector<std::uint8_t> EncodeExtendedReply(std::span<const std::uint8_t> payload,
                                              ReplyDamage damage = ReplyDamage::None);
std::vector<std::uint8_t> EncodeUsbReply(std::span<const std::uint8_t> payload,
                                         ReplyDamage damage = ReplyDamage::None);

}  // namespace radiosim
