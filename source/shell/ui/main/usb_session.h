#pragma once
// The program's registration with the USB communication library: made when
// the configuration has been read, undone when the main window closes.
// Every failure falls back to RS232 and never stops the program; a
// registration that fails part-way undoes the steps it had completed.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/target_registry.h"

// The name of a Windows version as the program prints it.
struct WindowsVersion {
  bool ntPlatform = true;  // false: the 9x platform
  int major = 5;
  int minor = 1;
  std::string servicePack;
};
std::string WindowsVersionName(const WindowsVersion& version);
// The version this program runs as, as the platform layer reports it.
WindowsVersion RunningWindowsVersion();

class UsbSession {
 public:
  using LogLine = std::function<void(const std::string&)>;
  using ShowBox = std::function<void(const std::string&)>;

  UsbSession(LogLine log, ShowBox box) : log_(std::move(log)), box_(std::move(box)) {}

  // Registers the window for device changes on success. Sets option 0 and
  // application integers 2 and 3 as the outcome says.
  void Start(platform::WindowHandle window, const WindowsVersion& version = RunningWindowsVersion());
  // Deregisters and terminates when the registration had succeeded.
  void Stop();
  bool Registered() const { return registered_; }
  std::uint16_t Handle() const { return handle_; }

 private:
  LogLine log_;
  ShowBox box_;
  bool registered_ = false;
  std::uint16_t handle_ = 0xFFFF;
};

inline constexpr const char* kUsbFallbackBox = "USB initialization failed. Communications will default to RS232";
