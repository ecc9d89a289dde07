#include "linkpeers/bisync_peer.h"

namespace linkpeers {
namespace {

constexpr std::uint8_t kDle = 0x10, kStx = 0x02, kEtx = 0x03, kEnq = 0x05, kNak = 0x15;

}  // namespace

std::uint16_t Crc16Gsm(const std::vector<std::uint8_t>& bytes) {
  std::uint16_t crc = 0;
  for (std::uint8_t b : bytes) {
    crc ^= static_cast<std::uint16_t>(b << 8);
    for (int i = 0; i < 8; ++i) crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
  }
  return static_cast<std::uint16_t>(~crc);
}

std::vector<std::uint8_t> BuildFrame(const std::vector<std::uint8_t>& message, bool corrupt) {
  std::vector<std::uint8_t> frame{kDle, kStx};
  for (std::uint8_t b : message) {
    if (b == kDle) frame.push_back(kDle);
    frame.push_back(b);
  }
  std::vector<std::uint8_t> checked = message;
  checked.push_back(kEtx);
  const std::uint16_t crc = Crc16Gsm(checked);
  frame.insert(frame.end(), {kDle, kEtx, static_cast<std::uint8_t>(crc >> 8),
                             static_cast<std::uint8_t>((crc & 0xFF) ^ (corrupt ? 0x5A : 0))});
  return frame;
}

void BisyncPeer::Finish(std::uint8_t bcc2, Output& out) {
  std::vector<std::uint8_t> checked = body_;
  checked.push_back(kEtx);
  const std::uint16_t crc = Crc16Gsm(checked);
  if (bcc1_ != (crc >> 8) || bcc2 != (crc & 0xFF)) {
    transcript.push_back("bad crc");
    out.bytes.insert(out.bytes.end(), {kDle, kNak});
    return;
  }
  transcript.push_back("frame");
  if (knobs.nakTimes > 0) {
    --knobs.nakTimes;
    transcript.push_back("nak");
    out.bytes.insert(out.bytes.end(), {kDle, kNak});
    return;
  }
  accepted.push_back(body_);
  toggle_ ^= 1;
  const std::uint8_t ack = static_cast<std::uint8_t>('0' + toggle_);
  if (knobs.wrongAckOnce) {
    knobs.wrongAckOnce = false;
    // The acknowledgement of the previous frame: as if this one never came.
    accepted.pop_back();
    toggle_ ^= 1;
    transcript.push_back(std::string("ack ") + static_cast<char>(lastAck));
    out.bytes.insert(out.bytes.end(), {kDle, lastAck});
    return;
  }
  lastAck = ack;
  if (knobs.dropAcks > 0) {
    --knobs.dropAcks;
    transcript.push_back("ack dropped");
  } else {
    transcript.push_back(std::string("ack ") + static_cast<char>(ack));
    out.bytes.insert(out.bytes.end(), {kDle, ack});
  }
  if (knobs.autoReply && body_.size() >= 2) {
    out.replyDue = true;
    out.reply = {body_[0], static_cast<std::uint8_t>(knobs.replyWithoutBit7 ? body_[1] & 0x7F : body_[1] | 0x80)};
    out.reply.insert(out.reply.end(), knobs.replyPayload.begin(), knobs.replyPayload.end());
  }
}

void BisyncPeer::Feed(std::uint8_t byte, Output& out) {
  switch (state_) {
    case State::Idle:
      if (byte == kDle) state_ = State::Dle;
      return;
    case State::Dle:
      state_ = State::Idle;
      if (byte == kStx) {
        body_.clear();
        state_ = State::Body;
      } else if (byte == kEnq) {
        transcript.push_back("enq");
        out.bytes.insert(out.bytes.end(), {kDle, lastAck});
      } else if (byte == '0' || byte == '1') {
        transcript.push_back(std::string("host ack ") + static_cast<char>(byte));
      } else if (byte == kNak) {
        transcript.push_back("host nak");
      }
      return;
    case State::Body:
      if (byte == kDle) {
        state_ = State::BodyDle;
      } else {
        body_.push_back(byte);
      }
      return;
    case State::BodyDle:
      if (byte == kDle) {
        body_.push_back(kDle);
        state_ = State::Body;
      } else if (byte == kEtx) {
        state_ = State::Bcc1;
      } else {
        state_ = State::Idle;
      }
      return;
    case State::Bcc1:
      bcc1_ = byte;
      state_ = State::Bcc2;
      return;
    case State::Bcc2:
      state_ = State::Idle;
      Finish(byte, out);
      return;
  }
}

}  // namespace linkpeers
