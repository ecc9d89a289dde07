#pragma once
// The radio's side of the bisync framing, as a pure state machine over bytes:
// it takes the host's frames apart (undoubling DLEs, checking the CRC),
// answers them with ACK0/ACK1 or NAK, answers enquiries, and builds frames of
// its own. Faults are injected with knobs. It shares no code with the host.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace linkpeers {

// CRC-16/GSM computed bit by bit (polynomial 0x1021, initial 0, inverted).
std::uint16_t Crc16Gsm(const std::vector<std::uint8_t>& bytes);
// A frame as the radio sends it; with corrupt the second check byte is wrong.
std::vector<std::uint8_t> BuildFrame(const std::vector<std::uint8_t>& message, bool corrupt = false);

struct BisyncKnobs {
  int dropAcks = 0;        // the next n good frames are not acknowledged
  int nakTimes = 0;        // the next n good frames are answered with NAK
  bool wrongAckOnce = false;  // the next good frame gets the previous frame's ACK
  bool autoReply = false;  // answer each good message with {b0, b1 | 0x80, payload...}
  std::vector<std::uint8_t> replyPayload;
  bool replyWithoutBit7 = false;  // the reply's byte 1 lacks bit 7
  int answerLateMs = 0;    // how long the reply waits after the ACK
  bool corruptReply = false;  // the next reply goes out with a wrong CRC
};

class BisyncPeer {
 public:
  struct Output {
    std::vector<std::uint8_t> bytes;  // what the radio sends now
    bool replyDue = false;            // a reply frame is to follow (after answerLateMs)
    std::vector<std::uint8_t> reply;
  };

  BisyncKnobs knobs;

  // Feeds one byte from the host.
  void Feed(std::uint8_t byte, Output& out);

  std::vector<std::vector<std::uint8_t>> accepted;  // good messages from the host, in order
  std::vector<std::string> transcript;               // "frame", "bad crc", "ack 1", "nak", "enq", "host ack 0"...
  std::uint8_t lastAck = '1';

 private:
  enum class State { Idle, Dle, Body, BodyDle, Bcc1, Bcc2 };
  void Finish(std::uint8_t bcc2, Output& out);

  State state_ = State::Idle;
  std::vector<std::uint8_t> body_;
  std::uint8_t bcc1_ = 0;
  int toggle_ = 0;
};

}  // namespace linkpeers
