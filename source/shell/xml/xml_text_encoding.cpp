#include "shell/xml/xml_text_encoding.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::size_t kSampleSize = 10000;
constexpr char32_t kReplacement = 0xFFFD;

bool HasMark(std::string_view bytes, unsigned char first, unsigned char second) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == first &&
         static_cast<unsigned char>(bytes[1]) == second;
}

// Zero bytes at even and at odd positions of the sample.
struct ZeroCounts {
  std::size_t even = 0;
  std::size_t odd = 0;
  std::size_t pairs = 0;
};

ZeroCounts CountZeros(std::string_view sample) {
  ZeroCounts counts;
  for (std::size_t i = 0; i + 1 < sample.size(); i += 2) {
    ++counts.pairs;
    if (sample[i] == '\0') ++counts.even;
    if (sample[i + 1] == '\0') ++counts.odd;
  }
  return counts;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  auto unitAt = [&](std::size_t i) -> char16_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  std::string out;
  out.reserve(bytes.size() / 2);
  const std::size_t units = bytes.size() / 2;
  for (std::size_t u = 0; u < units; ++u) {
    const char16_t unit = unitAt(2 * u);
    if (unit >= 0xD800 && unit <= 0xDBFF && u + 1 < units) {
      const char16_t low = unitAt(2 * (u + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00), out);
        ++u;
        continue;
      }
    }
    AppendUtf8((unit >= 0xD800 && unit <= 0xDFFF) ? kReplacement : static_cast<char32_t>(unit), out);
  }
  return out;
}

}  // namespace

XmlTextEncoding DetectXmlTextEncoding(std::string_view bytes) {
  if (HasMark(bytes, 0xFF, 0xFE)) return XmlTextEncoding::Utf16LittleEndian;
  if (HasMark(bytes, 0xFE, 0xFF)) return XmlTextEncoding::Utf16BigEndian;
  const ZeroCounts zeros = CountZeros(bytes.substr(0, std::min(bytes.size(), kSampleSize)));
  if (zeros.pairs == 0) return XmlTextEncoding::Utf8;
  // More than half of one side zero, and the other side never zero.
  if (zeros.odd * 2 > zeros.pairs && zeros.even == 0) return XmlTextEncoding::Utf16LittleEndian;
  if (zeros.even * 2 > zeros.pairs && zeros.odd == 0) return XmlTextEncoding::Utf16BigEndian;
  return XmlTextEncoding::Utf8;
}

std::string XmlTextToUtf8(std::string bytes) {
  const XmlTextEncoding encoding = DetectXmlTextEncoding(bytes);
  if (encoding == XmlTextEncoding::Utf8) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);  // a UTF-8 byte-order mark
    return bytes;
  }
  std::string_view units(bytes);
  if (HasMark(units, 0xFF, 0xFE) || HasMark(units, 0xFE, 0xFF)) units.remove_prefix(2);
  return Utf16ToUtf8(units, encoding == XmlTextEncoding::Utf16BigEndian);
}
