#pragma once
// Texts handed out by address: each distinct text is kept once for the life
// of the process, so an address a caller got stays valid after the device
// it named is gone.

#include <mutex>
#include <set>
#include <string>

namespace kovrin {

class PathPool {
 public:
  const char* Keep(const std::string& text) {
    std::lock_guard lock(mutex_);
    return texts_.insert(text).first->c_str();
  }

 private:
  std::mutex mutex_;
  std::set<std::string> texts_;
};

}  // namespace kovrin
