#pragma once
// Lists the entries of a folder whose names match a wildcard pattern, as the
// system's file search does: '*' matches any run of characters, '?' any one
// character, letters match without regard to case. The entries "." and ".."
// are never listed. Results are sorted by name, without regard to case.

#include <string>
#include <vector>

namespace platform {

struct FoundFile {
  std::string name;  // without the folder
  bool isDirectory = false;
};

// The entries of folder matching pattern (an empty pattern matches every
// name); empty when the folder cannot be read.
std::vector<FoundFile> FindFiles(const std::string& folder, const std::string& pattern);

// True when name matches pattern under the rules above (an empty pattern
// matches every name).
bool WildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace platform
