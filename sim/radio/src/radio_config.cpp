#include "radiosim/radio_config.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace radiosim {
namespace {

std::optional<std::uint64_t> ParseSize(std::string text) {
  std::uint64_t unit = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) unit = 1024;
  if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) unit = 1024 * 1024;
  if (unit != 1) text.pop_back();
  if (text.empty() || text[0] == '-') return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (end == nullptr || *end != '\0') return std::nullopt;
  if (value > 0xFFFFFFFFull / unit) return std::nullopt;
  return value * unit;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> items;
  if (!text.empty() && text.back() == separator) return {""};
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, separator)) items.push_back(item);
  return items;
}

}  // namespace

std::vector<std::uint8_t> TextReply(const std::string& text) {
  std::vector<std::uint8_t> reply{0x03, 0x84, 0x00, 0x03};
  reply.insert(reply.end(), text.begin(), text.end());
  reply.push_back(0);
  return reply;
}

std::uint64_t LayoutSize(const std::vector<SectorGroup>& layout) {
  std::uint64_t total = 0;
  for (const auto& group : layout) total += static_cast<std::uint64_t>(group.size) * group.count;
  return total;
}

std::string CheckConfig(const RadioConfig& config) {
  const std::uint64_t size = LayoutSize(config.sectorLayout);
  if (size == 0) return "the flash has no sectors";
  if (config.flashBase + size > 0x100000000ull) return "the flash runs past the end of the address space";
  std::uint32_t sectors = 0;
  for (const auto& group : config.sectorLayout) sectors += group.count;
  for (auto s : config.protectedSectors)
    if (s >= sectors) return "protected sector " + std::to_string(s) + " does not exist";
  for (const auto& r : config.ramRegions)
    if (r.size == 0 || static_cast<std::uint64_t>(r.start) + r.size > 0x100000000ull || r.size > (64u << 20))
      return "bad RAM region";
  if (config.ramRegions.size() > 255) return "too many RAM regions";
  if (config.smartBufferSize < 0x1000) return "the smart-flash buffer is too small";
  if (config.divisor == 0) return "the divisor is 0";
  return {};
}

std::optional<std::vector<RamRegionSpec>> ParseRamRegions(const std::string& text) {
  std::vector<RamRegionSpec> regions;
  for (const auto& item : Split(text, ',')) {
    const auto colon = item.find(':');
    if (colon == std::string::npos) return std::nullopt;
    auto start = ParseSize(item.substr(0, colon));
    auto size = ParseSize(item.substr(colon + 1));
    if (!start || !size || *size == 0) return std::nullopt;
    regions.push_back({static_cast<std::uint32_t>(*start), static_cast<std::uint32_t>(*size)});
  }
  if (regions.empty()) return std::nullopt;
  return regions;
}

std::optional<std::vector<std::uint32_t>> ParseSectorList(const std::string& text) {
  std::vector<std::uint32_t> sectors;
  for (const auto& item : Split(text, ',')) {
    auto n = ParseSize(item);
    if (!n || *n > 0xFFFF) return std::nullopt;
    sectors.push_back(static_cast<std::uint32_t>(*n));
  }
  if (sectors.empty()) return std::nullopt;
  return sectors;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits += c;
  }
  if (digits.empty() || digits.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
  return bytes;
}

std::optional<BootLoaderType> ParseBootLoaderType(const std::string& text) {
  if (text == "harrow") return BootLoaderType::Harrow;
  if (text == "calder") return BootLoaderType::Calder;
  if (text == "bisel") return BootLoaderType::Bisel;
  return std::nullopt;
}

std::optional<PowerOnState> ParsePowerOnState(const std::string& text) {
  if (text == "boot") return PowerOnState::BootLoader;
  if (text == "kernel") return PowerOnState::Kernel;
  if (text == "firmware") return PowerOnState::Firmware;
  return std::nullopt;
}

const char* BootLoaderTypeName(BootLoaderType type) {
  switch (type) {
    case BootLoaderType::Harrow: return "harrow";
    case BootLoaderType::Calder: return "calder";
    case BootLoaderType::Bisel: return "bisel";
  }
  return "unknown";
}

}  // namespace radiosim
