#include "shell/app/working_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_io.h"

namespace {

std::string SystemReason(int errnoValue) { return std::generic_category().message(errnoValue); }

std::string CannotWrite(const std::string& folder, const std::string& reason) {
  return "Cannot write in the working folder " + folder + ": " + reason +
         ". The configuration and the log are kept there: start the program in a folder that you may write to.";
}

}  // namespace

std::string UserWorkingFolder(const std::string& home) {
  return (std::filesystem::path(home) / "Quillon").string();
}

std::string EnterWorkingFolder(const std::string& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    std::filesystem::create_directories(folder, ec);
    if (ec) return "Cannot make the working folder " + folder + ": " + ec.message();
  }
  std::filesystem::current_path(folder, ec);
  if (ec) return "Cannot enter the working folder " + folder + ": " + ec.message();
  return {};
}

std::string CheckWorkingFolderWritable(const std::string& folder) {
  platform::AtomicFileWriter probe;
  if (!probe.Open((std::filesystem::path(folder) / ".quillon-write-test").string())) {
    return CannotWrite(folder, SystemReason(probe.LastErrno()));
  }
  probe.Discard();
  return {};
}

std::string CWorkingFolderLock::Take(const std::string& folder, const std::string& title) {
  path_ = (std::filesystem::path(folder) / (title + ".lock")).string();
  switch (lock_.Take(path_)) {
    case platform::InstanceLock::Result::Taken:
      return {};
    case platform::InstanceLock::Result::HeldByOther: {
      const long holder = lock_.HolderProcessId();
      const std::string who = holder > 0 ? "another vexaload (process " + std::to_string(holder) + ")" : "another vexaload";
      return "The working folder " + folder + " is in use: " + who + " works there with " + title + ".cfg and " +
             title + ".log. Close it first, or start this one with -id and another name.";
    }
    case platform::InstanceLock::Result::Failed:
      break;
  }
  return CannotWrite(folder, SystemReason(lock_.Errno()));
}

std::string PrepareWorkingFolder(bool userFolder, const std::string& title, CWorkingFolderLock& lock) {
  if (userFolder) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return "Cannot find the user's folder ~/Quillon: HOME is not set";
    if (std::string problem = EnterWorkingFolder(UserWorkingFolder(home)); !problem.empty()) return problem;
  }
  std::error_code ec;
  const std::string folder = std::filesystem::current_path(ec).string();
  if (ec) return "Cannot find the working folder: " + ec.message();
  if (std::string problem = CheckWorkingFolderWritable(folder); !problem.empty()) return problem;
  return lock.Take(folder, title);
}
