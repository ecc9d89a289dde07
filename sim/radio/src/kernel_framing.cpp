#include "radiosim/kernel_framing.h"

namespace radiosim {

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes) {
  std::uint8_t sum = 0;
  for (auto b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  return static_cast<std::uint8_t>(0xFF - sum);
}

std::optional<FrameResult> SerialFrameReader::Feed(std::uint8_t byte) {
  switch (state_) {
    case State::Header:
      if ((byte & 0xF0) != 0xF0) {
        skipped_.push_back(byte);
        return std::nullopt;
      }
      frame_.assign(1, byte);
      if ((byte & 0x0F) == 0) return Malformed("header nibble 0");
      if (byte == 0xFF) {
        state_ = State::Type;
      } else {
        expected_ = static_cast<std::size_t>(byte & 0x0F) + 2;
        state_ = State::Body;
      }
      return std::nullopt;
    case State::Type:
      frame_.push_back(byte);
      state_ = State::LengthHigh;
      return std::nullopt;
    case State::LengthHigh:
      frame_.push_back(byte);
      state_ = State::LengthLow;
      return std::nullopt;
    case State::LengthLow: {
      frame_.push_back(byte);
      const std::size_t length = static_cast<std::size_t>(frame_[2] << 8 | frame_[3]);
      if (length == 0) return Malformed("length 0");
      if (length > kMaxRequestPayload + 1) return Malformed("length " + std::to_string(length));
      expected_ = length + 4;
      state_ = State::Body;
      return std::nullopt;
    }
    case State::Body:
      frame_.push_back(byte);
      if (frame_.size() == expected_) return Complete();
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<FrameResult> SerialFrameReader::Complete() {
  FrameResult result{FrameResult::Kind::Malformed, {}, frame_[0], {}};
  const std::uint8_t checksum = frame_.back();
  const std::span<const std::uint8_t> body(frame_.data(), frame_.size() - 1);
  if (FrameChecksum(body) != checksum) {
    Reset();
    result.why = "bad checksum";
    return result;
  }
  if (result.header == 0xFF) {
    if (frame_[1] != kHostRequestType) {
      Reset();
      result.why = "message type " + std::to_string(frame_[1]);
      return result;
    }
    result.kind = FrameResult::Kind::Extended;
    result.payload.assign(frame_.begin() + 4, frame_.end() - 1);
  } else {
    result.kind = FrameResult::Kind::Short;
    result.payload.assign(frame_.begin() + 1, frame_.end() - 1);
  }
  Reset();
  return result;
}

std::optional<FrameResult> SerialFrameReader::Malformed(std::string why) {
  FrameResult result{FrameResult::Kind::Malformed, {}, frame_.empty() ? std::uint8_t{0} : frame_[0],
                     std::move(why)};
  Reset();
  return result;
}

void SerialFrameReader::Reset() {
  state_ = State::Header;
  frame_.clear();
  expected_ = 0;
}

std::vector<std::uint8_t> SerialFrameReader::TakeSkipped() {
  std::vector<std::uint8_t> skipped;
  skipped.swap(skipped_);
  return skipped;
}

std::optional<std::vector<std::uint8_t>> UsbMessageReader::Feed(std::uint8_t byte) {
  buffer_.push_back(byte);
  if (buffer_.size() < 2) return std::nullopt;
  const std::size_t length = static_cast<std::size_t>(buffer_[0] << 8 | buffer_[1]);
  if (length == 0 || length > kMaxRequestPayload) {
    buffer_.clear();
    return std::vector<std::uint8_t>{};
  }
  if (buffer_.size() < length + 2) return std::nullopt;
  std::vector<std::uint8_t> message(buffer_.begin() + 2, buffer_.end());
  buffer_.clear();
  return message;
}

std::vector<std::uint8_t> EncodeExtendedReply(std::span<const std::uint8_t> payload,
                                              ReplyDamage damage) {
  const std::size_t length = payload.size() + 1;
  std::vector<std::uint8_t> frame{0xFF, kKernelReplyType, static_cast<std::uint8_t>(length >> 8),
                                  static_cast<std::uint8_t>(length)};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(FrameChecksum(frame));
  switch (damage) {
    case ReplyDamage::None: break;
    case ReplyDamage::BadChecksum: frame.back() ^= 0x5A; break;
    case ReplyDamage::BadHeader: frame[0] = 0x23; break;
    case ReplyDamage::ZeroLength: frame[2] = frame[3] = 0; break;
    case ReplyDamage::OverlongLength: frame[2] = frame[3] = 0xFF; break;
    case ReplyDamage::ShortReply: {
      const std::size_t claimed = length + 10;
      frame[2] = static_cast<std::uint8_t>(claimed >> 8);
      frame[3] = static_cast<std::uint8_t>(claimed);
      break;
    }
  }
  return frame;
}

std::vector<std::uint8_t> EncodeUsbReply(std::span<const std::uint8_t> payload, ReplyDamage damage) {
  std::size_t claimed = payload.size();
  switch (damage) {
    case ReplyDamage::ZeroLength: claimed = 0; break;
    case ReplyDamage::OverlongLength: claimed = 0xFFFF; break;
    case ReplyDamage::ShortReply: claimed = payload.size() + 10; break;
    default: break;
  }
  std::vector<std::uint8_t> message{static_cast<std::uint8_t>(claimed >> 8),
                                    static_cast<std::uint8_t>(claimed)};
  if (damage != ReplyDamage::ZeroLength) message.insert(message.end(), payload.begin(), payload.end());
  return message;
}

}  // namespace radiosim
