// Fuzzes the B-record reader with any file: the first byte picks the buffer
// size, the rest is the file. Every failure must be a B-record error; a
// record too long for the buffer must come back whole from a retry with a
// buffer of its length.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "../fuzz_file.h"
#include "engine/images/brecord_error.h"
#include "engine/images/brecord_file.h"

namespace {
const std::uint32_t kBufferSizes[] = {0, 1, 8, 64, 256, 1024, 4096, 65536};
constexpr std::uint32_t kLargestRetry = 1 << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::ScratchFile scratch(".b");
  if (size < 1) return 0;
  const std::uint32_t bufferSize = kBufferSizes[data[0] & 7];
  const std::string& path = scratch.Hold(data + 1, size - 1);
  CBRecordFile file;
  try {
    std::uint32_t start = 0;
    file.OpenBRecordFile(path, 0, start);
    std::vector<std::uint8_t> buffer(bufferSize);
    for (std::size_t call = 0;; ++call) {
      if (call > 2 * size + 8) std::abort();  // no progress
      std::uint32_t address = 0, length = 0;
      int end = -1;
      if (bufferSize == 0) {
        // Look, then read with a buffer of the record's length.
        file.ReadBRecordBlock(nullptr, 0, address, end, length);
        if (length > kLargestRetry) return 0;
        std::vector<std::uint8_t> exact(length == 0 ? 1 : length);
        std::uint32_t again = 0;
        const std::uint32_t read = file.ReadBRecordBlock(exact.data(), static_cast<std::uint32_t>(exact.size()),
                                                         address, end, again);
        if (again != length || read > exact.size()) std::abort();
        continue;
      }
      try {
        const std::uint32_t read = file.ReadBRecordBlock(buffer.data(), bufferSize, address, end, length);
        if (read > bufferSize) std::abort();
      } catch (BREC_EXCEPTION e) {
        if (e != BREC_BUFFER_TOO_SMALL) throw;
        if (length <= bufferSize) std::abort();
        if (length > kLargestRetry) return 0;
        std::vector<std::uint8_t> larger(length);
        std::uint32_t sameAddress = 0, sameLength = 0;
        file.ReadBRecordBlock(larger.data(), length, sameAddress, end, sameLength);
        if (sameAddress != address || sameLength != length) std::abort();
      }
    }
  } catch (BREC_EXCEPTION e) {
    if (!IsBRecordError(e)) std::abort();
  }
  return 0;
}
