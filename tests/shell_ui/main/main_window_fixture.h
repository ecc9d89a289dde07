#pragma once
// A main window under test: recording queues stand in for the worker
// threads, a scripted prompt service answers every box, and helpers pump
// the GUI thread until something has happened (or a deadline passes).

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/prompt/scripted_prompt_service.h"
#include "platform/target_registry.h"
#include "platform/temp_folder.h"
#include "shell/ui/main/flash_dlg.h"

namespace maintest {

using namespace std::chrono_literals;

// Pumps the GUI thread until the condition holds; false after the deadline.
inline bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 20s) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QTest::qWait(1);
  }
  return true;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTargetThread(PT_PREPROCESSING, pre.handle());
    SetTargetThread(PT_CORE, core.handle());
    SetTargetThread(PT_USER_IO, userIo.handle());
    prompts = std::make_shared<CScriptedPromptService>();
    SetPromptService(prompts);
    CAppSettings& s = GetAppSettings();
    s.SetIntParam(OPTION_COMM_PROTOCOL, 1);
    s.SetIntParam(OPTION_SERIAL_PORT, 0);
    s.SetAppInt(APP_INT_USB_AVAILABLE, 0);
    s.SetAppInt(APP_INT_USB_APP_HANDLE, 0);
  }

  void TearDown() override {
    window.reset();
    for (std::int32_t t : {PT_PREPROCESSING, PT_CORE, PT_USER_IO}) SetTargetThread(t, platform::kNoHandle);
    SetPromptService(nullptr);
    if (!productFolder.empty()) {
      GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, "");
      std::filesystem::remove_all(productFolder);
    }
  }

  // A working folder with one product file (radios.qlp: RADIO_A to RADIO_C),
  // so that the window opens with a product selected, as Flash Software needs.
  void UseFolderWithProduct() {
    productFolder = platform::MakeTemporaryFolder("quillon-window-");
    ASSERT_FALSE(productFolder.empty());
    std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                               productFolder + "/radios.qlp");
    GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, productFolder);
  }

  CFlashDlg& Open(WorkerThreadFactory factory = {}) {
    window = std::make_unique<CFlashDlg>(std::move(factory));
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return *window;
  }

  void PostToWindow(std::uint32_t message, platform::WParam w = 0, platform::LParam l = 0) {
    ASSERT_TRUE(platform::PostWindowMessage(window->Handle(), message, w, l));
  }

  // Everything posted to the window before this call has been handled, and
  // what those messages posted to the window in turn: a queued call behind
  // them, twice.
  void FlushWindow() {
    for (int round = 0; round < 2; ++round) {
      bool reached = false;
      QMetaObject::invokeMethod(window.get(), [&reached] { reached = true; }, Qt::QueuedConnection);
      ASSERT_TRUE(PumpUntil([&] { return reached; }));
    }
  }

  void Attach(int index) {
    PostToWindow(WM_DEVICE_ATTACHED, static_cast<platform::WParam>(index), 2);
    FlushWindow();
  }

  // Every message of the queue, in order (waits for none).
  static std::vector<platform::Message> Drain(platform::RegisteredQueue& q) {
    std::vector<platform::Message> all;
    while (auto m = q.queue().TryGet()) all.push_back(std::move(*m));
    return all;
  }
  // The log lines posted to the user-I/O thread so far (others stay queued).
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    while (auto m = userIo.queue().TakeMatching(WM_LOG_LINE, WM_LOG_LINE, 0ms)) {
      if (auto text = m->Take<WM_LOG_LINE>()) lines.push_back(*text);
    }
    return lines;
  }

  platform::RegisteredQueue pre;
  platform::RegisteredQueue core;
  platform::RegisteredQueue userIo;
  std::shared_ptr<CScriptedPromptService> prompts;
  std::unique_ptr<CFlashDlg> window;
  std::string productFolder;
};

}  // namespace maintest
