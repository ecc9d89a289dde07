#pragma once
// The program's log file: one time-stamped line per message, written only by
// the user-I/O thread, and read back for the text of every error box.
//
// The file is opened and closed for every line, so it is complete at any
// moment and may be read by another program while the flasher runs.

#include <cstdint>
#include <functional>
#include <string>

struct LocalClockTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class CLogFile {
 public:
  using Clock = std::function<LocalClockTime()>;

  static constexpr std::uintmax_t kMaxIdleSize = 0x100000;  // 1 MiB; a larger file is dropped when idle
  static constexpr const char* kUndefinedError = "Error> undefined Quillon error";
  static constexpr const char* kReadOnlyError =
      "Error> Log file is read only and will not be updated.\r\nAll other error messages will be ignored";
  static constexpr const char* kUnreadableLog = "Error> Unable to read Quillon log file";

  explicit CLogFile(std::string path, Clock clock = LocalNow);

  const std::string& Path() const { return path_; }

  // Appends "[hh:mm:ss] text" and a line end. Failures are swallowed: the
  // line is lost and nothing is reported.
  void WriteLogLine(const std::string& text) const;

  // The last line holding "Error>", from "Error" onward, with every ". "
  // turned into a line break; a read-only file gives the read-only text.
  // It never throws: a missing file (one that cannot be written, or was
  // removed) posts an error line and gives the last error line this log was
  // given (the undefined error without one), so that no error box is lost
  // with the file.
  std::string GetLastLogError() const;

  // Start-up: an old log is removed so that each run begins a new one. A
  // read-only log is kept; false then (the caller shows the error box).
  bool RemoveAtStartup() const;

  // The idle guard: a file above 1 MiB is removed (never a read-only one).
  // True when it removed the file.
  bool GuardSize() const;

  // "[hh:mm:ss]" for the time.
  static std::string FormatStamp(const LocalClockTime& time);
  static LocalClockTime LocalNow();

 private:
  std::string path_;
  Clock clock_;
  // The last line given that holds "Error>", from "Error" onward.
  mutable std::string lastErrorLine_;
};
