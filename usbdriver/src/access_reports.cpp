#include "access_reports.h"

#include <cstdio>
#include <memory>

#include "platform/target_registry.h"

namespace usb_driver {

std::string NoPermissionText(std::uint16_t device, const std::string& devnode) {
  return "USB" + std::to_string(device) + "> ERROR: no permission to open USB device " + devnode +
         " \u2014 install the udev rule";
}

AccessReports::AccessReports(ErrorOutput errorOutput) : errorOutput_(std::move(errorOutput)) {
  if (!errorOutput_) {
    errorOutput_ = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  }
}

bool AccessReports::PostLine(std::uint32_t window, const std::string& line) {
  if (window == platform::kNoHandle) return false;
  platform::Message message(kLogLineMessage, 0, 0);
  message.payload = platform::OwnedPayload(std::make_unique<std::string>(line));
  return platform::PostWindowMessage(window, std::move(message));
}

bool AccessReports::NoPermission(const std::string& key, std::uint16_t device, const std::string& devnode,
                                 std::uint32_t window) {
  std::lock_guard lock(mutex_);
  if (!reported_.insert(key).second) return false;
  const std::string line = NoPermissionText(device, devnode);
  errorOutput_(line);
  if (!PostLine(window, line)) pending_.push_back(line);
  return true;
}

void AccessReports::WindowRegistered(std::uint32_t window) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> unsent;
  for (auto& line : pending_) {
    if (!PostLine(window, line)) unsent.push_back(std::move(line));
  }
  pending_ = std::move(unsent);
}

void AccessReports::Forget(const std::string& key) {
  std::lock_guard lock(mutex_);
  reported_.erase(key);
}

}  // namespace usb_driver
