// Speed of the GPS-chip library's block coders: microseconds per 1 KB block
// for LZSS and Huffman over random, periodic and uniform images, with the
// coded size.

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "bench_arguments.h"
#include "huffman_coder.h"
#include "image_buffer.h"
#include "lzss_coder.h"

namespace {

constexpr std::size_t kBlock = 1024;
constexpr std::size_t kBlocks = 2048;  // 2 MB, the largest part

std::vector<std::uint8_t> MakeImage(int kind) {
  std::vector<std::uint8_t> image(kBlocks * kBlock + ambrel::kCoderSpare, 0xFF);
  std::mt19937 rng(1);
  for (std::size_t i = 0; i < kBlocks * kBlock; ++i) {
    if (kind == 0) image[i] = static_cast<std::uint8_t>(rng());
    if (kind == 1) image[i] = static_cast<std::uint8_t>((i % 300) * 7);
    if (kind == 2) image[i] = 0xA5;
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: bench_gps_coders\n"
      "  Time the GPS chip library's LZSS and Huffman block coders over random,\n"
      "  periodic and uniform images and print microseconds per 1 KB block.\n";
  if (const int exit = ReadBenchArguments(argc, argv, kUsage, {}); exit >= 0) return exit;
  const char* names[] = {"random", "periodic", "uniform"};
  for (int kind = 0; kind < 3; ++kind) {
    const std::vector<std::uint8_t> image = MakeImage(kind);
    ambrel::LzssCoder lzss;
    ambrel::BitWriter bits;
    std::size_t total = 0;
    auto start = std::chrono::steady_clock::now();
    for (std::size_t b = 0; b < kBlocks; ++b) {
      total += lzss.EncodeBlock(image.data() + b * kBlock, kBlock, image.size() - b * kBlock,
                                static_cast<std::uint32_t>(b * kBlock), bits);
    }
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    std::printf("lzss     %-9s %7.2f us/block  %6.1f%% of raw size\n", names[kind], us / kBlocks,
                100.0 * static_cast<double>(total) / (8.0 * kBlocks * kBlock));

    ambrel::HuffmanCoder huffman;
    const std::vector<std::uint8_t> valid(kBlocks * kBlock, 1);
    start = std::chrono::steady_clock::now();
    huffman.Prepare(image.data(), valid.data(), kBlocks * kBlock);
    const double prepareMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    total = 0;
    start = std::chrono::steady_clock::now();
    for (std::size_t b = 0; b < kBlocks; ++b) total += huffman.EncodeBlock(image.data() + b * kBlock, kBlock, bits);
    us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    std::printf("huffman  %-9s %7.2f us/block  %6.1f%% of raw size  (tree over 2 MB: %.1f ms)\n", names[kind],
                us / kBlocks, 100.0 * static_cast<double>(total) / (8.0 * kBlocks * kBlock), prepareMs);
  }
  return 0;
}
