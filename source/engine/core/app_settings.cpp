#include "engine/core/app_settings.h"

#include <algorithm>

int CAppSettings::GetAppInt(int id) const {
  std::lock_guard guard(appLock_);
  switch (id) {
    case APP_INT_REVERSE_FLASH_RECORD_LENGTH: return reverseFlashRecordLength_;
    case APP_INT_USB_APP_HANDLE: return usbAppHandle_;
    case APP_INT_USB_AVAILABLE: return usbAvailable_;
    case APP_INT_ORVIX_RECORD_LENGTH: return orvixRecordLength_;
    case APP_INT_REMOTE_PEER_CONNECTED: return remotePeerConnected_;
    case APP_INT_MAX_RECENT_FILES: return maxRecentFiles_;
    default: return 0;
  }
}

void CAppSettings::SetAppInt(int id, int value) {
  std::lock_guard guard(appLock_);
  switch (id) {
    case APP_INT_REVERSE_FLASH_RECORD_LENGTH:
      reverseFlashRecordLength_ = static_cast<std::uint8_t>(value);
      break;
    case APP_INT_USB_APP_HANDLE: usbAppHandle_ = static_cast<std::uint16_t>(value); break;
    case APP_INT_USB_AVAILABLE: usbAvailable_ = value; break;
    case APP_INT_ORVIX_RECORD_LENGTH: orvixRecordLength_ = static_cast<std::uint8_t>(value); break;
    case APP_INT_REMOTE_PEER_CONNECTED: remotePeerConnected_ = value; break;
    case APP_INT_MAX_RECENT_FILES: maxRecentFiles_ = std::min(value, kMaxRecentFilesLimit); break;
    default: break;
  }
}

std::string CAppSettings::GetAppString(int id, int index) const {
  std::lock_guard guard(appLock_);
  switch (id) {
    case APP_STRING_WORKING_DIRECTORY: return workingDirectory_;
    case APP_STRING_WINDOW_TITLE: return windowTitle_;
    case APP_STRING_REMOTE_ADDRESS: return remoteAddress_;
    case APP_STRING_RECENT_FILE: {
      if (index < 0 || index >= maxRecentFiles_) return {};
      if (static_cast<std::size_t>(index) >= recentFiles_.size()) return {};
      return *std::next(recentFiles_.begin(), index);
    }
    default: return {};
  }
}

void CAppSettings::SetAppString(int id, const std::string& value) {
  std::lock_guard guard(appLock_);
  switch (id) {
    case APP_STRING_WORKING_DIRECTORY: workingDirectory_ = value; break;
    case APP_STRING_WINDOW_TITLE: windowTitle_ = value; break;
    case APP_STRING_REMOTE_ADDRESS: remoteAddress_ = value; break;
    case APP_STRING_RECENT_FILE:
      recentFiles_.remove(value);
      recentFiles_.push_front(value);
      break;
    default: break;
  }
}

void CAppSettings::SaveOptionsSnapshot() {
  // CopyParams holds the record's lock while it reads; saved_ belongs to
  // the application values.
  JobOptionValues current = CopyParams();
  std::lock_guard guard(appLock_);
  saved_ = std::move(current);
  hasSnapshot_ = true;
}

bool CAppSettings::RestoreOptionsSnapshot() {
  JobOptionValues saved;
  {
    std::lock_guard guard(appLock_);
    if (!hasSnapshot_) return false;
    saved = saved_;
  }
  SetAllParams(saved);
  return true;
}

CAppSettings& GetAppSettings() {
  static CAppSettings settings;
  return settings;
}
