#pragma once
// COMn as a user meets it with a port that is not there: the COM map's
// folder holds COMn as a link to a device that does not exist.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/temp_folder.h"

class ComPointingNowhere {
 public:
  explicit ComPointingNowhere(int comNumber) {
    folder_ = platform::MakeTemporaryFolder("quillon-nowhere-");
    ::setenv("QUILLON_COM_DIR", folder_.c_str(), 1);
    std::error_code ec;
    std::filesystem::create_symlink(folder_ + "/no-such-device", folder_ + "/COM" + std::to_string(comNumber), ec);
    ready_ = !folder_.empty() && !ec;
  }
  ~ComPointingNowhere() {
    const char* current = std::getenv("QUILLON_COM_DIR");
    if (current != nullptr && folder_ == current) ::unsetenv("QUILLON_COM_DIR");
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  ComPointingNowhere(const ComPointingNowhere&) = delete;
  ComPointingNowhere& operator=(const ComPointingNowhere&) = delete;

  bool ready() const { return ready_; }

 private:
  std::string folder_;
  bool ready_ = false;
};
