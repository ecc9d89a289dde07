#pragma once
// The readers under test read files: each fuzz input is written to one
// temporary file per process, which is removed when the process ends.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzz_support {

class ScratchFile {
 public:
  explicit ScratchFile(const char* suffix) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-fuzz-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) std::abort();
    folder_ = name.data();
    path_ = folder_ + "/input" + suffix;
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  // Replaces the file's contents with the bytes given.
  const std::string& Hold(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path_;
  }
  const std::string& Path() const { return path_; }
  std::string Sibling(const char* name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace fuzz_support
