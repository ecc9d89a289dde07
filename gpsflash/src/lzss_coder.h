#pragma once
// The LZSS block coder of the block downloads.
//
// Codes, least significant bit first: a literal is 9 bits (bit 0 = 1, then the
// byte), a match 15 bits (bit 0 = 0, ten bits of ring position where the match
// starts, four bits of length - 2). The ring holds 1024 bytes, matches run
// from 2 to 17 bytes, and the coder looks 17 bytes ahead.
//
// Consecutive blocks form one continuous stream: the ring, the search tree and
// a match that ran past the previous block's end carry over. The target's
// decoder continues its stream for a block whose flash offset follows the
// previous coded block of the same operation, and starts afresh (ring
// position 1) for any other block. The coder keeps to the same rule: Restart()
// at the start of every operation, and a restart whenever a block does not
// follow the previous one. When a following block does not begin with the
// bytes that the coder had read ahead, the read-ahead bytes are replaced in
// the ring (and dropped from the search tree) instead, so both sides stay in
// step.

#include <array>
#include <cstddef>
#include <cstdint>

#include "bit_stream.h"

namespace ambrel {

class LzssCoder {
 public:
  static constexpr unsigned kRingSize = 1024;
  static constexpr unsigned kLookAhead = 17;
  static constexpr unsigned kMinMatch = 2;

  LzssCoder();

  // The next block begins a new stream (start of an operation).
  void Restart() { restartPending_ = true; }

  // Codes `length` bytes of `block` at flash offset `offset` into `out`
  // (cleared first) and returns the bit count. The coder reads ahead up to 17
  // bytes past the block, but never beyond `available` bytes from `block`
  // (bytes beyond count as 0xFF).
  std::size_t EncodeBlock(const std::uint8_t* block, std::size_t length, std::size_t available,
                          std::uint32_t offset, BitWriter& out);

 private:
  static constexpr unsigned kNone = kRingSize + 1;  // no node; not a ring position
  static constexpr unsigned kRoot = kRingSize;      // the root hangs below this node

  struct Input {
    const std::uint8_t* data;
    std::size_t available;
    std::size_t next;
    std::uint8_t Take() { return next < available ? data[next++] : (++next, 0xFF); }
  };

  void StartStream(Input& input);
  bool FollowsReadAhead(const std::uint8_t* block, std::size_t length, std::size_t available) const;
  void ReplaceReadAhead(Input& input);
  void Advance(unsigned count, Input& input);
  void EmitMatchOrLiteral(unsigned position, unsigned length, BitWriter& out);
  void InsertNode(unsigned position);
  void DeleteNode(unsigned position);
  void ReplaceNode(unsigned oldNode, unsigned newNode);

  std::array<std::uint8_t, kRingSize> ring_{};
  std::array<unsigned, kRingSize + 1> parent_{};
  std::array<unsigned, kRingSize + 1> smaller_{};
  std::array<unsigned, kRingSize + 1> larger_{};
  unsigned current_ = 1;
  unsigned matchPosition_ = 0;
  unsigned matchLength_ = 0;
  unsigned pendingPosition_ = 0;
  unsigned pendingLength_ = 0;
  unsigned deferredAdvance_ = 0;  // length of the last code, not yet advanced over
  std::size_t readAhead_ = 0;     // input bytes loaded past the previous block's end
  bool restartPending_ = true;
  bool haveLast_ = false;
  std::uint32_t nextOffset_ = 0;  // flash offset that follows the previous block
};

}  // namespace ambrel
