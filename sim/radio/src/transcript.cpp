#include "radiosim/transcript.h"

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
  // Every byte the radio moves is written here, so no formatted output.
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  if (bytes.empty()) return text;
  text.resize(bytes.size() * 3 - 1, ' ');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[i * 3] = kDigits[bytes[i] >> 4];
    text[i * 3 + 1] = kDigits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace radiosim
