#include "shell/update/srecord_lines.h"

#include <cctype>
#include <cstdio>
#include <fstream>

bool CSRecordLines::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  lines_.clear();
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
  }
  return true;
}

bool CSRecordLines::IsDataRecord(std::size_t index) const {
  const std::string& line = lines_[index];
  if (line.size() < 14 || line.compare(0, 2, "S3") != 0) return false;
  const auto count = ParseHex(line.substr(2, 2));
  if (!count || *count < 5) return false;
  return line.size() >= 4 + 2 * static_cast<std::size_t>(*count) && ParseHex(line.substr(4, 8)).has_value();
}

std::optional<std::uint32_t> CSRecordLines::Address(std::size_t index) const {
  if (!IsDataRecord(index)) return std::nullopt;
  return ParseHex(lines_[index].substr(4, 8));
}

std::string CSRecordLines::AddressField(std::size_t index) const {
  return IsDataRecord(index) ? lines_[index].substr(4, 8) : std::string();
}

std::optional<std::size_t> CSRecordLines::DataLength(std::size_t index) const {
  if (!IsDataRecord(index)) return std::nullopt;
  return static_cast<std::size_t>(*ParseHex(lines_[index].substr(2, 2))) - 5;
}

std::string CSRecordLines::DataText(std::size_t index, std::size_t offset, std::size_t count) const {
  const auto length = DataLength(index);
  if (!length || offset > *length || 2 * (*length - offset) < count) return {};
  return lines_[index].substr(12 + 2 * offset, count);
}

std::optional<std::string> CSRecordLines::DataTextAcross(std::size_t index, std::size_t offset,
                                                         std::size_t chars) const {
  const auto length = DataLength(index);
  if (!length || offset > *length) return std::nullopt;
  const std::size_t here = std::min(chars, 2 * (*length - offset));
  std::string text = DataText(index, offset, here);
  if (here == chars) return text;
  if (index + 1 >= lines_.size()) return std::nullopt;
  const std::string rest = DataText(index + 1, 0, chars - here);
  if (rest.empty()) return std::nullopt;
  return text + rest;
}

std::optional<std::size_t> CSRecordLines::FindInData(std::size_t index, const std::string& marker,
                                                     std::size_t from) const {
  const auto length = DataLength(index);
  if (!length) return std::nullopt;
  const std::string& line = lines_[index];
  for (std::size_t b = from; 2 * b + marker.size() <= 2 * *length; ++b) {
    if (line.compare(12 + 2 * b, marker.size(), marker) == 0) return b;
  }
  return std::nullopt;
}

std::string Hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

std::optional<std::uint32_t> ParseHex(const std::string& digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}
