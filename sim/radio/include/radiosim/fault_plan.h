#pragma once
// Faults the simulated radio injects on request, each a given number of
// times (or for ever), optionally only for one kernel request.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace radiosim {

enum class FaultKind {
  Nak,               // the kernel answers a received frame with NAK and drops it
  NoAck,             // the kernel ignores a received frame: no ACK, no reply
  WrongAck,          // the kernel answers with a byte that is neither ACK nor NAK
  NoReply,           // the kernel acknowledges but sends no reply
  BadChecksum,       // the reply frame's checksum is wrong
  BadHeader,         // the reply frame starts with a byte whose high nibble is not 0xF
  ZeroLength,        // the reply's length field is 0
  OverlongLength,    // the reply's length field is far beyond the reply
  ShortReply,        // the reply's length field is larger than the bytes that follow
  ErrorStatus,       // the reply's status byte is not 0 (the status register says why)
  StatusUnavailable, // the status request answers with a status byte that is not 0
  Silence,           // the radio ignores everything it receives
  KernelNeverStarts, // a complete download is taken but the kernel does not start
  EraseFailure,      // an erase fails on its first sector (0x020A)
  ProgramFailure,    // a program request fails to write (0x0205)
  VerifyError,       // a program request writes but fails verification (0x0202)
  ProtectedSector,   // an erase or program request meets a protected sector (0x0208, 0x0204)
  Stall,             // the smart-flash engine writes nothing until the next free-space query
  RefusedRegion,     // the firmware refuses a RAM region query (or a RAM read)
  WrongReadLength,   // a read reply carries one byte less than was asked
  OversizedRegion,   // a RAM region query answers a size far beyond the RAM
  OversizedFdi,      // a data-area unit query answers used parts beyond the unit
  LongText,          // a text reply (target name, custom command) runs on without its zero
};

// The number of fault kinds; a new kind goes before LongText or moves this.
inline constexpr std::size_t kFaultKindCount = static_cast<std::size_t>(FaultKind::LongText) + 1;

struct Fault {
  FaultKind kind;
  int count = 1;          // how many times; -1 for ever
  int request = -1;       // kernel request (group << 8 | opcode) it applies to; -1 any
};

class FaultPlan {
 public:
  void Add(const Fault& fault);
  void Clear();
  // True (and one use consumed) when a fault of this kind applies to the
  // request; request -1 stands for "no particular request".
  bool Take(FaultKind kind, int request = -1);
  bool Pending(FaultKind kind) const;

 private:
  std::vector<Fault> faults_;
};

// "nak", "no-ack", ... as used on the command line and in transcripts.
const char* FaultName(FaultKind kind);
std::optional<FaultKind> ParseFaultName(const std::string& name);
// Parses "kind[:count][@request]" with the request in hex (e.g. "nak:3@0304",
// "silence:-1"); nullopt for a malformed text.
std::optional<Fault> ParseFault(const std::string& text);

}  // namespace radiosim
