#pragma once
// Sets or clears the variable that selects the USB driver library, and puts
// it back as it was.

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/dynamic_library.h"

namespace usbdrivertest {

class DriverSelection {
 public:
  explicit DriverSelection(const std::string& value) {
    if (const char* old = std::getenv(platform::kUsbDriverFolderVariable)) old_ = old;
    if (value.empty()) unsetenv(platform::kUsbDriverFolderVariable);
    else setenv(platform::kUsbDriverFolderVariable, value.c_str(), 1);
  }
  ~DriverSelection() {
    if (old_) setenv(platform::kUsbDriverFolderVariable, old_->c_str(), 1);
    else unsetenv(platform::kUsbDriverFolderVariable);
  }
  DriverSelection(const DriverSelection&) = delete;
  DriverSelection& operator=(const DriverSelection&) = delete;

 private:
  std::optional<std::string> old_;
};

}  // namespace usbdrivertest
