#pragma once
// A device of the maker that the user may not open, or whose interface
// another program holds, is said once per plug-in, in plain words: on
// standard error at once, and in the program's log as a log line posted to
// the USB-monitor window (the program's main window), now or as soon as that
// window is registered.

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace usb_driver {

// The log line's message number and its payload, a std::string.
inline constexpr std::uint32_t kLogLineMessage = 0x8082;

std::string NoPermissionText(std::uint16_t device, const std::string& devnode);
std::string InUseText(std::uint16_t device, const std::string& devnode);

class AccessReports {
 public:
  using ErrorOutput = std::function<void(const std::string& line)>;
  explicit AccessReports(ErrorOutput errorOutput = {});

  // `key` names one plug-in of one device. Says it once; true when it did.
  bool NoPermission(const std::string& key, std::uint16_t device, const std::string& devnode,
                    std::uint32_t window);
  // The claim of an interface found it held by another program.
  bool InUse(const std::string& key, std::uint16_t device, const std::string& devnode, std::uint32_t window);
  // Posts what no window has heard yet.
  void WindowRegistered(std::uint32_t window);
  // The device went: a new plug-in is said again.
  void Forget(const std::string& key);

 private:
  bool PostLine(std::uint32_t window, const std::string& line);
  // Says the line once for the key; true when it did.
  bool Report(const std::string& key, const std::string& line, std::uint32_t window);

  std::mutex mutex_;
  ErrorOutput errorOutput_;
  std::set<std::string> reported_;
  std::vector<std::string> pending_;
};

}  // namespace usb_driver
