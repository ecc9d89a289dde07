// Commands of the main window: what each posts, the rule for several
// devices, and Flash Software waiting for its read-back.
#include <QAction>
#include <QTimer>
#include <csignal>
#include <QToolBar>

#include "engine/core/device_event.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "main_window_fixture.h"
#include "shell/grid/main_commands.h"
#include "shell/prompt/prompt_call.h"
#include "shell/preproc/reverse_flash_request.h"

namespace maintest {
namespace {

struct PostCase {
  int command;
  std::uint32_t message;
  platform::WParam wParam;
};

class WindowCommands : public MainWindowTest, public ::testing::WithParamInterface<PostCase> {};

TEST_P(WindowCommands, PostToThePreProcessingThread) {
  Open();
  Attach(4);
  Drain(pre);
  window->OnCommand(GetParam().command);
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u) << GetParam().command;
  EXPECT_EQ(posted[0].number, GetParam().message);
  EXPECT_EQ(posted[0].wParam, GetParam().wParam);
}

INSTANTIATE_TEST_SUITE_P(Commands, WindowCommands,
                         ::testing::Values(PostCase{32772, WM_REVERSE_FLASH, kChosenReadBackRequest},
                                           PostCase{32808, WM_REVERSE_FLASH, kChosenReadBackRequest},
                                           PostCase{32793, WM_ERASE, 0}, PostCase{32805, WM_PROGRAM_MAGIC_KEY, 0},
                                           PostCase{32809, WM_COMM_CHECK, 0}, PostCase{32788, WM_RESET_TARGET, 0},
                                           PostCase{32790, WM_RUN_SCRIPT_FILE, 0},
                                           PostCase{32775, WM_USER_PROMPT, 6}, PostCase{32801, WM_USER_PROMPT, 5},
                                           PostCase{32817, WM_FLASHPACK_MANAGER, 0}, PostCase{32813, WM_RAM_DUMP, 0},
                                           PostCase{32820, WM_RECENT_FILE, 2}, PostCase{32855, WM_CUSTOM_MENU_ITEM, 2}));

struct RefusalCase {
  int command;
  const char* line;
};

class RefusedWithTwoDevices : public MainWindowTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedWithTwoDevices, LogsTheErrorAndShowsTheErrorPrompt) {
  Open();
  Attach(4);
  Attach(9);
  Drain(pre);
  LogLines();
  window->OnCommand(GetParam().command);
  EXPECT_TRUE(Drain(pre).empty());
  EXPECT_EQ(LogLines(), std::vector<std::string>{GetParam().line});
  auto prompt = userIo.queue().TakeMatching(WM_USER_PROMPT, WM_USER_PROMPT, 0ms);
  ASSERT_TRUE(prompt);
  auto request = prompt->Take<WM_USER_PROMPT>();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->kind, 9);
  EXPECT_EQ(request->replyTarget, 0);
  EXPECT_EQ(request->wantReply, 0);
  // Flash Software stays usable: nothing waits for a read-back.
  EXPECT_TRUE(window->FlashEnabled());
  EXPECT_TRUE(window->ToolBar()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Commands, RefusedWithTwoDevices,
                         ::testing::Values(RefusalCase{32772, kReverseFlashRefusal},
                                           RefusalCase{32808, kReverseFlashRefusal},
                                           RefusalCase{32771, kReverseFlashRefusal},
                                           RefusalCase{32806, kReverseFlashRefusal},
                                           RefusalCase{32817, kFlashpackManagerRefusal}));

TEST_F(MainWindowTest, ExitEndsTheWindowWithResultZeroAndTheCoreThreadWithOne) {
  Open();
  int result = -1;
  QTimer::singleShot(0, [&] { window->OnCommand(ID_EXIT); });
  result = window->Exec();
  EXPECT_EQ(result, 0);
  window.reset();
  Open();
  QTimer::singleShot(0, [&] { PostToWindow(WM_QUIT_THREAD); });
  EXPECT_EQ(window->Exec(), 1);
}

TEST_F(MainWindowTest, StartsWithoutAnErrorAndWithTheSpecifiedMenus) {
  Open();
  FlushWindow();
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(prompts->Boxes().empty());
  EXPECT_TRUE(Drain(pre).empty());
  for (int id : {ID_FLASH_SOFTWARE, ID_EXIT, ID_ABOUT, ID_TOOL_FLASH_SOFTWARE}) EXPECT_NE(window->CommandAction(id), nullptr);
  EXPECT_EQ(window->CommandAction(ID_ERROR_REPORT), nullptr);
  EXPECT_EQ(window->CommandAction(ID_FLASH_SOFTWARE)->text(), "&Flash Software...");
  EXPECT_EQ(window->CommandAction(ID_TOOL_FLASH_SOFTWARE)->toolTip(), "Flash Software");
}

TEST_F(MainWindowTest, ATerminationRequestClosesTheWindowInOrder) {
  Open();
  window->CloseOnTerminationSignal();
  QTimer::singleShot(0, [] { std::raise(SIGTERM); });
  EXPECT_EQ(window->Exec(), 2);
}

TEST_F(MainWindowTest, FormatAsksFirstAndPostsTheWindowHandle) {
  Open();
  prompts->Script(kAnswerCancel);
  window->OnCommand(32848);
  EXPECT_TRUE(Drain(pre).empty());
  prompts->Script(kAnswerOk);
  window->OnCommand(32849);
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_RALIX_FORMAT);
  EXPECT_EQ(posted[0].wParam, window->Handle());
  ASSERT_EQ(prompts->Boxes().size(), 2u);
  // The question names the device; Cancel is its default, so Enter never formats.
  EXPECT_EQ(prompts->Boxes()[0].text.rfind("Format File System?", 0), 0u);
  EXPECT_NE(prompts->Boxes()[0].text.find("Smartphone"), std::string::npos);
  EXPECT_EQ(prompts->Boxes()[0].buttons & kStyleDefaultButton2, kStyleDefaultButton2);
}

TEST_F(MainWindowTest, GpsChipEraseAsksFirstWithCancelTheDefault) {
  Open();
  prompts->Script(kAnswerCancel);
  window->OnCommand(ID_ORVIX_ERASE);
  EXPECT_TRUE(Drain(pre).empty());
  prompts->Script(kAnswerOk);  // Erase
  window->OnCommand(ID_ORVIX_ERASE);
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_ORVIX_ERASE);
  ASSERT_EQ(prompts->Boxes().size(), 2u);
  EXPECT_EQ(prompts->Boxes()[0].text.rfind("Erase GPS Chip?", 0), 0u);
  EXPECT_EQ(prompts->Boxes()[0].buttons & kStyleDefaultButton2, kStyleDefaultButton2);
}

class FlashSoftware : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    UseFolderWithProduct();
  }
  void Status(int event, int device, int percent = 0, int errorCode = 0, bool updateReadBack = false) {
    std::unique_ptr<ErrorRecord> error;
    if (errorCode) error = MakeErrorRecord(device, event, errorCode, nullptr);
    auto record = MakeDeviceStatusRecord(event, device, 1, 1, percent, error.get());
    record->startsUpdateFlash = updateReadBack;
    ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(window->Handle(), std::move(record)));
  }
  // A status record of Flash Software's own read-back.
  void UpdateReadBack(int event, int device, int percent = 0, int errorCode = 0) {
    Status(event, device, percent, errorCode, true);
  }
  bool FlashSoftwareUsable() const {
    return window->FlashEnabled() && window->CommandAction(ID_FLASH_SOFTWARE)->isEnabled() &&
           window->ToolBar()->isEnabled();
  }
  std::vector<std::uint32_t> PreMessages() {
    std::vector<std::uint32_t> numbers;
    for (auto& m : Drain(pre)) numbers.push_back(m.number);
    return numbers;
  }
};

TEST_F(FlashSoftware, ItsSavedReadBackStartsTheUpdateFlashAndGivesTheToolbarBack) {
  Open();
  Attach(4);
  Drain(pre);
  window->OnCommand(ID_TOOL_FLASH_SOFTWARE);
  EXPECT_EQ(PreMessages(), std::vector<std::uint32_t>{WM_REVERSE_FLASH});
  EXPECT_FALSE(window->FlashEnabled());
  EXPECT_FALSE(window->CommandAction(ID_FLASH_SOFTWARE)->isEnabled());
  EXPECT_FALSE(window->ToolBar()->isEnabled());
  UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 4, 50);
  UpdateReadBack(EVENT_REVERSE_FLASH_DONE, 4, 100);
  UpdateReadBack(EVENT_STATUS_SAVING_FILE, 4);
  UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 4, 100);
  FlushWindow();
  EXPECT_EQ(PreMessages(), std::vector<std::uint32_t>{WM_FLASH});
  EXPECT_TRUE(FlashSoftwareUsable());
  // A script's read-back later saved starts nothing.
  Status(EVENT_REVERSE_FLASH_DONE, 4, 100);
  Status(EVENT_STATUS_READ_FILE_SAVED, 4, 100);
  FlushWindow();
  EXPECT_TRUE(PreMessages().empty());
}

// The row of a refused update flash ends in "Error" with the reason as its
// tooltip, instead of staying at "Rev Flashing 100%".
TEST_F(FlashSoftware, ARefusedUpdateEndsTheRowInErrorWithItsReason) {
  Open();
  Attach(4);
  window->OnCommand(ID_FLASH_SOFTWARE);
  UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 4, 100);
  UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 4, 100);
  FlushWindow();
  const int row = window->Grid().FindGridRow(4);
  ASSERT_GE(row, 0);
  EXPECT_EQ(window->Grid().Row(row).progressText, "Complete");
  const std::string reason = "The radio has the latest firmware. The flash operation stops.";
  ASSERT_TRUE(platform::PostWindowMessage<WM_UPDATE_REFUSED>(window->Handle(), std::make_unique<std::string>(reason)));
  FlushWindow();
  EXPECT_EQ(window->Grid().Row(row).progressText, "Error");
  EXPECT_EQ(window->Grid().Row(row).tooltip, reason);
  EXPECT_TRUE(FlashSoftwareUsable());
}

// A failed read-back gives the toolbar back while its row waits; Retry
// runs the same read-back, the toolbar waits for it again, and its saved
// file starts the update flash. Another read-back's file starts nothing.
TEST_F(FlashSoftware, AFailedReadBackGivesTheToolbarBackAndItsRetryGoesOnToTheUpdate) {
  Open();
  Attach(4);
  window->OnCommand(ID_FLASH_SOFTWARE);
  ASSERT_FALSE(window->FlashEnabled());
  UpdateReadBack(EVENT_REVERSE_FLASH_FAILED, 4, 0, 60);
  FlushWindow();
  EXPECT_TRUE(FlashSoftwareUsable());
  Drain(pre);
  Status(EVENT_STATUS_READ_FILE_SAVED, 4, 100);
  FlushWindow();
  EXPECT_TRUE(PreMessages().empty());

  const int row = window->Grid().FindGridRow(4);
  ASSERT_GE(row, 0);
  window->OnCommand(window->Grid().Row(row).retryId);
  FlushWindow();
  EXPECT_EQ(PreMessages(), std::vector<std::uint32_t>{WM_RETRY_DEVICE});
  UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 4, 40);
  FlushWindow();
  EXPECT_FALSE(window->FlashEnabled());
  EXPECT_FALSE(window->ToolBar()->isEnabled());
  UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 4, 100);
  FlushWindow();
  EXPECT_EQ(PreMessages(), std::vector<std::uint32_t>{WM_FLASH});
  EXPECT_TRUE(FlashSoftwareUsable());
}

// Without a product there is no flash map: Flash Software says so and
// starts nothing (before, the kernel files' error was all a user saw).
TEST_F(MainWindowTest, FlashSoftwareWithoutAProductSaysSoAndStartsNothing) {
  Open();
  Attach(4);
  Drain(pre);
  LogLines();
  window->OnCommand(ID_FLASH_SOFTWARE);
  EXPECT_EQ(LogLines(), std::vector<std::string>{
                            "Error> No product is selected. Choose one in the product list, or copy a product file "
                            "(.qlp) into the working folder with Select a new product file... at the end of the list"});
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_USER_PROMPT);
  auto prompt = posted[0].Take<WM_USER_PROMPT>();
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt->kind, PROMPT_ERROR);
  EXPECT_TRUE(window->FlashEnabled());
  EXPECT_TRUE(window->ToolBar()->isEnabled());
}

TEST_F(FlashSoftware, WithoutADeviceNothingWaits) {
  Open();
  window->OnCommand(ID_FLASH_SOFTWARE);
  EXPECT_EQ(PreMessages(), std::vector<std::uint32_t>{WM_REVERSE_FLASH});
  EXPECT_TRUE(FlashSoftwareUsable());
}

TEST_F(FlashSoftware, TheTopRowReportsTheRunStatus) {
  Open();
  Attach(4);
  while (userIo.queue().TryGet()) {
  }
  Status(EVENT_FLASH_PROGRESS, 4, 30);
  FlushWindow();
  auto m = userIo.queue().TakeMatching(WM_SET_STATUS, WM_SET_STATUS, 0ms);
  ASSERT_TRUE(m);
  auto report = m->Take<WM_SET_STATUS>();
  ASSERT_TRUE(report);
  EXPECT_EQ(report->state, STATUS_BUSY);
  EXPECT_EQ(report->text, "Flashing 30%");
}

}  // namespace
}  // namespace maintest
