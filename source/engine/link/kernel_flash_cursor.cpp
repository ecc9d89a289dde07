#include "engine/link/kernel_flash_cursor.h"

#include <algorithm>
#include <cstring>

#include "engine/link/kernel_op_requests.h"

namespace {

bool ErasedPairAt(const std::uint8_t* data) { return data[0] == 0xFF && data[1] == 0xFF; }

}  // namespace

FlashBlockCursor::FlashBlockCursor(std::uint32_t length, std::uint32_t address, const std::uint8_t* data,
                                   bool skipErased)
    : skipErased_(skipErased), remaining_(length), current_(&blocks_[0]) {
  // The first block "ends" where the entry starts, so NextBlock begins
  // there.
  blocks_[0].address = address;
  blocks_[0].data = data;
  blocks_[1] = blocks_[0];
  SetBufferMode(1);
}

int FlashBlockCursor::SetBufferMode(int mode) {
  if (bufferMode_ != 0) return bufferMode_;
  switch (mode) {
    case 1:
      blocks_[0].next = &blocks_[0];
      if (remaining_ == 0) finished_ = true;
      break;
    case 2:
      blocks_[0].next = &blocks_[1];
      blocks_[1].next = &blocks_[0];
      break;
    default:
      throw FM_INVALID_BUFFER_MODE;
  }
  bufferMode_ = mode;
  maxBlock_ = kMaxBlock;
  return mode;
}

void FlashBlockCursor::NextBlock(std::uint8_t* request) {
  const Block& previous = *current_;
  Block& block = *current_->next;
  block.address = previous.address + previous.length;
  block.data = previous.data + previous.length;
  std::uint32_t skipped = 0;
  if (skipErased_) {
    while (remaining_ > 2 && ErasedPairAt(block.data)) {
      block.address += 2;
      block.data += 2;
      remaining_ -= 2;
      skipped += 2;
    }
  }
  block.length = std::min(maxBlock_, remaining_);
  block.consumed = block.length + skipped;
  WriteProgramHeader(request, block.address, static_cast<std::uint16_t>(block.length));
  if (block.length) std::memcpy(request + kProgramHeaderBytes, block.data, block.length);
  remaining_ -= block.length;
  current_ = &block;
  if (bufferMode_ == 1 ? remaining_ == 0 : block.length == 0) finished_ = true;
}
