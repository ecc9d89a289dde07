#pragma once
// Helpers for the link-layer tests: a radio end on a pseudo-terminal linked
// as a COM port into a folder of the test's own, a count of open
// descriptors, and a stopwatch.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/pseudo_terminal.h"

namespace link_testing {

inline int OpenDescriptorCount() {
  int n = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec)) ++n;
  return n;
}

class Stopwatch {
 public:
  long long ElapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A pseudo-terminal linked as COM<n> into a fresh folder that the COM map reads.
class LinkedTerminal {
 public:
  explicit LinkedTerminal(int comNumber = 5) : comNumber_(comNumber) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-link-XXXXXX").string();
    if (::mkdtemp(pattern.data())) folder_ = pattern;
    ::setenv("QUILLON_COM_DIR", folder_.c_str(), 1);
    ok_ = !folder_.empty() && pty_.Open() && pty_.LinkAs(folder_, comNumber_);
  }
  ~LinkedTerminal() {
    pty_.Close();
    ::unsetenv("QUILLON_COM_DIR");
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  LinkedTerminal(const LinkedTerminal&) = delete;
  LinkedTerminal& operator=(const LinkedTerminal&) = delete;

  bool ok() const { return ok_; }
  // The name as the device objects format it: \\.\COMn
  std::string PortName() const { return "\\\\.\\COM" + std::to_string(comNumber_); }
  const std::string& folder() const { return folder_; }
  platform::PseudoTerminal& radio() { return pty_; }

 private:
  int comNumber_;
  std::string folder_;
  platform::PseudoTerminal pty_;
  bool ok_ = false;
};

}  // namespace link_testing
