#pragma once
// Finds the entries of one folder whose names match a wildcard pattern
// ("*" any run of characters, "?" one character), compared without regard
// to letter case, as the system's file finder did. Entries come sorted by
// name. "." and ".." are never listed.

#include <string>
#include <vector>

namespace platform {

struct FoundFile {
  std::string name;       // the entry's name, without folder
  bool isDirectory = false;
};

// pathPattern is a folder followed by a pattern ("/work/*.qlp"); a pattern
// without a folder searches the current directory; an empty pattern or one
// that ends in "/" lists every entry. A folder that cannot be read gives
// no entries.
std::vector<FoundFile> FindFiles(const std::string& pathPattern);

// True when the name matches the wildcard pattern, ignoring letter case.
bool MatchesWildcard(const std::string& name, const std::string& pattern);

// True when the file exists and no write bit is set in its mode (the system
// meaning of read-only; a process running as root would ignore it).
bool IsReadOnlyFile(const std::string& path);

}  // namespace platform
