// The host's block coders against the simulated target's decoders: any
// sequence of blocks, following each other or not, must decode to the bytes
// that were coded.
//
// Input: one control byte per block (bit 0: the block does not follow the
// previous one; bit 1: its look-ahead bytes differ from the next block;
// bit 2: a new operation begins), then the data, taken 1024 bytes at a time.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gps_sim/block_decoders.h"
#include "huffman_coder.h"
#include "image_buffer.h"
#include "lzss_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kBlock = ambrel::kBlockSize;
  if (size < 1) return 0;
  const std::size_t blocks = std::min<std::size_t>(data[0] % 8 + 1, 8);
  if (size < 1 + blocks) return 0;
  const std::uint8_t* control = data + 1;
  const std::uint8_t* body = data + 1 + blocks;
  const std::size_t bodySize = size - 1 - blocks;
  std::vector<std::uint8_t> image(blocks * kBlock + ambrel::kCoderSpare, 0xFF);
  for (std::size_t i = 0; i < blocks * kBlock && bodySize > 0; ++i) image[i] = body[i % bodySize];

  ambrel::LzssCoder coder;
  gps_sim::SimLzssDecoder decoder;
  std::uint32_t offset = 0;
  for (std::size_t b = 0; b < blocks; ++b) {
    if (control[b] & 1) offset += 3 * kBlock;
    if (control[b] & 4) {
      coder.Restart();
      decoder.Restart();
    }
    std::vector<std::uint8_t> block(image.begin() + static_cast<long>(b * kBlock),
                                    image.begin() + static_cast<long>((b + 1) * kBlock + ambrel::kCoderSpare));
    if (control[b] & 2) {
      for (std::size_t i = kBlock; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(block[i] ^ 0x5A);
    }
    ambrel::BitWriter bits;
    coder.EncodeBlock(block.data(), kBlock, block.size(), offset, bits);
    const auto decoded = decoder.Decode(bits.Bytes().data(), bits.Bytes().size(), bits.PadBits(), offset);
    if (!decoded || !std::equal(decoded->begin(), decoded->end(), block.begin())) std::abort();
    offset += kBlock;
  }

  ambrel::HuffmanCoder huffman;
  std::vector<std::uint8_t> valid(blocks * kBlock, 1);
  if (bodySize > 0) valid[body[0] % valid.size()] = 0;
  huffman.Prepare(image.data(), valid.data(), blocks * kBlock);
  gps_sim::SimHuffmanDecoder target;
  const auto tree = huffman.TreeMessage();
  if (!target.SetTree(tree.data(), tree.size())) std::abort();
  for (std::size_t b = 0; b < blocks; ++b) {
    ambrel::BitWriter bits;
    huffman.EncodeBlock(image.data() + b * kBlock, kBlock, bits);
    const auto decoded = target.Decode(bits.Bytes().data(), bits.Bytes().size(), bits.PadBits());
    if (!decoded || !std::equal(decoded->begin(), decoded->end(), image.begin() + static_cast<long>(b * kBlock))) {
      std::abort();
    }
  }
  return 0;
}
