#include "platform/file_finder.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

namespace platform {

bool MatchesWildcard(const std::string& name, const std::string& pattern) {
  // No escapes: a backslash is an ordinary character in the system's patterns.
  return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) == 0;
}

std::vector<FoundFile> FindFiles(const std::string& pathPattern) {
  const auto slash = pathPattern.rfind('/');
  std::string folder = slash == std::string::npos ? "." : pathPattern.substr(0, slash + 1);
  if (folder.empty()) folder = "/";
  std::string pattern = slash == std::string::npos ? pathPattern : pathPattern.substr(slash + 1);
  if (pattern.empty()) pattern = "*";

  std::vector<FoundFile> found;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchesWildcard(name, pattern)) continue;
    struct stat info {};
    const std::string full = folder + (folder.back() == '/' ? "" : "/") + name;
    const bool isDir = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    found.push_back(FoundFile{name, isDir});
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
  return found;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace platform
