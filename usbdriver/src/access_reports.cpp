#include "access_reports.h"

#include <cstdio>

#include "platform/lasting_payloads.h"
#include "platform/target_registry.h"

namespace usb_driver {

std::string NoPermissionText(std::uint16_t device, const std::string& devnode) {
  return "USB" + std::to_string(device) + "> ERROR: no permission to open USB device " + devnode +
         " \u2014 install the udev rule";
}

std::string InUseText(std::uint16_t device, const std::string& devnode) {
  return "USB" + std::to_string(device) + "> ERROR: USB device " + devnode +
         " is in use by another program \u2014 close the other program (another vexaload, a modem manager)";
}

AccessReports::AccessReports(ErrorOutput errorOutput) : errorOutput_(std::move(errorOutput)) {
  if (!errorOutput_) {
    errorOutput_ = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  }
}

bool AccessReports::PostLine(std::uint32_t window, const std::string& line) {
  if (window == platform::kNoHandle) return false;
  platform::Message message(kLogLineMessage, 0, 0);
  // The platform layer owns the text, so that it outlives this library.
  message.payload = platform::LastingText(line);
  return platform::PostWindowMessage(window, std::move(message));
}

bool AccessReports::Report(const std::string& key, const std::string& line, std::uint32_t window) {
  std::lock_guard lock(mutex_);
  if (!reported_.insert(key).second) return false;
  errorOutput_(line);
  if (!PostLine(window, line)) pending_.push_back(line);
  return true;
}

bool AccessReports::NoPermission(const std::string& key, std::uint16_t device, const std::string& devnode,
                                 std::uint32_t window) {
  return Report(key + " permission", NoPermissionText(device, devnode), window);
}

bool AccessReports::InUse(const std::string& key, std::uint16_t device, const std::string& devnode,
                          std::uint32_t window) {
  return Report(key + " in use", InUseText(device, devnode), window);
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
  reported_.erase(key + " permission");
  reported_.erase(key + " in use");
}

}  // namespace usb_driver
