#pragma once
// Runs a real user-I/O thread in a temporary working folder, with recording
// targets for the main window, the pre-processing thread and the core
// thread, and the scripted prompt service.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "shell/prompt/scripted_prompt_service.h"
#include "shell/userio/query_request.h"
#include "shell/userio/user_io_thread.h"
#include "../support/shell_test_support.h"

namespace shell_test {

inline constexpr const char* kProductFile =
    "product Vexa_Series, RADIO_B\n"
    "{\n"
    "    processor Harrow;\n"
    "    flash main size = 192K type = nor vendor = Intel\n"
    "    {\n"
    "        address = 0, sector_size = 8K, num_sectors = 8, type = CODE;\n"
    "        address = 0x10000, sector_size = 64K, num_sectors = 2, type = DATA;\n"
    "    }\n"
    "}\n"
    "product RADIO_C { processor Calder; }\n";

class RecordingWindowControl : public IMainWindowControl {
 public:
  void SetTitle(const std::string& title) override {
    std::lock_guard lock(mutex_);
    titles_.push_back(title);
  }
  void BringToForeground() override {
    std::lock_guard lock(mutex_);
    ++foregrounds_;
  }
  void SetAlwaysOnTop(bool onTop) override {
    std::lock_guard lock(mutex_);
    onTop_.push_back(onTop);
  }
  std::vector<std::string> Titles() const {
    std::lock_guard lock(mutex_);
    return titles_;
  }
  void ShowLatestLogLine(const std::string& line) override {
    std::lock_guard lock(mutex_);
    logLines_.push_back(line);
  }
  std::vector<std::string> LogLines() const {
    std::lock_guard lock(mutex_);
    return logLines_;
  }
  std::vector<bool> OnTop() const {
    std::lock_guard lock(mutex_);
    return onTop_;
  }
  int Foregrounds() const {
    std::lock_guard lock(mutex_);
    return foregrounds_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> titles_;
  std::vector<bool> onTop_;
  std::vector<std::string> logLines_;
  int foregrounds_ = 0;
};

class UserIoFixture : public ::testing::Test {
 protected:
  UserIoFixture() { settings.SetAppString(APP_STRING_WINDOW_TITLE, "Vexa20 Flash"); }
  ~UserIoFixture() override { Stop(); }

  // Writes the product file of the default options into the folder.
  void WriteDefaultProduct() { dir.Write("Quor_Plover.qlp", kProductFile); }

  void Start() {
    seams.prompts = prompts;
    seams.mainWindow = window;
    thread = std::make_unique<CUserIOThread>(settings, seams);
    SetTargetThread(PT_USER_IO, thread->Id());
    ASSERT_TRUE(thread->Create());
    Flush();
  }
  void Stop() {
    if (!thread) return;
    PostToTarget<WM_QUIT_THREAD>(PT_USER_IO);
    thread->Join();
    SetTargetThread(PT_USER_IO, platform::kNoHandle);
    thread.reset();
  }

  // Asks a query and returns its answer; everything posted before it has
  // been handled by then.
  std::string Query(std::int32_t kind, const std::string& argument = "") {
    auto request = std::make_unique<QueryRequest>(QueryRequest{kind, PT_REMOTE_IO, 1, argument});
    EXPECT_TRUE(PostToTarget<WM_QUERY>(PT_USER_IO, std::move(request)));
    auto reply = asker.Wait(WM_QUERY_REPLY);
    if (!reply) {
      ADD_FAILURE() << "no query reply";
      return "<none>";
    }
    auto answer = reply->Take<WM_QUERY_REPLY>();
    return answer ? *answer : "<null>";
  }
  std::string Status() { return Query(QUERY_STATUS); }
  // Work of the idle pass shows only once the queue has run empty: polls
  // the status until it is the expected one or the deadline passes.
  bool WaitForStatus(const std::string& expected) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (Status() != expected) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  bool WaitUntil(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  // Everything posted before has been handled, and so has what its handlers
  // posted to the thread itself: the first answer comes after the handler
  // that was running (or the start-up), the second after what it posted.
  void Flush() {
    Status();
    Status();
  }

  void Log(const std::string& line) { PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::make_unique<std::string>(line)); }
  void Report(std::int32_t state, const std::string& text) {
    PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::make_unique<StatusReport>(StatusReport{state, text}));
  }
  // Posts a prompt with the reply going to the asker target and, for kinds
  // 0, 1 and 3, the asker's record.
  void Prompt(std::int32_t kind, std::int32_t wantReply = 1, PromptAskerRecord record = {}) {
    auto request = std::make_unique<PromptRequest>(PromptRequest{kind, PT_REMOTE_IO, wantReply, std::nullopt});
    request->askerRecord = record;
    PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(request));
  }
  // The result of the next prompt reply.
  int PromptReply() {
    auto reply = asker.Wait(WM_PROMPT_REPLY);
    if (!reply) {
      ADD_FAILURE() << "no prompt reply";
      return -1;
    }
    return static_cast<int>(reply->wParam);
  }
  std::string LogText() { return dir.Read("Vexa20 Flash.log"); }
  // The messages the main window received, by number.
  std::vector<std::uint32_t> WindowMessages() {
    std::vector<std::uint32_t> numbers;
    for (auto& m : mainWindow.TakeAll()) numbers.push_back(m.number);
    return numbers;
  }

  TempFolder dir;
  CurrentDirectory cwd{dir.Dir()};
  CAppSettings settings;
  RecordingTarget mainWindow{PT_MAIN_WINDOW};
  RecordingTarget preprocessing{PT_PREPROCESSING};
  RecordingTarget core{PT_CORE};
  CoreResetResponder coreReset{core};
  RecordingTarget asker{PT_REMOTE_IO};
  std::shared_ptr<CScriptedShellPromptService> prompts = std::make_shared<CScriptedShellPromptService>();
  std::shared_ptr<RecordingWindowControl> window = std::make_shared<RecordingWindowControl>();
  UserIoSeams seams;
  std::unique_ptr<CUserIOThread> thread;
};

}  // namespace shell_test
