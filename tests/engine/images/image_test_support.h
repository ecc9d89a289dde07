#pragma once
// Helpers shared by the image codec tests: a temporary folder, whole-file
// reads and writes, and an S-record line builder of the tests' own.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace images_test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-images-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) std::abort();
    path_ = name.data();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }
  // Names of the files in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

inline std::vector<std::uint8_t> Ramp(std::size_t length, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// One record line, without its line end, with a correct checksum unless
// checksumDelta moves it.
inline std::string Line(int type, std::uint32_t address, const std::vector<std::uint8_t>& data,
                        int checksumDelta = 0) {
  const int addressBytes = type == 0 ? 0 : (type == 1 || type == 9) ? 2 : (type == 2 || type == 8) ? 3 : 4;
  const int count = addressBytes + static_cast<int>(data.size()) + 1;
  unsigned sum = static_cast<unsigned>(count);
  for (int shift = 0; shift < 32; shift += 8) sum += (address >> shift) & 0xFF;
  for (auto b : data) sum += b;
  char text[16];
  std::string line = "S" + std::to_string(type);
  std::snprintf(text, sizeof text, "%02X", count);
  line += text;
  for (int i = addressBytes - 1; i >= 0; --i) {
    std::snprintf(text, sizeof text, "%02X", (address >> (8 * i)) & 0xFF);
    line += text;
  }
  for (auto b : data) {
    std::snprintf(text, sizeof text, "%02X", b);
    line += text;
  }
  std::snprintf(text, sizeof text, "%02X", (~sum + static_cast<unsigned>(checksumDelta)) & 0xFF);
  return line + text;
}

}  // namespace images_test
