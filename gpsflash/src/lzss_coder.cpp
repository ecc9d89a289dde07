#include "lzss_coder.h"

namespace ambrel {
namespace {

constexpr unsigned kPositionBits = 10;
constexpr unsigned kLengthBits = 4;

}  // namespace

LzssCoder::LzssCoder() {
  parent_.fill(kNone);
  smaller_.fill(kNone);
  larger_.fill(kNone);
}

std::size_t LzssCoder::EncodeBlock(const std::uint8_t* block, std::size_t length, std::size_t available,
                                   std::uint32_t offset, BitWriter& out) {
  out.Clear();
  Input input{block, available, 0};
  std::size_t remaining = length;
  const bool continues = !restartPending_ && haveLast_ && offset == nextOffset_;
  restartPending_ = false;
  if (!continues) {
    StartStream(input);
  } else {
    input.next = readAhead_;
    if (!FollowsReadAhead(block, length, available)) ReplaceReadAhead(input);
    // The part of a match that ran past the previous block's end comes first.
    unsigned pending = pendingLength_;
    if (pending > remaining) pending = static_cast<unsigned>(remaining);
    if (pending > 0) EmitMatchOrLiteral(pendingPosition_, pending, out);
    remaining -= pending;
    pendingLength_ = 0;
    const unsigned advance = deferredAdvance_ + pending;
    deferredAdvance_ = 0;
    if (remaining == 0) {
      deferredAdvance_ = advance;
    } else {
      Advance(advance, input);
    }
  }

  while (remaining > 0) {
    const unsigned found = matchLength_ >= kMinMatch ? matchLength_ : 1;
    unsigned coded = found;
    if (coded > remaining) {
      coded = static_cast<unsigned>(remaining);
      pendingLength_ = found - coded;
      pendingPosition_ = (matchPosition_ + coded) % kRingSize;
    }
    if (found >= kMinMatch && coded >= kMinMatch) {
      EmitMatchOrLiteral(matchPosition_, coded, out);
    } else {
      EmitMatchOrLiteral(current_, 1, out);
    }
    remaining -= coded;
    if (remaining == 0) {
      deferredAdvance_ = coded;
      break;
    }
    Advance(coded, input);
  }
  readAhead_ = input.next > length ? input.next - length : 0;
  nextOffset_ = offset + static_cast<std::uint32_t>(length);
  haveLast_ = true;
  return out.BitCount();
}

void LzssCoder::StartStream(Input& input) {
  parent_.fill(kNone);
  smaller_.fill(kNone);
  larger_.fill(kNone);
  current_ = 1;
  for (unsigned i = 0; i < kLookAhead; ++i) ring_[(current_ + i) % kRingSize] = input.Take();
  matchLength_ = 0;
  pendingLength_ = 0;
  deferredAdvance_ = 0;
  InsertNode(current_);
}

bool LzssCoder::FollowsReadAhead(const std::uint8_t* block, std::size_t length, std::size_t available) const {
  const unsigned end = (current_ + deferredAdvance_) % kRingSize;
  for (std::size_t i = 0; i < readAhead_; ++i) {
    const std::uint8_t next = i < available && i < length + kLookAhead ? block[i] : 0xFF;
    if (ring_[(end + i) % kRingSize] != next) return false;
  }
  return true;
}

void LzssCoder::ReplaceReadAhead(Input& input) {
  // Strings that reach into the read-ahead bytes leave the tree, the bytes
  // are replaced, and a match that relied on them is forgotten.
  for (unsigned back = 0; back + deferredAdvance_ <= kLookAhead - 1; ++back) {
    DeleteNode((current_ + kRingSize - back) % kRingSize);
  }
  const unsigned end = (current_ + deferredAdvance_) % kRingSize;
  for (std::size_t i = 0; i < readAhead_; ++i) {
    ring_[(end + i) % kRingSize] = i < input.available ? input.data[i] : 0xFF;
  }
  pendingLength_ = 0;
}

void LzssCoder::Advance(unsigned count, Input& input) {
  for (unsigned i = 0; i < count; ++i) {
    const unsigned slot = (current_ + kLookAhead) % kRingSize;
    DeleteNode(slot);
    ring_[slot] = input.Take();
    current_ = (current_ + 1) % kRingSize;
    InsertNode(current_);
  }
}

void LzssCoder::EmitMatchOrLiteral(unsigned position, unsigned length, BitWriter& out) {
  if (length >= kMinMatch) {
    out.AppendBit(0);
    out.Append(position, kPositionBits);
    out.Append(length - kMinMatch, kLengthBits);
  } else {
    out.AppendBit(1);
    out.Append(ring_[position % kRingSize], 8);
  }
}

void LzssCoder::InsertNode(unsigned position) {
  smaller_[position] = kNone;
  larger_[position] = kNone;
  matchLength_ = 0;
  matchPosition_ = 0;
  unsigned node = kRoot;
  int comparison = 1;
  for (;;) {
    unsigned& child = comparison >= 0 ? larger_[node] : smaller_[node];
    if (child == kNone) {
      child = position;
      parent_[position] = node;
      return;
    }
    node = child;
    unsigned common = 0;
    comparison = 0;
    for (; common < kLookAhead; ++common) {
      comparison = static_cast<int>(ring_[(position + common) % kRingSize]) -
                   static_cast<int>(ring_[(node + common) % kRingSize]);
      if (comparison != 0) break;
    }
    if (common >= matchLength_) {
      matchPosition_ = node;
      matchLength_ = common;
    }
    if (common >= kLookAhead) break;
  }
  // A full match: the new position takes the old one's place in the tree.
  ReplaceNode(node, position);
}

void LzssCoder::ReplaceNode(unsigned oldNode, unsigned newNode) {
  parent_[newNode] = parent_[oldNode];
  smaller_[newNode] = smaller_[oldNode];
  larger_[newNode] = larger_[oldNode];
  if (smaller_[oldNode] != kNone) parent_[smaller_[oldNode]] = newNode;
  if (larger_[oldNode] != kNone) parent_[larger_[oldNode]] = newNode;
  const unsigned up = parent_[oldNode];
  if (larger_[up] == oldNode) {
    larger_[up] = newNode;
  } else {
    smaller_[up] = newNode;
  }
  parent_[oldNode] = kNone;
}

void LzssCoder::DeleteNode(unsigned position) {
  if (parent_[position] == kNone) return;
  unsigned replacement;
  if (larger_[position] == kNone) {
    replacement = smaller_[position];
  } else if (smaller_[position] == kNone) {
    replacement = larger_[position];
  } else {
    replacement = smaller_[position];
    if (larger_[replacement] != kNone) {
      do {
        replacement = larger_[replacement];
      } while (larger_[replacement] != kNone);
      const unsigned up = parent_[replacement];
      larger_[up] = smaller_[replacement];
      if (smaller_[replacement] != kNone) parent_[smaller_[replacement]] = up;
      smaller_[replacement] = smaller_[position];
      parent_[smaller_[position]] = replacement;
    }
    larger_[replacement] = larger_[position];
    parent_[larger_[position]] = replacement;
  }
  const unsigned up = parent_[position];
  if (replacement != kNone) parent_[replacement] = up;
  if (larger_[up] == position) {
    larger_[up] = replacement;
  } else {
    smaller_[up] = replacement;
  }
  parent_[position] = kNone;
}

}  // namespace ambrel
