#include "bisync_codec.h"

namespace gantrel {
namespace {

// The table is built from the CRCs of the eight single-bit bytes: the CRC is
// linear, so every entry is the xor of the basis words of its set bits.
constexpr std::array<std::uint16_t, 8> kBasis = {0x1021, 0x2042, 0x4084, 0x8108,
                                                  0x1231, 0x2462, 0x48C4, 0x9188};

constexpr std::array<std::uint16_t, 256> BuildTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t word = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (i & (1u << bit)) word ^= kBasis[bit];
    }
    table[i] = word;
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kTable = BuildTable();

}  // namespace

void BisyncCrc::Add(std::uint8_t byte) {
  register_ = static_cast<std::uint16_t>((register_ << 8) ^ kTable[((register_ >> 8) ^ byte) & 0xFF]);
}

std::uint16_t BisyncCrc16(const std::uint8_t* data, std::size_t length) {
  BisyncCrc crc;
  for (std::size_t i = 0; i < length; ++i) crc.Add(data[i]);
  return static_cast<std::uint16_t>(~crc.Register());
}

std::optional<std::vector<std::uint8_t>> EncodeBisyncFrame(const std::uint8_t* data, std::size_t length) {
  std::vector<std::uint8_t> frame{kDle, kStx};
  BisyncCrc crc;
  for (std::size_t i = 0; i < length; ++i) {
    crc.Add(data[i]);
    if (data[i] == kDle) frame.push_back(kDle);
    frame.push_back(data[i]);
    if (frame.size() + 4 > kMaxBisyncFrame) return std::nullopt;
  }
  crc.Add(kEtx);
  frame.insert(frame.end(), {kDle, kEtx, crc.Bcc1(), crc.Bcc2()});
  return frame;
}

void BisyncParser::Reset() {
  state_ = State::Idle;
  crc_.Clear();
  message_.clear();
  toggle_ = 0;
  lastAck_ = kAck1;
  enqFlag_ = true;
  overflow_ = false;
}

void BisyncParser::SendControl(std::uint8_t control, Actions& actions) {
  actions.send.push_back(kDle);
  actions.send.push_back(control);
}

void BisyncParser::StartMessage() {
  crc_.Clear();
  message_.clear();
  bcc1_ = 0;
  overflow_ = false;
}

// A message longer than the buffer is kept from growing; its frame is then
// answered with NAK, never delivered cut short.
void BisyncParser::Append(std::uint8_t byte) {
  crc_.Add(byte);
  if (message_.size() < kMaxBisyncMessage) {
    message_.push_back(byte);
  } else {
    overflow_ = true;
  }
}

void BisyncParser::OnEnquiry(Actions& actions) {
  if (enqFlag_) {
    SendControl(lastAck_, actions);
    enqFlag_ = false;
  } else {
    enqFlag_ = true;
  }
}

void BisyncParser::Feed(std::uint8_t byte, Actions& actions) {
  switch (state_) {
    case State::Idle:
      if (byte == kDle) state_ = State::AfterDle;
      return;
    case State::AfterDle:
      switch (byte) {
        case kStx:
          StartMessage();
          enqFlag_ = true;
          state_ = State::InMessage;
          return;
        case kEtx:
        case kDle:
          SendControl(kNak, actions);
          state_ = State::Idle;
          return;
        case kEnq:
          OnEnquiry(actions);
          state_ = State::Idle;
          return;
        case kNak:
          actions.acknowledgement = BisyncAckType::Nak;
          state_ = State::Idle;
          return;
        case kAck0:
        case kAck1:
          actions.acknowledgement = byte == kAck0 ? BisyncAckType::Ack0 : BisyncAckType::Ack1;
          state_ = State::Idle;
          return;
        default:
          state_ = State::InMessage;
          return;
      }
    case State::InMessage:
      if (byte == kDle) {
        state_ = State::DleInMessage;
      } else {
        Append(byte);
      }
      return;
    case State::DleInMessage:
      switch (byte) {
        case kStx:
          StartMessage();
          state_ = State::InMessage;
          return;
        case kEtx:
          crc_.Add(kEtx);
          state_ = State::Bcc1;
          return;
        case kEnq:
          StartMessage();
          enqFlag_ = true;
          SendControl(kNak, actions);
          actions.purgeReceive = true;
          state_ = State::Idle;
          return;
        case kDle:
          Append(kDle);
          state_ = State::InMessage;
          return;
        default:
          return;
      }
    case State::Bcc1:
      bcc1_ = byte;
      state_ = State::Bcc2;
      return;
    case State::Bcc2: {
      state_ = State::Idle;
      enqFlag_ = false;
      if (!overflow_ && bcc1_ == crc_.Bcc1() && byte == crc_.Bcc2()) {
        toggle_ ^= 1;
        lastAck_ = static_cast<std::uint8_t>(kAck0 + toggle_);
        SendControl(lastAck_, actions);
        actions.delivered = message_;
      } else {
        SendControl(kNak, actions);
      }
      message_.clear();
      return;
    }
  }
}

}  // namespace gantrel
