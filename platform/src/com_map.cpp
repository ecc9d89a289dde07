#include "platform/com_map.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTtySPrefix = "/dev/ttyS";
constexpr int kHighestComNumber = 255;

// The value of a text of one to three digits.
std::optional<int> DigitsValue(const std::string& digits) {
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  int n = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The COM number written from the start offset to the end of the text.
std::optional<int> NumberAfter(const std::string& text, std::size_t start) {
  if (start >= text.size()) return std::nullopt;
  auto n = DigitsValue(text.substr(start));
  if (!n || *n < 1 || *n > kHighestComNumber) return std::nullopt;
  return n;
}

bool EntryExists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));  // a link counts even before its target exists
}

fs::path Canonical(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal() : c;
}

std::vector<int> ComEntriesOfFolder() {
  std::vector<int> numbers;
  std::error_code ec;
  for (fs::directory_iterator it(ComDirectory(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("COM", 0) != 0) continue;
    if (auto n = NumberAfter(name, 3)) numbers.push_back(*n);
  }
  return numbers;
}

}  // namespace

std::string ComDirectory() {
  const char* dir = std::getenv(kComDirVariable);
  return dir && *dir ? dir : kDefaultComDir;
}

std::string ComDevicePath(int n) {
  const fs::path entry = fs::path(ComDirectory()) / ("COM" + std::to_string(n));
  if (EntryExists(entry)) return entry.string();
  return kTtySPrefix + std::to_string(n - 1);
}

std::optional<int> ParseComName(const std::string& name) {
  std::string text = name;
  for (const char* prefix : {"\\\\.\\", "//./"}) {
    if (text.rfind(prefix, 0) == 0) text.erase(0, 4);
  }
  if (text.size() < 4) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return std::nullopt;
  }
  return NumberAfter(text, 3);
}

std::string ResolvePortName(const std::string& name) {
  if (auto n = ParseComName(name)) return ComDevicePath(*n);
  return name;
}

std::optional<std::string> MissingComLink(const std::string& name) {
  const std::optional<int> n = ParseComName(name);
  if (!n) return std::nullopt;
  const fs::path entry = fs::path(ComDirectory()) / ("COM" + std::to_string(*n));
  if (EntryExists(entry)) return std::nullopt;
  return entry.string();
}

std::optional<int> ComNumberOfDevice(const std::string& devicePath) {
  const fs::path device = Canonical(devicePath);
  for (int n : ComEntriesOfFolder()) {
    if (Canonical(fs::path(ComDirectory()) / ("COM" + std::to_string(n))) == device) return n;
  }
  const std::string d = device.string();
  if (d.rfind(kTtySPrefix, 0) == 0) {
    if (auto k = DigitsValue(d.substr(std::string(kTtySPrefix).size()))) {
      const int n = *k + 1;
      // COMn is that device only when the folder does not map COMn elsewhere.
      if (n <= kHighestComNumber && Canonical(ComDevicePath(n)) == device) return n;
    }
  }
  return std::nullopt;
}

std::vector<int> EnumerateComPorts() {
  std::vector<int> numbers = ComEntriesOfFolder();
  std::error_code ec;
  for (fs::directory_iterator it("/dev", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("ttyS", 0) != 0) continue;
    if (auto k = DigitsValue(name.substr(4)); k && *k + 1 <= kHighestComNumber) numbers.push_back(*k + 1);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

}  // namespace platform
