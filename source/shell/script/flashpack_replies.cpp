#include "shell/script/flashpack_replies.h"

#include <cstdio>

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

std::string FlashpackName(const lumbrapack::PackRecord& record) {
  constexpr std::size_t kUnits = sizeof record.name / 2;
  std::string name;
  for (std::size_t i = 0; i < kUnits; ++i) {
    std::uint32_t unit = (std::uint32_t{record.name[2 * i]} << 8) | record.name[2 * i + 1];
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < kUnits) {
      const std::uint32_t low = (std::uint32_t{record.name[2 * i + 2]} << 8) | record.name[2 * i + 3];
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        unit = 0xFFFD;
      }
    } else if (unit >= 0xD800 && unit < 0xE000) {
      unit = 0xFFFD;  // a lone half of a pair
    }
    AppendUtf8(name, unit);
  }
  return name;
}

std::string FlashpackFamily(std::uint32_t type) {
  switch (type) {
    case 1:
      return "Language";
    case 2:
      return "Font";
    case 3:
      return "Theme";
    default:
      return std::to_string(type);
  }
}

std::string FlashpackDetailsLine(CPackManager& packs) {
  std::string line;
  const std::uint16_t count = packs.m_packCount.load();
  for (std::uint16_t i = 1; i <= count && i != 0; ++i) {
    lumbrapack::PackRecord record{};
    packs.PackInfo(i, &record);
    if (i > 1) line += ',';
    line += FlashpackName(record);
    line += ',' + FlashpackFamily(record.type);
    char text[96];
    std::snprintf(text, sizeof text, ",%02X.%02d.%02d.%02d,%c%02X.%02d.%02d,%u", record.version[0],
                  record.version[1], record.version[2], record.version[3], record.buildLetter, record.build[0],
                  record.build[1], record.build[2], static_cast<unsigned>((std::uint64_t{record.size} + 512) / 1024));
    line += text;
  }
  return line;
}

std::string FlashpackStatsLine(CPackManager& packs) {
  const unsigned long total = packs.m_totalMemory.load();
  const unsigned long free = packs.FreeMemory();
  const unsigned long used = total >= free ? total - free : 0;
  return std::to_string(total) + "," + std::to_string(used) + "," + std::to_string(free);
}
