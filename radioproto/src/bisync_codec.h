#pragma once
// Bisync framing: the CRC-16 of the frames, the frame encoder and the receive
// state machine. Pure functions of bytes, so they are tested with tables and
// fuzzed without a port.
//
// A frame is DLE STX, the message with every DLE doubled, DLE ETX, BCC1,
// BCC2. The CRC (CRC-16/GSM: polynomial 0x1021, initial 0, no reflection,
// inverted at the end) runs over the message bytes before doubling and ETX.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace gantrel {

inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kEnq = 0x05;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kAck0 = '0';
inline constexpr std::uint8_t kAck1 = '1';

// The largest frame and the largest received message.
inline constexpr std::size_t kMaxBisyncFrame = 256;
inline constexpr std::size_t kMaxBisyncMessage = 256;

enum class BisyncAckType : int { Ack0 = 0, Ack1 = 1, Nak = 15, Uninitialized = 99 };

// The CRC register of one direction.
class BisyncCrc {
 public:
  void Clear() { register_ = 0; }
  void Add(std::uint8_t byte);
  std::uint16_t Register() const { return register_; }
  std::uint8_t Bcc1() const { return static_cast<std::uint8_t>(~(register_ >> 8)); }
  std::uint8_t Bcc2() const { return static_cast<std::uint8_t>(~register_); }

 private:
  std::uint16_t register_ = 0;
};

// The finished CRC of a byte string (inverted register).
std::uint16_t BisyncCrc16(const std::uint8_t* data, std::size_t length);

// The frame of a message; nullopt when it would exceed kMaxBisyncFrame.
std::optional<std::vector<std::uint8_t>> EncodeBisyncFrame(const std::uint8_t* data, std::size_t length);

// The receive state machine of one link. Feed it every byte; it says what
// the link must do.
class BisyncParser {
 public:
  enum class State { Idle, AfterDle, InMessage, DleInMessage, Bcc1, Bcc2 };

  struct Actions {
    std::vector<std::uint8_t> send;               // control bytes to send, DLE pairs
    std::optional<BisyncAckType> acknowledgement; // an ACK0, ACK1 or NAK came
    std::optional<std::vector<std::uint8_t>> delivered;  // a good frame's message
    bool purgeReceive = false;
  };

  // Back to the state of a new link: idle, last ACK '1', toggle 0, ENQ flag 1.
  void Reset();
  void Feed(std::uint8_t byte, Actions& actions);

  State state() const { return state_; }
  std::uint8_t lastAck() const { return lastAck_; }
  bool enqFlag() const { return enqFlag_; }

 private:
  void StartMessage();
  void Append(std::uint8_t byte);
  void OnEnquiry(Actions& actions);
  static void SendControl(std::uint8_t control, Actions& actions);

  State state_ = State::Idle;
  BisyncCrc crc_;
  std::vector<std::uint8_t> message_;
  std::uint8_t bcc1_ = 0;
  std::uint8_t toggle_ = 0;
  std::uint8_t lastAck_ = kAck1;
  bool enqFlag_ = true;
  bool overflow_ = false;
};

}  // namespace gantrel
