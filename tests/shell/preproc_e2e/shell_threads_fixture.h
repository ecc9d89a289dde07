#pragma once
// The shell's threads as the program runs them: the real user-I/O thread
// with the scripted prompt service, the pre-processing thread, and either a
// recording core thread or the real one against a simulated radio on a
// pseudo-terminal. The test plays the main window.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "../support/shell_targets.h"
#include "engine/core/app_settings.h"
#include "engine/core/device_status_record.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/processing/core_processing_thread.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell/prompt/scripted_prompt_service.h"
#include "shell/userio/query_request.h"
#include "shell/userio/user_io_thread.h"

namespace e2e_test {

using shell_test::kDeadline;
using shell_test::WorkingFolder;

class ShellThreads : public ::testing::Test {
 protected:
  void TearDown() override {
    Stop(preproc);
    Stop(core);
    if (userIo) {
      PostToTarget<WM_QUIT_THREAD>(PT_USER_IO);
      userIo->Join();
      SetTargetThread(PT_USER_IO, platform::kNoHandle);
      userIo.reset();
    }
    SetTargetThread(PT_PREPROCESSING, platform::kNoHandle);
    SetTargetThread(PT_CORE, platform::kNoHandle);
    SetTargetThread(PT_REMOTE_IO, platform::kNoHandle);
    ClearMainWindow();
    SetShellPromptService(previousService);
  }

  // Starts the user-I/O thread in the working folder (it reads the
  // configuration and the product file there) and waits until its start-up
  // has run.
  void StartUserIo() {
    previousService = SetShellPromptService(prompts);
    SetMainWindow(mainWindow.handle());
    SetTargetThread(PT_REMOTE_IO, remote.handle());
    UserIoSeams seams;
    seams.prompts = prompts;
    userIo = std::make_unique<CUserIOThread>(GetAppSettings(), seams);
    SetTargetThread(PT_USER_IO, userIo->Id());
    ASSERT_TRUE(userIo->Create());
    Status();
    Status();
  }
  void StartPreproc(PreprocessingServices services = {}) {
    preproc = std::make_unique<CPreProcessingThread>(std::move(services));
    SetTargetThread(PT_PREPROCESSING, preproc->Id());
    ASSERT_TRUE(preproc->Create());
  }
  void StartRealCore() {
    core = std::make_unique<CCoreProcessingThread>();
    SetTargetThread(PT_CORE, core->Id());
    ASSERT_TRUE(core->Create());
  }

  // The run status; everything posted to the user-I/O thread before has
  // been handled once it answers.
  std::string Status() {
    auto request = std::make_unique<QueryRequest>(QueryRequest{QUERY_STATUS, PT_REMOTE_IO, 1, ""});
    EXPECT_TRUE(PostToTarget<WM_QUERY>(PT_USER_IO, std::move(request)));
    auto reply = remote.queue().TakeMatching(WM_QUERY_REPLY, WM_QUERY_REPLY, kDeadline);
    if (!reply) return "<none>";
    auto text = reply->Take<WM_QUERY_REPLY>();
    return text ? *text : "<null>";
  }

  // Waits for a status record of the device with the event code at the
  // main window.
  bool WaitDeviceEvent(DeviceNumber device, std::int32_t code, std::chrono::seconds deadline = kDeadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
      auto m = mainWindow.queue().Get(std::chrono::milliseconds(50));
      if (!m || m->number != WM_DEVICE_STATUS) continue;
      if (auto record = m->Take<WM_DEVICE_STATUS>()) {
        events.push_back(record->eventCode);
        if (record->device == device && record->eventCode == code) return true;
      }
    }
    return false;
  }

  std::string LogText() const {
    std::ifstream in(folder.File("Vexa20 Flash.log"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  template <class Pred>
  bool PollUntil(Pred done, std::chrono::seconds deadline = kDeadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& shown : prompts->Prompts()) texts.push_back(shown.text);
    return texts;
  }

  template <class T>
  static void Stop(std::unique_ptr<T>& thread) {
    if (!thread) return;
    thread->PostQuit();
    thread->Join();
    thread.reset();
  }

  WorkingFolder folder;
  std::shared_ptr<CScriptedShellPromptService> prompts = std::make_shared<CScriptedShellPromptService>();
  std::shared_ptr<IShellPromptService> previousService;
  platform::RegisteredQueue mainWindow{platform::TargetKind::Window};
  platform::RegisteredQueue remote;
  std::unique_ptr<CUserIOThread> userIo;
  std::unique_ptr<CPreProcessingThread> preproc;
  std::unique_ptr<CCoreProcessingThread> core;
  std::vector<std::int32_t> events;
};

}  // namespace e2e_test
