#include "platform/file_finder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace platform {
namespace {

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool LessIgnoringCase(const FoundFile& a, const FoundFile& b) {
  const auto mismatch = std::mismatch(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                      [](char x, char y) { return Fold(x) == Fold(y); });
  if (mismatch.first == a.name.end() || mismatch.second == b.name.end()) {
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;  // equal but for case: a stable, total order
  }
  const auto x = static_cast<unsigned char>(Fold(*mismatch.first));
  const auto y = static_cast<unsigned char>(Fold(*mismatch.second));
  if (x != y) return x < y;
  return a.name < b.name;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern.empty()) return true;
  // Iterative match with one backtracking point for the last '*'.
  std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<FoundFile> FindFiles(const std::string& folder, const std::string& pattern) {
  std::vector<FoundFile> found;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return found;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!WildcardMatch(pattern, name)) continue;
    found.push_back({name, IsDirectory(prefix + name)});
  }
  std::sort(found.begin(), found.end(), LessIgnoringCase);
  return found;
}

}  // namespace platform
