#include "huffman_coder.h"

#include <algorithm>
#include <utility>

namespace ambrel {
namespace {

constexpr std::size_t kBlockSize = 1024;

struct Entry {
  unsigned node;
  std::uint64_t count;
};

}  // namespace

HuffmanCoder::Preparation HuffmanCoder::Prepare(const std::uint8_t* data, const std::uint8_t* valid,
                                                std::size_t length) {
  std::array<std::uint64_t, kLeaves> counts{};
  std::uint64_t validBytes = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (valid[i]) {
      ++counts[data[i]];
      ++validBytes;
    }
  }
  BuildTree(counts);
  AssignCodes();

  Preparation result;
  std::uint64_t codedBits = 0;
  for (unsigned v = 0; v < kLeaves; ++v) codedBits += counts[v] * codes_[v].length;
  if (validBytes > 0) {
    result.gain = 1.0 - static_cast<double>(codedBits) / (8.0 * static_cast<double>(validBytes));
  }
  for (std::size_t block = 0; block < length; block += kBlockSize) {
    std::size_t bits = 0;
    const std::size_t end = std::min(length, block + kBlockSize);
    for (std::size_t i = block; i < end; ++i) bits += codes_[data[i]].length;
    result.largestBlockBits = std::max(result.largestBlockBits, bits);
  }
  return result;
}

void HuffmanCoder::BuildTree(const std::array<std::uint64_t, kLeaves>& counts) {
  std::vector<Entry> entries;
  entries.reserve(kLeaves);
  for (unsigned v = 0; v < kLeaves; ++v) entries.push_back({v, counts[v]});
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.count > b.count; });
  for (unsigned node = kLeaves; node <= kRootNode; ++node) {
    const Entry last = entries.back();
    entries.pop_back();
    Entry& before = entries.back();
    internal_[node - kLeaves] = {before.node, last.node};
    before = {node, before.count + last.count};
    // The new node moves up past every entry with a smaller count.
    std::size_t at = entries.size() - 1;
    while (at > 0 && entries[at - 1].count < entries[at].count) {
      std::swap(entries[at - 1], entries[at]);
      --at;
    }
  }
}

void HuffmanCoder::AssignCodes() {
  struct Visit {
    unsigned node;
    Code code;
  };
  std::vector<Visit> stack;
  stack.push_back({kRootNode, {}});
  while (!stack.empty()) {
    Visit visit = std::move(stack.back());
    stack.pop_back();
    if (visit.node < kLeaves) {
      codes_[visit.node] = visit.code;
      continue;
    }
    const Node& node = internal_[visit.node - kLeaves];
    Visit second{node.second, visit.code};
    second.code.bits[second.code.length++] = 1;
    Visit first{node.first, visit.code};
    first.code.bits[first.code.length++] = 0;
    stack.push_back(std::move(second));
    stack.push_back(std::move(first));
  }
}

std::size_t HuffmanCoder::EncodeBlock(const std::uint8_t* block, std::size_t length, BitWriter& out,
                                      std::size_t limitBits) const {
  out.Clear();
  for (std::size_t i = 0; i < length && out.BitCount() <= limitBits; ++i) {
    const Code& code = codes_[block[i]];
    for (unsigned b = 0; b < code.length; ++b) out.AppendBit(code.bits[b]);
  }
  return out.BitCount();
}

std::array<std::uint8_t, HuffmanCoder::kTreeMessageSize> HuffmanCoder::TreeMessage() const {
  std::array<std::uint8_t, kTreeMessageSize> message{};
  auto field = [](unsigned node) -> unsigned { return node < kLeaves ? 0xFF00u + node : node - kLeaves; };
  std::size_t at = 0;
  for (const Node& node : internal_) {
    for (unsigned child : {node.first, node.second}) {
      const unsigned value = field(child);
      message[at++] = static_cast<std::uint8_t>(value >> 8);
      message[at++] = static_cast<std::uint8_t>(value & 0xFF);
    }
  }
  return message;
}

}  // namespace ambrel
