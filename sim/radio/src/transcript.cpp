#include "radiosim/transcript.h"

#include <cstdio>

namespace radiosim {

bool Transcript::OpenFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  file_.open(path, std::ios::out | std::ios::app);
  return file_.is_open();
}

void Transcript::Add(const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(line);
  if (file_.is_open()) {
    file_ << line << '\n';
    file_.flush();
  }
}

std::vector<std::string> Transcript::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> Transcript::LinesStartingWith(const std::string& prefix) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> found;
  for (const auto& line : lines_)
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  return found;
}

std::size_t Transcript::Count(const std::string& prefix) const {
  return LinesStartingWith(prefix).size();
}

void Transcript::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

std::string Transcript::Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += digits;
  }
  return text;
}

}  // namespace radiosim
