#pragma once
// Helpers for the shell's tests: a temporary working folder, and recording
// targets that stand in for the threads and the window around the code
// under test. Every wait polls with a deadline.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <atomic>
#include <thread>
#include <string>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "platform/target_registry.h"

namespace shell_test {

inline constexpr auto kDeadline = std::chrono::seconds(20);

class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("quillon_shell_" + std::to_string(std::random_device{}()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Dir() const { return path_.string() + "/"; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  void Write(const std::string& name, const std::string& contents) const {
    std::ofstream(File(name), std::ios::binary) << contents;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }
  // Clears every write bit of the file.
  void MakeReadOnly(const std::string& name) const {
    using std::filesystem::perms;
    std::filesystem::permissions(File(name), perms::owner_write | perms::group_write | perms::others_write,
                                 std::filesystem::perm_options::remove);
  }

 private:
  std::filesystem::path path_;
};

// Makes a folder the process's current directory for the test's lifetime.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& path) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
  }

 private:
  std::filesystem::path old_;
};

// A recording target in place of one post target (a worker thread or the
// main window).
class RecordingTarget {
 public:
  explicit RecordingTarget(std::int32_t target)
      : target_(target),
        queue_(target == PT_MAIN_WINDOW ? platform::TargetKind::Window : platform::TargetKind::Thread) {
    if (target == PT_MAIN_WINDOW) SetMainWindow(queue_.handle());
    else SetTargetThread(target, queue_.handle());
  }
  ~RecordingTarget() {
    if (target_ == PT_MAIN_WINDOW) ClearMainWindow();
    else SetTargetThread(target_, platform::kNoHandle);
  }
  RecordingTarget(const RecordingTarget&) = delete;
  RecordingTarget& operator=(const RecordingTarget&) = delete;

  platform::MessageQueue& Queue() { return queue_.queue(); }
  std::uint32_t Handle() const { return queue_.handle(); }

  // Everything queued so far, in order.
  std::vector<platform::Message> TakeAll() {
    std::vector<platform::Message> all;
    while (auto m = queue_.queue().TryGet()) all.push_back(std::move(*m));
    return all;
  }
  // The next message of the number, waiting up to the deadline.
  std::optional<platform::Message> Wait(std::uint32_t number) {
    return queue_.queue().TakeMatching(number, number, std::chrono::duration_cast<platform::Milliseconds>(kDeadline));
  }
  // The log lines queued so far (other messages are dropped).
  std::vector<std::string> TakeLogLines() {
    std::vector<std::string> lines;
    for (auto& m : TakeAll()) {
      if (m.number != WM_LOG_LINE) continue;
      if (auto text = m.Take<WM_LOG_LINE>()) lines.push_back(*text);
    }
    return lines;
  }

 private:
  std::int32_t target_;
  platform::RegisteredQueue queue_;
};

// Answers the user-I/O thread's STATUS RESET in place of the core thread,
// taking only that message from the recording core target: no accepted
// work remains unless a test says so.
class CoreResetResponder {
 public:
  explicit CoreResetResponder(RecordingTarget& core)
      : thread_([this, &core](std::stop_token stop) {
          while (!stop.stop_requested()) {
            if (core.Queue().TakeMatching(WM_RESET_RUN_STATUS, WM_RESET_RUN_STATUS, platform::Milliseconds(20))) {
              PostToTarget<WM_RUN_STATUS_RESET>(PT_USER_IO, workRemains.load() ? 1 : 0);
            }
          }
        }) {}
  std::atomic<bool> workRemains{false};

 private:
  std::jthread thread_;
};

inline bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const auto& l : lines) {
    if (l == text) return true;
  }
  return false;
}

}  // namespace shell_test
