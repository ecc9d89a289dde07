#pragma once
// The library-wide compression setting and the two block coders it picks.

#include "huffman_coder.h"
#include "lzss_coder.h"

namespace ambrel {

enum class CompressionMode { None = 0, Huffman = 1, Lzss = 2 };

struct BlockCoders {
  CompressionMode mode = CompressionMode::Lzss;
  LzssCoder lzss;
  HuffmanCoder huffman;
  BitWriter bits;  // reused from block to block
};

}  // namespace ambrel
