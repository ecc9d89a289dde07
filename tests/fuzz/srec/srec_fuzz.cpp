// Fuzzes the S-record reader with any file: the first byte picks the read
// options and the buffer size, the rest is the file. Every call must make
// progress (no hang), every failure must be an S-record error, and what was
// read must survive a write and a second read unchanged.

#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

#include "../fuzz_file.h"
#include "engine/images/srecord_error.h"
#include "engine/images/srecord_file.h"

namespace {

struct Block {
  std::uint32_t type;
  std::uint32_t address;
  std::vector<std::uint8_t> data;
};

const std::uint32_t kBufferSizes[] = {0, 1, 3, 16, 21, 255, 512, 4096};

// Reads the whole file; a buffer size of 0 alternates a look with a read.
std::vector<Block> ReadAll(const std::string& path, int options, std::uint32_t bufferSize,
                           std::size_t fileSize, int* error) {
  std::vector<Block> blocks;
  CSRecordFile file;
  *error = 0;
  try {
    file.OpenSRecordFile(path, CSRecordFile::kModeRead);
    file.SetReadOption(CSRecordFile::kIgnoreChecksum, options & 1);
    file.SetReadOption(CSRecordFile::kHeaderOptional, (options >> 1) & 1);
    std::vector<std::uint8_t> buffer(bufferSize == 0 ? 256 : bufferSize);
    // Each call takes a line or data bytes from the file, so the calls are
    // bounded by its size; a look (buffer size 0) takes nothing.
    const std::size_t limit = 4 * (fileSize + 4);
    for (std::size_t call = 0;; ++call) {
      if (call > limit) std::abort();  // the reader stopped making progress
      std::uint32_t address = 0, type = 0, length = 0;
      if (bufferSize == 0) {
        file.ReadSRecordBlock(buffer.data(), 0, address, type, length);
        if (length != 0) std::abort();
      }
      file.ReadSRecordBlock(buffer.data(), static_cast<std::uint32_t>(buffer.size()), address, type,
                            length);
      if (length > buffer.size()) std::abort();
      blocks.push_back({type, address, std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + length)});
    }
  } catch (SREC_EXCEPTION e) {
    if (!IsSRecordError(e)) std::abort();
    *error = e;
  }
  return blocks;
}

// Writes the data blocks read (of one header and one end record per image)
// and reads them back: the bytes at every address must be the same.
void CheckRoundTrip(const std::vector<Block>& blocks, const fuzz_support::ScratchFile& scratch) {
  std::map<std::uint32_t, std::uint8_t> image;
  std::uint32_t dataType = 0;
  for (const auto& block : blocks) {
    if (block.type < 1 || block.type > 3) continue;
    if (dataType == 0) dataType = block.type;
    if (block.type != dataType) return;  // one type per written image keeps the check simple
    for (std::size_t i = 0; i < block.data.size(); ++i) image[block.address + static_cast<std::uint32_t>(i)] = block.data[i];
  }
  if (dataType == 0) return;
  const std::string path = scratch.Sibling("copy.s19");
  {
    CSRecordFile writer;
    writer.OpenSRecordFile(path, CSRecordFile::kModeWrite);
    std::uint32_t written = 0;
    writer.WriteSRecordBlock(nullptr, 0, 0, 0, written);
    // Runs of consecutive addresses become one block each.
    auto it = image.begin();
    while (it != image.end()) {
      const std::uint32_t start = it->first;
      std::vector<std::uint8_t> run;
      std::uint64_t next = start;
      while (it != image.end() && it->first == next && run.size() < 100000) {
        run.push_back(it->second);
        ++it;
        ++next;
      }
      try {
        writer.WriteSRecordBlock(run.data(), static_cast<std::uint32_t>(run.size()), start, dataType, written);
      } catch (SREC_EXCEPTION) {
        std::abort();  // every address read back from such a record fits its field
      }
      if (written != run.size()) std::abort();
    }
    writer.WriteSRecordBlock(nullptr, 0, 0, 10 - dataType, written);
    writer.CloseSRecordFile();
  }
  int error = 0;
  std::map<std::uint32_t, std::uint8_t> again;
  for (const auto& block : ReadAll(path, 0, 4096, 1 << 30, &error)) {
    if (block.type < 1 || block.type > 3) continue;
    for (std::size_t i = 0; i < block.data.size(); ++i) again[block.address + static_cast<std::uint32_t>(i)] = block.data[i];
  }
  if (error != SREC_END_OF_FILE || again != image) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::ScratchFile scratch(".s19");
  if (size < 1) return 0;
  const int options = data[0] & 3;
  const std::uint32_t bufferSize = kBufferSizes[(data[0] >> 2) & 7];
  const std::string& path = scratch.Hold(data + 1, size - 1);
  int error = 0;
  const auto blocks = ReadAll(path, options, bufferSize, size, &error);
  // A record whose data runs past its address field reads as it is, but
  // the writer refuses such a block: those images are not written back.
  for (const auto& block : blocks) {
    if (block.type >= 1 && block.type <= 3 && !block.data.empty() &&
        std::uint64_t{block.address} + block.data.size() - 1 > HighestAddress(block.type)) {
      return 0;
    }
  }
  CheckRoundTrip(blocks, scratch);
  return 0;
}
