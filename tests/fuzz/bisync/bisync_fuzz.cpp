// Fuzzes the bisync receive state machine with any byte stream. It may only
// ever ask to send DLE followed by NAK, ACK0 or ACK1; every message it
// delivers fits the message buffer, and delivered messages are acknowledged
// ACK1, ACK0, ACK1... in turn; a delivered message, framed again, is
// delivered unchanged by a fresh parser.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bisync_codec.h"

namespace {

using gantrel::BisyncParser;

void CheckSent(const std::vector<std::uint8_t>& sent) {
  if (sent.size() % 2 != 0) std::abort();
  for (std::size_t i = 0; i < sent.size(); i += 2) {
    if (sent[i] != gantrel::kDle) std::abort();
    const std::uint8_t c = sent[i + 1];
    if (c != gantrel::kNak && c != gantrel::kAck0 && c != gantrel::kAck1) std::abort();
  }
}

void CheckRoundTrip(const std::vector<std::uint8_t>& message) {
  auto frame = gantrel::EncodeBisyncFrame(message.data(), message.size());
  if (!frame) return;  // too long to send back; receiving it was allowed
  BisyncParser again;
  again.Reset();
  std::size_t delivered = 0;
  for (auto b : *frame) {
    BisyncParser::Actions a;
    again.Feed(b, a);
    if (a.delivered) {
      if (*a.delivered != message) std::abort();
      ++delivered;
    }
  }
  if (delivered != 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  BisyncParser parser;
  parser.Reset();
  std::uint8_t expectedAck = gantrel::kAck1;
  for (std::size_t i = 0; i < size; ++i) {
    BisyncParser::Actions a;
    parser.Feed(data[i], a);
    CheckSent(a.send);
    if (a.delivered) {
      if (a.delivered->size() > gantrel::kMaxBisyncMessage) std::abort();
      if (a.send.size() != 2 || a.send[1] != expectedAck) std::abort();
      expectedAck = expectedAck == gantrel::kAck1 ? gantrel::kAck0 : gantrel::kAck1;
      CheckRoundTrip(*a.delivered);
    }
  }
  return 0;
}
