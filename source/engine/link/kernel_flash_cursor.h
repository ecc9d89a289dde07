#pragma once
// Walks one program-list entry in program requests of at most 3072 data
// bytes. With the skip-erased flag, leading 0xFF 0xFF pairs of each block
// are not sent (flash that is erased already reads 0xFF); the skipped
// bytes still count as consumed, so the progress reaches the entry's
// length. A block that is 0xFF throughout keeps its last two bytes.

#include <cstddef>
#include <cstdint>

// Thrown by value; 0 for a buffer mode other than 1 or 2.
enum FM_EXCEPTION : int { FM_INVALID_BUFFER_MODE = 0 };

class FlashBlockCursor {
 public:
  static constexpr std::uint32_t kMaxBlock = 3072;

  FlashBlockCursor(std::uint32_t length, std::uint32_t address, const std::uint8_t* data, bool skipErased);
  virtual ~FlashBlockCursor() = default;
  FlashBlockCursor(const FlashBlockCursor&) = delete;
  FlashBlockCursor& operator=(const FlashBlockCursor&) = delete;

  // Mode 1 (one block record; set at construction) or 2 (two alternating
  // records; finished only after a block of length 0). Returns the mode
  // already set; any other value throws FM_EXCEPTION 0.
  int SetBufferMode(int mode);
  bool IsFinished() const { return finished_; }
  // Fills the program request (8-byte header, then the data; room for
  // 8 + 3072 bytes) with the next block and advances.
  void NextBlock(std::uint8_t* request);
  std::uint32_t BlockLength() const { return current_->length; }
  std::uint32_t BlockConsumed() const { return current_->consumed; }
  std::uint32_t BlockAddress() const { return current_->address; }

 private:
  struct Block {
    Block* next = nullptr;
    std::uint32_t length = 0;
    std::uint32_t consumed = 0;
    std::uint32_t address = 0;
    const std::uint8_t* data = nullptr;
  };

  bool skipErased_;
  std::uint32_t remaining_;
  bool finished_ = false;
  Block* current_;
  Block blocks_[2];
  int bufferMode_ = 0;
  std::uint32_t maxBlock_ = kMaxBlock;
};
