#include "image_file.h"

#include <fstream>
#include <functional>
#include <iterator>

namespace ambrel {
namespace {

// Address bytes of the data and end records by type digit; 0 for others.
int AddressBytes(char type) {
  switch (type) {
    case '1': case '9': return 2;
    case '2': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
  }
}

bool HexBytesValue(const std::string& text, std::size_t at, std::size_t bytes, std::uint32_t& value) {
  value = 0;
  for (std::size_t i = 0; i < bytes * 2; ++i) {
    const int digit = at + i < text.size() ? HexDigitValue(text[at + i]) : -1;
    if (digit < 0) return false;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return true;
}

// Reads the next line without its line end; false at the end of the file or
// for a line that is too long.
enum class LineResult { Line, End, Bad };
LineResult ReadLine(std::istream& in, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = in.get()) != std::char_traits<char>::eof()) {
    any = true;
    if (c == '\n') break;
    if (line.size() > kMaxSrecLine) return LineResult::Bad;
    line.push_back(static_cast<char>(c));
  }
  if (!any) return in.bad() ? LineResult::Bad : LineResult::End;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line.size() > kMaxSrecLine ? LineResult::Bad : LineResult::Line;
}

// Calls `onData` for every data record up to the end record; false on a
// bad line or a read error.
bool ForEachSrecData(const std::string& path, const std::function<bool(const SrecLine&)>& onData) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  for (;;) {
    const LineResult result = ReadLine(in, text);
    if (result == LineResult::End) return true;
    if (result == LineResult::Bad) return false;
    if (text.empty()) continue;
    const std::optional<SrecLine> line = ParseSrecLine(text);
    if (!line) return false;
    if (line->kind == SrecLine::End) return true;
    if (line->kind == SrecLine::Data && !onData(*line)) return false;
  }
}

std::optional<std::uintmax_t> BinarySize(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const auto size = in.tellg();
  if (size < 0) return std::nullopt;
  return static_cast<std::uintmax_t>(size);
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<SrecLine> ParseSrecLine(const std::string& line) {
  if (line.size() < 2 || line[0] != 'S') return std::nullopt;
  const char type = line[1];
  if (type == '0') return SrecLine{SrecLine::Header, 0, {}};
  const int addressBytes = AddressBytes(type);
  if (addressBytes == 0) return std::nullopt;
  std::uint32_t count = 0;
  if (!HexBytesValue(line, 2, 1, count)) return std::nullopt;
  if (count < static_cast<std::uint32_t>(addressBytes) + 1) return std::nullopt;
  if (line.size() < 4 + 2 * std::size_t{count}) return std::nullopt;
  SrecLine record{type >= '7' ? SrecLine::End : SrecLine::Data, 0, {}};
  if (!HexBytesValue(line, 4, static_cast<std::size_t>(addressBytes), record.address)) return std::nullopt;
  const std::size_t dataLength = count - static_cast<std::size_t>(addressBytes) - 1;
  const std::size_t dataAt = 4 + 2 * static_cast<std::size_t>(addressBytes);
  for (std::size_t i = 0; i < dataLength; ++i) {
    std::uint32_t value = 0;
    if (!HexBytesValue(line, dataAt + 2 * i, 1, value)) return std::nullopt;
    record.data.push_back(static_cast<std::uint8_t>(value));
  }
  std::uint32_t checksum = 0;
  if (!HexBytesValue(line, dataAt + 2 * dataLength, 1, checksum)) return std::nullopt;
  return record;
}

bool CanOpenImageFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in && in.peek() != std::char_traits<char>::eof();
}

ImageFileType ResolveImageFileType(ImageFileType type, const std::string& path) {
  if (type != ImageFileType::Detect) return type;
  std::ifstream in(path, std::ios::binary);
  if (!in || in.peek() != 'S') return ImageFileType::Binary;
  std::string first;
  if (ReadLine(in, first) != LineResult::Line) return ImageFileType::Binary;
  return ParseSrecLine(first) ? ImageFileType::SRecord : ImageFileType::Binary;
}

std::optional<ImageLimits> ScanImageFile(ImageFileType type, const std::string& path) {
  if (ResolveImageFileType(type, path) == ImageFileType::Binary) {
    const std::optional<std::uintmax_t> size = BinarySize(path);
    if (!size || *size == 0 || *size > 0x100000000ull) return std::nullopt;
    return ImageLimits{0, static_cast<std::uint32_t>(*size - 1)};
  }
  std::uint64_t low = UINT64_MAX;
  std::uint64_t high = 0;
  const bool read = ForEachSrecData(path, [&](const SrecLine& line) {
    if (line.data.empty()) return true;
    const std::uint64_t last = std::uint64_t{line.address} + line.data.size() - 1;
    if (last > 0xFFFFFFFFull) return false;
    if (line.address < low) low = line.address;
    if (last > high) high = last;
    return true;
  });
  if (!read || low == UINT64_MAX) return std::nullopt;
  return ImageLimits{static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(high)};
}

bool LoadImageFile(ImageFileType type, const std::string& path, ImageBuffer& image) {
  const std::uint64_t end = std::uint64_t{image.adjustedLow} + image.size;
  if (ResolveImageFileType(type, path) == ImageFileType::Binary) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::uint32_t offset = 0;
    for (std::istreambuf_iterator<char> it(in), last; it != last; ++it, ++offset) {
      if (offset < image.adjustedLow || offset >= end) return false;
      image.Put(offset, static_cast<std::uint8_t>(*it));
    }
    return !in.bad() && offset > 0;
  }
  return ForEachSrecData(path, [&](const SrecLine& line) {
    for (std::size_t i = 0; i < line.data.size(); ++i) {
      const std::uint64_t offset = std::uint64_t{line.address} + i;
      if (offset < image.adjustedLow || offset >= end) return false;
      image.Put(static_cast<std::uint32_t>(offset), line.data[i]);
    }
    return true;
  });
}

}  // namespace ambrel
