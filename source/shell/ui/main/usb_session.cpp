#include "shell/ui/main/usb_session.h"

#include <cstdio>

#include "engine/core/app_settings.h"
#include "engine/core/job_option_ids.h"
#include "pellwick/pellwick.h"
#include "platform/os_version.h"

namespace {

constexpr std::uint16_t kNoUsbHandle = 0xFFFF;

std::string Format(const char* format, const std::string& text) {
  char line[256];
  std::snprintf(line, sizeof line, format, text.c_str());
  return line;
}

std::string Format(const char* format, int value) {
  char line[256];
  std::snprintf(line, sizeof line, format, value);
  return line;
}

bool UsbSupportedOn(const std::string& name) {
  return name == "Windows 2000" || name == "Windows XP" || name == "Windows Vista" ||
         name == "Windows 98 Second Edition";
}

void FallBackToRs232() {
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 0);
  GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 0);
}

}  // namespace

std::string WindowsVersionName(const WindowsVersion& v) {
  if (v.ntPlatform) {
    if (v.major == 4) return "Windows NT 4.0";
    if (v.major == 5 && v.minor == 0) return "Windows 2000";
    if (v.major == 5 && v.minor == 1) return "Windows XP";
    if (v.major == 6 && v.minor == 0) return "Windows Vista";
    return "Unknown";
  }
  if (v.major != 4) return "Unknown";
  if (v.minor == 0) return "Windows 95";
  if (v.minor == 10)
    return v.servicePack.find('A') != std::string::npos ? "Windows 98 Second Edition" : "Windows 98 First Edition";
  if (v.minor == 90) return "Windows Millenium Edition";
  return "Unknown";
}

WindowsVersion RunningWindowsVersion() {
  const platform::OsVersion os = platform::GetOsVersion();
  return WindowsVersion{os.platformId == platform::kPlatformWin32Nt, static_cast<int>(os.major),
                        static_cast<int>(os.minor), os.servicePackText};
}

void UsbSession::Start(platform::WindowHandle window, const WindowsVersion& version) {
  const std::string name = WindowsVersionName(version);
  if (!UsbSupportedOn(name)) {
    FallBackToRs232();
    log_(Format("USB> Driver not supported on %s", name));
    GetAppSettings().SetAppInt(APP_INT_USB_APP_HANDLE, kNoUsbHandle);
    return;
  }
  int16_t handle = static_cast<int16_t>(kNoUsbHandle);
  int result = PWLInitializeEx();
  const bool loaded = result == PWL_RC_SUCCESS;
  if (loaded) result = PWLRegisterApp(&handle);
  if (!loaded || result != PWL_RC_SUCCESS) {
    if (loaded) PWLTerminateEx(0);  // the driver was loaded for this registration only
    box_(kUsbFallbackBox);
    FallBackToRs232();
    log_(Format("Error> PWLInitialize failed with error code %d", result));
    log_(Format("USB> Driver unsuccessfully initialized on %s", name));
    return;
  }
  handle_ = static_cast<std::uint16_t>(handle);
  result = PWLInitPST();
  if (result != PWL_RC_SUCCESS) {
    PWLDeregisterApp(handle_);
    PWLTerminateEx(handle_);
    handle_ = kNoUsbHandle;
    box_(kUsbFallbackBox);
    FallBackToRs232();
    log_(Format("Error> PWLInitPST failed with error code %d", result));
    log_(Format("USB> Driver unsuccessfully intialized on %s", name));
    return;
  }
  PWLSetAppHandler(handle_, window);
  GetAppSettings().SetAppInt(APP_INT_USB_APP_HANDLE, handle_);
  log_(Format("USB> Driver successfully intialized on %s", name));
  GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 1);
  registered_ = true;
}

void UsbSession::Stop() {
  if (!registered_) return;
  registered_ = false;
  PWLSetAppHandler(handle_, platform::kNoHandle);
  PWLDeregisterApp(handle_);
  const int result = PWLTerminatePST();
  if (result == PWL_RC_SUCCESS) {
    PWLTerminateEx(handle_);
  } else {
    log_(Format("Error> PWLTerminatePST failed with error code %d", result));
  }
  GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 0);
}
