#include <gtest/gtest.h>

#include "engine/core/job_payloads.h"
#include "engine/prompt/prompt_service.h"
#include "shell/prompt/prompt_call.h"
#include "shell/userio/prompt_kind.h"
#include "user_io_fixture.h"

namespace shell_test {
namespace {

class PromptsTest : public UserIoFixture {
 protected:
  void SetUp() override {
    WriteDefaultProduct();
    Start();
  }
};

struct BoxCase {
  const char* name;
  PromptKind kind;
  int scripted;  // 0: none (the default answer)
  int expectedReply;
  const char* expectedText;  // nullptr: no box
  std::uint32_t expectedStyle;
};

class PromptKindTable : public PromptsTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(PromptKindTable, ShowsAndReplies) {
  const BoxCase& c = GetParam();
  Log("Error> Flash failed. Retry it.");
  if (c.scripted) prompts->Script(c.scripted);
  const auto before = prompts->Prompts().size();
  Prompt(c.kind);
  EXPECT_EQ(PromptReply(), c.expectedReply);
  const auto shown = prompts->Prompts();
  if (c.expectedText == nullptr) {
    EXPECT_EQ(shown.size(), before);
    return;
  }
  ASSERT_EQ(shown.size(), before + 1);
  EXPECT_EQ(shown.back().kind, c.kind);
  EXPECT_EQ(shown.back().caption, "Vexa20 Flash");
  EXPECT_EQ(shown.back().text, c.expectedText);
  EXPECT_EQ(shown.back().style, c.expectedStyle);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PromptKindTable,
    ::testing::Values(
        BoxCase{"EnableAutoEraseYes", PROMPT_ENABLE_AUTO_ERASE, kAnswerYes, kAnswerYes,
                "Auto erase flash memory is not enabled\r\nDo you wish to enable auto erase and continue", 0x24},
        BoxCase{"EnableAutoEraseNo", PROMPT_ENABLE_AUTO_ERASE, kAnswerNo, kAnswerNo,
                "Auto erase flash memory is not enabled\r\nDo you wish to enable auto erase and continue", 0x24},
        BoxCase{"ErrorShowsTheLastErrorLine", PROMPT_ERROR, kAnswerOk, kAnswerOk, "Error> Flash failed\r\nRetry it.", 0x10},
        BoxCase{"RetryCancelRetry", PROMPT_RETRY_CANCEL, kAnswerRetry, kAnswerRetry, "Error> Flash failed\r\nRetry it.", 0x15},
        BoxCase{"RetryCancelCancel", PROMPT_RETRY_CANCEL, kAnswerCancel, kAnswerCancel, "Error> Flash failed\r\nRetry it.",
                0x15},
        BoxCase{"Complete", PROMPT_COMPLETE, kAnswerOk, kAnswerOk, "Processing complete", 0x40},
        BoxCase{"RerunScriptYes", PROMPT_RERUN_SCRIPT, kAnswerYes, kAnswerYes, "Processing complete. Rerun script?", 0x44},
        BoxCase{"RerunScriptUnansweredIsNo", PROMPT_RERUN_SCRIPT, 0, kAnswerNo, "Processing complete. Rerun script?", 0x44},
        BoxCase{"ErrorReportRepliesZero", PROMPT_ERROR_REPORT, kAnswerOk, 0,
                "http://support.quillon.invalid/error_report.html", 0},
        BoxCase{"AboutDialog", PROMPT_ABOUT, kAnswerOk, kAnswerOk, "", 0},
        BoxCase{"AboutUnanswered", PROMPT_ABOUT, 0, kAnswerCancel, "", 0},
        BoxCase{"OptionsCancelled", PROMPT_OPTIONS, kAnswerCancel, kAnswerCancel, "", 0},
        BoxCase{"FlashpackManagerKind", PROMPT_FLASHPACK_MANAGER, kAnswerOk, kAnswerOk, "", 0},
        BoxCase{"KindOutsideShowsNothing", 13, kAnswerOk, 0, nullptr, 0},
        BoxCase{"NegativeKindShowsNothing", -1, kAnswerOk, 0, nullptr, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// No box is lost with the log: it shows the last error line logged.
TEST_F(PromptsTest, AnErrorBoxWithoutALogIsShownWithTheLastErrorLine) {
  PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::make_unique<std::string>("Error> The radio does not answer"));
  Flush();
  std::filesystem::remove(dir.File("Vexa20 Flash.log"));
  const auto before = prompts->Prompts().size();
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_ERROR);
  EXPECT_EQ(PromptReply(), kAnswerOk);
  const auto shown = prompts->Prompts();
  ASSERT_EQ(shown.size(), before + 1);
  EXPECT_EQ(shown.back().text, "Error> The radio does not answer");
  Flush();
  EXPECT_NE(LogText().find("Error> Unable to read Quillon log file"), std::string::npos);
}

TEST_F(PromptsTest, NoReplyIsPostedWhenNoneIsWanted) {
  Prompt(PROMPT_COMPLETE, 0);
  Flush();
  EXPECT_FALSE(asker.Queue().TakeMatching(WM_PROMPT_REPLY, WM_PROMPT_REPLY, platform::Milliseconds(0)));
}

TEST_F(PromptsTest, EachPromptBringsTheWindowForward) {
  const int before = window->Foregrounds();
  Prompt(PROMPT_COMPLETE);
  PromptReply();
  EXPECT_EQ(window->Foregrounds(), before + 1);
}

TEST_F(PromptsTest, EraseSectorsFillsTheAskersListOnOk) {
  prompts->SetDialogFiller([](PromptCall& call) {
    auto& data = std::get<EraseSectorsDialogData>(call.dialog);
    EXPECT_EQ(data.given.sectors.size(), 10u);  // the settings' list of the product
    data.chosen = SectorList{{{0x2000, 0x2000, "CODE", 1}}, "CODE", "HARROW"};
  });
  SectorList record{{{1, 1, "OLD", 0}, {2, 2, "OLD", 0}}, "X", "Y"};
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_ERASE_SECTORS, 1, &record);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(record, (SectorList{{{0x2000, 0x2000, "CODE", 1}}, "CODE", "HARROW"}));
}

// The record is typed: a record that is not the kind's own is not written
// as if it were.
TEST_F(PromptsTest, ARecordOfAnotherKindIsLeftAlone) {
  prompts->SetDialogFiller([](PromptCall& call) {
    std::get<EraseSectorsDialogData>(call.dialog).chosen = SectorList{{{0x2000, 0x2000, "CODE", 1}}, "CODE", "HARROW"};
  });
  OrvixReadBackRange range{7, 0x1234, 8, 9};
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_ERASE_SECTORS, 1, &range);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(range.beginAddress, 7u);
  EXPECT_EQ(range.readBase, 0x1234u);
  EXPECT_EQ(range.endAddress, 8u);
  EXPECT_EQ(range.recordLength, 9);
}

TEST_F(PromptsTest, EraseSectorsForAnImageNamesTheImageToTheDialog) {
  std::string image = "<none>";
  prompts->SetDialogFiller([&image](PromptCall& call) { image = std::get<EraseSectorsDialogData>(call.dialog).image; });
  SectorList record;
  auto request = std::make_unique<PromptRequest>();
  request->kind = PROMPT_ERASE_SECTORS;
  request->replyTarget = PT_REMOTE_IO;
  request->wantReply = 1;
  request->subject = "p5E00cp0.s19";
  request->askerRecord = &record;
  prompts->Script(kAnswerOk);
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(request));
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(image, "p5E00cp0.s19");
  // An erase of its own names nothing.
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_ERASE_SECTORS, 1, &record);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(image, "");
}

TEST_F(PromptsTest, EraseSectorsCancelledLeavesTheRecord) {
  prompts->SetDialogFiller([](PromptCall& call) { std::get<EraseSectorsDialogData>(call.dialog).chosen = {}; });
  SectorList record{{{1, 1, "OLD", 0}}, "X", "Y"};
  prompts->Script(kAnswerCancel);
  Prompt(PROMPT_ERASE_SECTORS, 1, &record);
  ASSERT_EQ(PromptReply(), kAnswerCancel);
  EXPECT_EQ(record.sectors.size(), 1u);
}

TEST_F(PromptsTest, ReverseFlashFillsTheAskersPayload) {
  prompts->SetDialogFiller([](PromptCall& call) {
    auto& data = std::get<ReverseFlashDialogData>(call.dialog);
    data.startAddress = "0x1F000";
    data.recordLength = 37;
    data.chosen = SectorList{{{0x80000, 0x1000, "DATA", 1}, {0x81000, 0x1000, "DATA", 0}}, "DATA", "CALDER"};
  });
  ReadBackPayload payload;
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_REVERSE_FLASH_SECTORS, 1, &payload);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(payload.outputAddress, 0x1F000u);
  EXPECT_EQ(payload.recordLength, 37);
  const SectorList list = payload.options.GetSectorList();
  ASSERT_EQ(list.sectors.size(), 12u);  // the settings' 10 followed by the dialog's 2
  EXPECT_EQ(list.sectors[10], (SectorEntry{0x80000, 0x1000, "DATA", 1}));
  EXPECT_EQ(list.sectors[11], (SectorEntry{0x81000, 0x1000, "DATA", 0}));
  EXPECT_EQ(list.magicKeyPartition, "DATA");
  EXPECT_EQ(list.processorName, "CALDER");
}

struct AddressCase {
  const char* text;
  std::uint32_t value;
};

class OrvixRangeTable : public PromptsTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(OrvixRangeTable, ParsesTheAddressTextsWithAutomaticBase) {
  const std::string text = GetParam().text;
  prompts->SetDialogFiller([text](PromptCall& call) {
    auto& data = std::get<OrvixReverseFlashDialogData>(call.dialog);
    data.beginAddress = text;
    data.endAddress = "0x200";
    data.recordLength = 20;
  });
  OrvixReadBackRange range{7, 0x1234, 7, 7};
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_ORVIX_REVERSE_FLASH, 1, &range);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(range.beginAddress, GetParam().value);
  EXPECT_EQ(range.endAddress, 0x200u);
  EXPECT_EQ(range.readBase, 0x1234u);  // untouched
  EXPECT_EQ(range.recordLength, 20);
}

INSTANTIATE_TEST_SUITE_P(Texts, OrvixRangeTable,
                         ::testing::Values(AddressCase{"0x10", 16}, AddressCase{"010", 8}, AddressCase{"10", 10},
                                           AddressCase{"", 0}, AddressCase{"zz", 0}, AddressCase{"0", 0},
                                           AddressCase{"0x", 0}, AddressCase{" 42k", 42}));

TEST_F(PromptsTest, OrvixOptionsAreLoadedAndStoredAndWritten) {
  settings.SetIntParam(OPTION_ORVIX_CHIP_SELECT, 3);
  prompts->SetDialogFiller([](PromptCall& call) {
    auto& data = std::get<OrvixOptionsDialogData>(call.dialog);
    EXPECT_EQ(data.chipSelect, 3);
    data = OrvixOptionsDialogData{1, 5, 4096, 2};
  });
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_ORVIX_OPTIONS);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(settings.GetIntParam(OPTION_ORVIX_ENABLE_CHIP_SELECTION), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_ORVIX_CHIP_SELECT), 5);
  EXPECT_EQ(settings.GetIntParam(OPTION_ORVIX_CHIP_OFFSET), 4096);
  EXPECT_EQ(settings.GetIntParam(OPTION_ORVIX_PROGRAMMING_OPTION), 2);
  EXPECT_NE(dir.Read("Vexa20 Flash.cfg").find("orvix_chip_offset=4096\n"), std::string::npos);
}

TEST_F(PromptsTest, OptionsOkAppliesAlwaysOnTopAndWritesTheFile) {
  prompts->SetDialogFiller([](PromptCall& call) {
    std::get<OptionsDialogData>(call.dialog).settings->SetIntParam(OPTION_ALWAYS_ON_TOP, 0);
  });
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_OPTIONS);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(window->OnTop(), std::vector<bool>{false});
  EXPECT_NE(dir.Read("Vexa20 Flash.cfg").find("always_on_top=0\n"), std::string::npos);
}

// The remote-I/O thread is told to listen on the port now set, after OK
// only.
TEST_F(PromptsTest, OptionsOkTellsTheRemoteThreadToListenOnThePortNowSet) {
  const auto listens = [this] {
    int count = 0;
    for (const auto& m : asker.TakeAll()) count += m.number == WM_REMOTE_LISTEN ? 1 : 0;
    return count;
  };
  prompts->Script(kAnswerCancel);
  Prompt(PROMPT_OPTIONS);
  ASSERT_EQ(PromptReply(), kAnswerCancel);
  EXPECT_EQ(listens(), 0);
  prompts->SetDialogFiller([](PromptCall& call) {
    std::get<OptionsDialogData>(call.dialog).settings->SetIntParam(OPTION_REMOTE_PORT, 4100);
  });
  prompts->Script(kAnswerOk);
  Prompt(PROMPT_OPTIONS);
  ASSERT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(listens(), 1);
}

TEST_F(PromptsTest, TheFlashpackManagerPairReachesTheDialog) {
  auto request = std::make_unique<PromptRequest>();
  request->kind = PROMPT_FLASHPACK_MANAGER;
  request->replyTarget = PT_REMOTE_IO;
  request->wantReply = 1;
  request->flashpackManager = PromptRequest::FlashpackManagerTarget{nullptr, 131};
  DeviceNumber seen = -1;
  prompts->SetDialogFiller(
      [&seen](PromptCall& call) { seen = std::get<FlashpackManagerDialogData>(call.dialog).device; });
  prompts->Script(kAnswerOk);
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(request));
  EXPECT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(seen, 131);
}

// A prompt service that keeps each prompt open until the test answers it.
class HeldPromptService : public IShellPromptService {
 public:
  void Begin(std::shared_ptr<PromptCall> call, Done done) override {
    std::lock_guard lock(mutex_);
    open_.push_back({std::move(call), std::move(done)});
    opened_.notify_all();
  }
  void Shutdown(int) override {}
  bool WaitOpen(std::size_t count) {
    std::unique_lock lock(mutex_);
    return opened_.wait_for(lock, kDeadline, [&] { return open_.size() >= count; });
  }
  void Answer(std::size_t index, int result) {
    Done done;
    {
      std::lock_guard lock(mutex_);
      done = open_.at(index).second;
    }
    done(result);
  }
  std::string Text(std::size_t index) {
    std::lock_guard lock(mutex_);
    return open_.at(index).first->text;
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  std::vector<std::pair<std::shared_ptr<PromptCall>, Done>> open_;
};

class OpenPromptTest : public UserIoFixture {
 protected:
  void SetUp() override {
    WriteDefaultProduct();
    seams.prompts = held;
    thread = std::make_unique<CUserIOThread>(settings, seams);
    SetTargetThread(PT_USER_IO, thread->Id());
    ASSERT_TRUE(thread->Create());
  }
  std::shared_ptr<HeldPromptService> held = std::make_shared<HeldPromptService>();
};

TEST_F(OpenPromptTest, LogLinesAndReportsAreHandledWhileABoxIsOpen) {
  Prompt(PROMPT_COMPLETE);
  ASSERT_TRUE(held->WaitOpen(1));
  Log("written while the box is open");
  Report(STATUS_BUSY, "busy meanwhile");
  EXPECT_TRUE(WaitUntil([&] { return LogText().find("written while the box is open") != std::string::npos; }));
  held->Answer(0, kAnswerOk);
  EXPECT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(Status(), "BUSY \"busy meanwhile\"");
}

TEST_F(OpenPromptTest, ASecondPromptWaitsAndShowsTheLineLoggedJustBeforeIt) {
  Prompt(PROMPT_COMPLETE);
  ASSERT_TRUE(held->WaitOpen(1));
  Log("Error> first");
  Prompt(PROMPT_ERROR);
  Log("Error> second");
  Log("after both");
  // The lines are written at once; the second prompt waits and shows the
  // line logged just before it.
  EXPECT_TRUE(WaitUntil([&] { return LogText().find("Error> first") != std::string::npos; }));
  held->Answer(0, kAnswerOk);
  ASSERT_TRUE(held->WaitOpen(2));
  EXPECT_EQ(held->Text(1), "Error> first");
  held->Answer(1, kAnswerOk);
  EXPECT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(PromptReply(), kAnswerOk);
  Flush();
  const std::string text = LogText();
  EXPECT_LT(text.find("Error> second"), text.find("after both"));
}

// The log is complete at every moment: lines behind a prompt that waits
// are written when they come, not when the waiting prompt has been shown.
TEST_F(OpenPromptTest, LinesBehindAWaitingPromptAreWrittenWhenTheyCome) {
  Prompt(PROMPT_COMPLETE);
  ASSERT_TRUE(held->WaitOpen(1));
  Prompt(PROMPT_ENABLE_AUTO_ERASE);
  Log("Queueing behind the waiting question");
  EXPECT_TRUE(WaitUntil([&] { return LogText().find("Queueing behind the waiting question") != std::string::npos; }));
  held->Answer(0, kAnswerOk);
  ASSERT_TRUE(held->WaitOpen(2));
  held->Answer(1, kAnswerNo);
  EXPECT_EQ(PromptReply(), kAnswerOk);
  EXPECT_EQ(PromptReply(), kAnswerNo);
}

class FlashpackManagerOpenTest : public OpenPromptTest {
 protected:
  void OpenManager() {
    auto request = std::make_unique<PromptRequest>();
    request->kind = PROMPT_FLASHPACK_MANAGER;
    request->replyTarget = PT_REMOTE_IO;
    request->wantReply = 1;
    request->flashpackManager = PromptRequest::FlashpackManagerTarget{nullptr, 131};
    PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(request));
    ASSERT_TRUE(held->WaitOpen(1));
  }
};

// The error of the FlashPack Manager's own work is shown over it at once,
// with its line, not after the dialog closes.
TEST_F(FlashpackManagerOpenTest, ItsErrorBoxOpensOverItAtOnce) {
  OpenManager();
  Log("Error> No flashpacks selected");
  Prompt(PROMPT_ERROR, 0);
  ASSERT_TRUE(held->WaitOpen(2));
  EXPECT_EQ(held->Text(1), "Error> No flashpacks selected");
  Log("written while both are open");
  EXPECT_TRUE(WaitUntil([&] { return LogText().find("written while both are open") != std::string::npos; }));
  held->Answer(1, kAnswerOk);
  held->Answer(0, kAnswerOk);
  EXPECT_EQ(PromptReply(), kAnswerOk);
}

// The manager's answer may come while its error box is still open (the
// program shuts down): it is kept for the manager, not lost.
TEST_F(FlashpackManagerOpenTest, ItsAnswerWhileItsErrorBoxIsOpenIsKept) {
  OpenManager();
  Log("Error> Illegal character found");
  Prompt(PROMPT_ERROR, 0);
  ASSERT_TRUE(held->WaitOpen(2));
  held->Answer(0, kAnswerCancel);  // comes first in the thread's queue
  held->Answer(1, kAnswerOk);
  EXPECT_EQ(PromptReply(), kAnswerCancel);
}

TEST_F(OpenPromptTest, QuitWhileABoxIsOpenEndsOnceItIsAnswered) {
  Prompt(PROMPT_COMPLETE);
  ASSERT_TRUE(held->WaitOpen(1));
  PostToTarget<WM_QUIT_THREAD>(PT_USER_IO);
  held->Answer(0, kAnswerAbort);
  EXPECT_EQ(PromptReply(), kAnswerAbort);
  thread->Join();
  SetTargetThread(PT_USER_IO, platform::kNoHandle);
  thread.reset();
}

}  // namespace
}  // namespace shell_test
