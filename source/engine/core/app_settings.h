#pragma once
// The program-wide settings: the options of CJobOptions plus the
// application values (working directory, window title, recent files and a
// few integers by id) and one saved copy of the options for the script
// commands SAVE_OPTIONS and RESTORE_OPTIONS.
//
// The options take the record's lock; the application values take the
// application lock. The snapshot takes the record's lock too, so it never
// sees an option half written by another thread.

#include <cstdint>
#include <list>
#include <mutex>
#include <string>

#include "engine/core/job_options.h"

// Application integer ids (GetAppInt / SetAppInt).
enum AppIntId : int {
  APP_INT_REVERSE_FLASH_RECORD_LENGTH = 1,  // u8, S-record length of read-back files, initially 21
  APP_INT_USB_APP_HANDLE = 2,               // u16, the USB library's handle of this program
  APP_INT_USB_AVAILABLE = 3,                // 1 once USB communication is initialised
  APP_INT_ORVIX_RECORD_LENGTH = 4,          // u8, S-record length of GPS-chip read-back files, initially 21
  APP_INT_REMOTE_PEER_CONNECTED = 5,
  APP_INT_MAX_RECENT_FILES = 7,             // initially 6, never above 10
};

// Application string ids (GetAppString / SetAppString).
enum AppStringId : int {
  APP_STRING_WORKING_DIRECTORY = 0,
  APP_STRING_WINDOW_TITLE = 6,
  APP_STRING_RECENT_FILE = 8,
  // The one local address the remote-control port listens on (the command
  // line's -remote_address); empty: every address.
  APP_STRING_REMOTE_ADDRESS = 9,
};

inline constexpr const char* kDefaultWindowTitle = "Vexa20 Flash";
inline constexpr int kMaxRecentFilesLimit = 10;

class CAppSettings : public CJobOptions {
 public:
  CAppSettings() = default;
  CAppSettings(const CAppSettings&) = delete;
  CAppSettings& operator=(const CAppSettings&) = delete;
  ~CAppSettings() override = default;

  // Ids 1 to 5 and 7; any other id gives 0 (get) or is ignored (set).
  // Setting id 7 to n stores min(n, 10).
  int GetAppInt(int id) const;
  void SetAppInt(int id, int value);

  // Id 0 the working directory, id 6 the window title, id 9 the remote
  // listening address, id 8 the recent file
  // at position index (most recent first), given only when index is below
  // the maximum number of recent files and the list has such an entry;
  // otherwise an empty string.
  std::string GetAppString(int id, int index = 0) const;
  // Ids 0, 6 and 9 replace the string; id 8 removes every entry equal to value
  // from the recent files and puts value at the head (the list is not
  // shortened here).
  void SetAppString(int id, const std::string& value);

  // Saves the settable options (not the baud rate nor the port name, which
  // follow from the indices) and puts them back. Restoring before anything
  // was saved changes nothing and gives false.
  void SaveOptionsSnapshot();
  bool RestoreOptionsSnapshot();

 private:
  JobOptionValues saved_;
  bool hasSnapshot_ = false;

  mutable std::mutex appLock_;
  std::string workingDirectory_;
  std::string windowTitle_ = kDefaultWindowTitle;
  std::string remoteAddress_;
  std::uint8_t reverseFlashRecordLength_ = 21;
  std::uint8_t orvixRecordLength_ = 21;
  std::uint16_t usbAppHandle_ = 0;
  std::int32_t usbAvailable_ = 0;
  std::int32_t remotePeerConnected_ = 0;
  std::int32_t maxRecentFiles_ = 6;
  std::list<std::string> recentFiles_;
};

// The shared settings, alive for the whole run of the program.
CAppSettings& GetAppSettings();
