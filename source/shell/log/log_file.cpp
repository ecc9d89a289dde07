#include "shell/log/log_file.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/file_finder.h"
#include "platform/file_io.h"
#include "shell/log/post_log_line.h"

namespace {

// Each sentence of a multi-sentence message goes on its own line of the box.
std::string BreakSentences(std::string text) {
  std::string::size_type at = 0;
  while ((at = text.find(". ", at)) != std::string::npos) {
    text.replace(at, 2, "\r\n");
    at += 2;
  }
  return text;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

CLogFile::CLogFile(std::string path, Clock clock) : path_(std::move(path)), clock_(std::move(clock)) {}

LocalClockTime CLogFile::LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalClockTime{local.tm_hour, local.tm_min, local.tm_sec};
}

std::string CLogFile::FormatStamp(const LocalClockTime& time) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%.2d:%.2d:%.2d]", time.hour, time.minute, time.second);
  return stamp;
}

void CLogFile::WriteLogLine(const std::string& text) const {
  if (text.find("Error>") != std::string::npos) lastErrorLine_ = text.substr(text.find("Error"));
  if (platform::IsReadOnlyFile(path_)) return;
  std::ofstream out(path_, std::ios::binary | std::ios::app);
  if (!out) return;
  out << FormatStamp(clock_()) << ' ' << text << '\n';
}

std::string CLogFile::GetLastLogError() const {
  if (!FileExists(path_)) {
    PostLogLine(kUnreadableLog);
    return BreakSentences(lastErrorLine_.empty() ? std::string(kUndefinedError) : lastErrorLine_);
  }
  if (platform::IsReadOnlyFile(path_)) return kReadOnlyError;
  std::string result = kUndefinedError;
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find("Error>") == std::string::npos) continue;
    result = line.substr(line.find("Error"));
  }
  return BreakSentences(result);
}

bool CLogFile::RemoveAtStartup() const {
  if (!FileExists(path_)) return true;
  if (platform::IsReadOnlyFile(path_)) return false;
  platform::RemoveFile(path_);
  return true;
}

bool CLogFile::GuardSize() const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path_, ec);
  if (ec || size <= kMaxIdleSize) return false;
  if (platform::IsReadOnlyFile(path_)) return false;
  return platform::RemoveFile(path_);
}
