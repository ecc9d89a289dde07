#pragma once
// Helpers for the serial port tests: a temporary folder that is removed
// again, and a clock for time-out measurements.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace serial_testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-serial-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Points the COM map at a folder for as long as it lives.
class ComDirOverride {
 public:
  explicit ComDirOverride(const std::string& dir) { ::setenv("QUILLON_COM_DIR", dir.c_str(), 1); }
  ~ComDirOverride() { ::unsetenv("QUILLON_COM_DIR"); }
  ComDirOverride(const ComDirOverride&) = delete;
  ComDirOverride& operator=(const ComDirOverride&) = delete;
};

class Stopwatch {
 public:
  long long ElapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace serial_testing
