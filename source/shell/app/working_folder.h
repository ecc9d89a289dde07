#pragma once
// The program's working folder: the folder that is current when it starts,
// or, with the switch -user_folder (the desktop menu's start), the user's
// own ~/Quillon, made when missing. The configuration, the log, the product,
// kernel and custom-menu files and the images live there, so the program
// refuses to start in a folder it cannot write, and in one where another of
// its processes already works with the same files.
//
// Each step gives the text that refuses the start, or empty when it went
// well; the caller shows it in a box and on standard error.

#include <string>

#include "platform/instance_lock.h"

// ~/Quillon for the given home folder.
std::string UserWorkingFolder(const std::string& home);

// Makes the folder when it is missing and makes it the current one.
std::string EnterWorkingFolder(const std::string& folder);

// Creates and removes a file in the folder, as the configuration's rewrite
// does; the system's reason when that fails.
std::string CheckWorkingFolderWritable(const std::string& folder);

class CWorkingFolderLock;

// The whole start: with userFolder, enters ~/Quillon ($HOME/Quillon); then
// checks that the current folder can be written and takes its lock for the
// title's files.
std::string PrepareWorkingFolder(bool userFolder, const std::string& title, CWorkingFolderLock& lock);

// The lock "<title>.lock" in the folder, held for the program's life; it
// keeps a second process from taking "<title>.cfg" and "<title>.log".
class CWorkingFolderLock {
 public:
  std::string Take(const std::string& folder, const std::string& title);
  const std::string& Path() const { return path_; }

 private:
  platform::InstanceLock lock_;
  std::string path_;
};
