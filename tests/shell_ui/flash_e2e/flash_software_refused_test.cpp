// Flash Software waits for its read-back's saved file with the command, the
// product selector and the toolbar greyed. When the read-back is refused and
// nothing is queued, no saved file will ever come: the window must give them
// back. The window runs with the real pre-processing and core threads; the
// test plays the user-I/O thread (log lines, and the answers to the boxes).
#include <QComboBox>
#include <QToolBar>
#include <algorithm>
#include <filesystem>

#include "engine/core/prompt_request.h"
#include "engine/prompt/prompt_service.h"
#include "engine/processing/core_processing_thread.h"
#include "main_window_fixture.h"
#include "shell/grid/main_commands.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell_stand_in.h"

namespace maintest {
namespace {

constexpr int kComNumber = 5;
constexpr DeviceNumber kComRow = 126 + kComNumber;

struct RefusalCase {
  const char* name;
  int protocol;             // 0 RS232, 1 USB
  const char* missingFile;  // a kernel file taken away, or null
  bool withoutCore;         // the core thread is gone: the request cannot even be posted
  const char* errorLine;    // the line the refusal logs ("%s": the missing file's path)
  std::int32_t promptKind;  // the box that follows it, or -1
};

class FlashSoftwareRefused : public MainWindowTest, public ::testing::WithParamInterface<RefusalCase> {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    test_support::WriteKernelFiles(folder);
    // A product in the selector: Flash Software starts only with one.
    std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                               folder.File("radios.qlp"));
    CAppSettings& s = GetAppSettings();
    s.SetAppString(APP_STRING_WORKING_DIRECTORY, folder.Path().string());
    s.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    s.SetIntParam(OPTION_SERIAL_PORT, kComNumber - 1);
    WorkerThreadFactory factory;
    factory.preProcessing = [] { return std::make_unique<CPreProcessingThread>(); };
    factory.core = [] { return std::make_unique<CCoreProcessingThread>(); };
    Open(std::move(factory));
    // The serial port's row, as RS232 made it at start-up.
    PostToWindow(WM_DEVICE_ATTACHED, kComRow, 0);
    FlushWindow();
  }
  void TearDown() override {
    if (coreThread != platform::kNoHandle) SetTargetThread(PT_CORE, coreThread);
    window.reset();  // stops the threads
    GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
    GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, "");
    MainWindowTest::TearDown();
  }

  // Serves what reaches the user-I/O thread: keeps the log lines and the
  // boxes, and answers a box that wants an answer with Cancel.
  void ServeUserIo() {
    while (auto m = userIo.queue().TryGet()) {
      if (m->number == WM_LOG_LINE) {
        if (auto line = m->Take<WM_LOG_LINE>()) lines.push_back(*line);
      } else if (m->number == WM_USER_PROMPT) {
        auto prompt = m->Take<WM_USER_PROMPT>();
        if (!prompt) continue;
        kinds.push_back(prompt->kind);
        if (prompt->wantReply) PostToTarget<WM_PROMPT_REPLY>(prompt->replyTarget, kAnswerCancel);
      }
    }
  }

  bool FlashSoftwareUsable() const {
    return window->FlashEnabled() && window->CommandAction(ID_FLASH_SOFTWARE)->isEnabled() &&
           window->CommandAction(ID_TOOL_FLASH_SOFTWARE)->isEnabled() && window->ToolBar()->isEnabled() &&
           window->ProductSelector()->isEnabled();
  }

  test_support::TempFolder folder;
  std::vector<std::string> lines;
  std::vector<std::int32_t> kinds;
  platform::ThreadId coreThread = platform::kNoHandle;
};

TEST_P(FlashSoftwareRefused, GivesFlashSoftwareAndTheProductSelectorBack) {
  const RefusalCase& c = GetParam();
  if (c.missingFile) std::filesystem::remove(folder.File(c.missingFile));
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, c.protocol);
  if (c.withoutCore) {
    coreThread = GetTargetThreadId(PT_CORE);
    SetTargetThread(PT_CORE, platform::kNoHandle);
  }
  ServeUserIo();
  lines.clear();

  window->OnCommand(ID_FLASH_SOFTWARE);
  ASSERT_FALSE(FlashSoftwareUsable()) << "Flash Software waits for its read-back";
  EXPECT_TRUE(PumpUntil([&] {
    ServeUserIo();
    return FlashSoftwareUsable();
  })) << c.name;

  std::string errorLine = c.errorLine;
  if (const auto at = errorLine.find("%s"); at != std::string::npos)
    errorLine.replace(at, 2, folder.File(c.missingFile));
  if (!errorLine.empty()) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), errorLine), lines.end()) << c.name << ": " << errorLine;
  }
  if (c.promptKind >= 0) {
    EXPECT_TRUE(PumpUntil([&] {
      ServeUserIo();
      return !kinds.empty();
    }));
    EXPECT_EQ(kinds, std::vector<std::int32_t>{c.promptKind}) << c.name;
  }
  // The read-back never saves a file now; the update flash is never asked for.
  EXPECT_FALSE(window->Grid().PendingFlashDevice().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, FlashSoftwareRefused,
    ::testing::Values(
        // The Retry/Cancel box reads this line back from the log: it names the file.
        RefusalCase{"KernelFileMissingThenCancel", 0, "harrowkrnlu.s19", false, "Error> Error opening file %s",
                    PROMPT_RETRY_CANCEL},
        // The serial port's row is still there when USB is chosen without a USB radio.
        RefusalCase{"UsbWithoutAUsbRadio", 1, nullptr, false, "Error> USB capable radio not detected", PROMPT_ERROR},
        RefusalCase{"NoCoreThread", 0, nullptr, true, "", -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace maintest
