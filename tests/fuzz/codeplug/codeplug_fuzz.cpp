// Fuzzes the codeplug image view: the first bytes choose the block size,
// block count and word size, the rest (padded) is the image. Every unit,
// index entry and item that the image names is read and written; nothing
// may be read or written outside the image, and every failure must be a
// codeplug error.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/images/codeplug_error.h"
#include "engine/images/codeplug_image.h"

namespace {

constexpr std::size_t kLargestImage = 1 << 16;

std::uint32_t BigEndian16(const std::uint8_t* bytes) { return std::uint32_t{bytes[0]} << 8 | bytes[1]; }

template <class F>
void Try(F&& f) {
  try {
    f();
  } catch (CP_EXCEPTION e) {
    if (!IsCodeplugError(e)) std::abort();
  }
}

void Exercise(CCodeplugImage& view, std::uint32_t probe) {
  const auto& entries = view.IndexEntries();
  if (entries.size() != 8u * view.IndexEntryCount()) std::abort();
  if (view.IndexWords().size() != 2u * view.IndexWordCount()) std::abort();
  std::vector<std::uint8_t> scratch(1 << 16);
  for (std::uint32_t i = 0; i < view.IndexEntryCount() && i < 64; ++i) {
    const std::uint32_t unitNumber = BigEndian16(&entries[8 * i]);
    for (std::uint32_t item = 0; item < 4; ++item) {
      Try([&] {
        const std::uint32_t length = view.ItemLength(unitNumber, item);
        Try([&] { view.ReadItem(unitNumber, item, scratch.data(), length, 0); });
        Try([&] { view.ReadItem(unitNumber, item, scratch.data(), probe & 0xFF, probe >> 8 & 0xFF); });
        Try([&] { view.WriteItem(unitNumber, item, scratch.data(), length, 0); });
        Try([&] { view.WriteItem(unitNumber, item, scratch.data(), 1, length); });
        Try([&] { view.WriteItem(unitNumber, item, scratch.data(), 0xFFFF, 0xFFFFFFF0u); });
      });
    }
  }
  for (std::uint32_t id : {0u, probe & 0xFFFF, 0xFFFFu, 0x10000u}) {
    Try([&] {
      std::uint8_t* header = view.FindUnitHeader(id);
      if (header == nullptr) return;
      const std::uint32_t length = view.UnitLength(header);
      view.ReadUnitData(id, scratch.data(), length, 0);
      view.WriteUnitData(id, scratch.data(), length, 0);
      Try([&] { view.ReadUnitData(id, scratch.data(), 2, length - 1); });
    });
  }
  Try([&] { view.FindIndexEntry(probe & 0xFFFF); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::uint32_t blockSize = BigEndian16(data) % 4097;
  const std::int32_t blockCount = static_cast<std::int8_t>(data[2]) % 17;
  const std::uint8_t wordSize = data[3] % 5;
  const std::uint32_t probe = BigEndian16(data + 4);
  const std::size_t imageSize = blockCount > 0 ? std::size_t{blockSize} * static_cast<std::size_t>(blockCount) : 0;
  if (imageSize > kLargestImage) return 0;
  // Exactly the image's bytes, so that the sanitizer sees any byte beyond it.
  std::vector<std::uint8_t> image(data + 6, data + std::min(size, 6 + imageSize));
  image.resize(imageSize, 0xFF);
  image.shrink_to_fit();
  Try([&] {
    CCodeplugImage view(image.data(), blockSize, blockCount, wordSize);
    Exercise(view, probe);
  });
  return 0;
}
