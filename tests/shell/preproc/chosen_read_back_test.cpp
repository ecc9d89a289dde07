#include <gtest/gtest.h>

#include <fstream>

#include "preproc_fixture.h"
#include "shell/preproc/reverse_flash_request.h"
#include "shell/userio/prompt_kind.h"

namespace preproc_test {
namespace {

// Boxes answered in turn: the whole-flash question first, then any
// overwrite question.
class QueuedBoxes : public ScriptedDialogs {
 public:
  int AskYesNoCancel(const std::string& text, const QuestionButtons& buttons) override {
    std::lock_guard lock(mutex);
    boxes.push_back(text);
    boxButtons.push_back(buttons);
    if (answers.empty()) return 2;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<int> answers;
};

class ChosenReadBackTest : public PreprocFixture {
 protected:
  void SetUp() override {
    PreprocFixture::SetUp();
    dialogs = boxes;
  }
  void Ask(std::initializer_list<int> answers) { boxes->answers.assign(answers); }
  std::vector<std::unique_ptr<CJobRequest>> ReverseFlash() {
    StartThread();
    Post(WM_REVERSE_FLASH, kChosenReadBackRequest);
    return FlushJobs();
  }
  static std::vector<ImageRegion> Regions(const ReadBackPayload& p) {
    return std::vector<ImageRegion>(p.regions->begin(), p.regions->end());
  }
  std::shared_ptr<QueuedBoxes> boxes = std::make_shared<QueuedBoxes>();
};

TEST_F(ChosenReadBackTest, TheWholeFlashIsReadIntoTheFileTheUserNames) {
  Ask({kAnswerYes});
  dialogs->saveAnswer = folder.File("radio.s19");
  GetAppSettings().SetAppInt(APP_INT_REVERSE_FLASH_RECORD_LENGTH, 37);
  auto jobs = ReverseFlash();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_REVERSE_FLASH);
  EXPECT_EQ(jobs[0]->device, kSelectedCom);
  auto* payload = jobs[0]->payload.Get<ReadBackPayload>();
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(Regions(*payload), (std::vector<ImageRegion>{{0x0, 0x3000, nullptr}}));
  EXPECT_EQ(payload->outputAddress, 0x0u);
  EXPECT_EQ(payload->readBaseAddress, 0x0u);
  EXPECT_EQ(payload->recordLength, 37);
  EXPECT_EQ(payload->outputFileName, folder.File("radio.s19"));
  ASSERT_EQ(dialogs->saved.size(), 1u);
  EXPECT_EQ(dialogs->saved[0].initialName, "rev_flash.s19");
  EXPECT_EQ(dialogs->saved[0].filter, kReadBackFileFilter);
  EXPECT_TRUE(dialogs->saved[0].promptOverwrite);
  EXPECT_TRUE(userIo.Prompts().empty()) << "the whole flash needs no sector dialog";
}

TEST_F(ChosenReadBackTest, ChosenSectorsAreReadWithTheDialogsAddressAndRecordLength) {
  Ask({kAnswerNo});
  dialogs->saveAnswer = folder.File("codeplug.s19");
  userIo.SetAnswerer([](const PromptSeen& p) {
    if (p.kind == PROMPT_REVERSE_FLASH_SECTORS && p.record) {
      // As the user-I/O thread answers: the settings' sectors, then the
      // dialog's list with the user's choice (the last sector only).
      auto& payload = *std::get<ReadBackPayload*>(p.askerRecord);
      SectorList answered = ProductSectors();
      SectorList dialog = ProductSectors();
      for (auto& sector : dialog.sectors) sector.selected = 0;
      dialog.sectors[2].selected = 1;
      answered.sectors.insert(answered.sectors.end(), dialog.sectors.begin(), dialog.sectors.end());
      payload.options.SetSectorList(answered);
      payload.outputAddress = 0x10000;
      payload.recordLength = 20;
    }
    return 1;
  });
  auto jobs = ReverseFlash();
  ASSERT_EQ(jobs.size(), 1u);
  auto* payload = jobs[0]->payload.Get<ReadBackPayload>();
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(Regions(*payload), (std::vector<ImageRegion>{{0x2000, 0x1000, nullptr}}));
  EXPECT_EQ(payload->outputAddress, 0x10000u);
  EXPECT_EQ(payload->readBaseAddress, 0x2000u);
  EXPECT_EQ(payload->recordLength, 20);
  EXPECT_EQ(payload->options.GetSectorList().sectors.size(), 3u);
  EXPECT_EQ(userIo.PromptKinds(), std::vector<int>{PROMPT_REVERSE_FLASH_SECTORS});
}

TEST_F(ChosenReadBackTest, NoChosenSectorIsRefusedWithItsReason) {
  Ask({kAnswerNo});
  dialogs->saveAnswer = folder.File("none.s19");
  userIo.SetAnswerer([](const PromptSeen&) { return 1; });  // OK, nothing chosen
  EXPECT_TRUE(ReverseFlash().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> no sectors selected for reverse flashing"));
  ASSERT_TRUE(userIo.WaitPrompts(2));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{PROMPT_REVERSE_FLASH_SECTORS, PROMPT_ERROR}));
  EXPECT_TRUE(dialogs->saved.empty());
}

TEST_F(ChosenReadBackTest, CancelAtTheQuestionAsksNothingMore) {
  Ask({kAnswerCancel});
  EXPECT_TRUE(ReverseFlash().empty());
  EXPECT_TRUE(dialogs->saved.empty());
  EXPECT_TRUE(userIo.Prompts().empty());
}

struct OverwriteCase {
  const char* name;
  std::vector<int> answers;  // after the whole-flash Yes
  bool queued;
  std::size_t saveDialogs;
};

class ExistingFile : public ChosenReadBackTest, public ::testing::WithParamInterface<OverwriteCase> {};

// A file that exists is never replaced without asking: Yes replaces it, No
// asks for another name, Cancel reads nothing.
TEST_P(ExistingFile, IsReplacedOnlyWhenTheUserSaysSo) {
  const std::string path = folder.File("kept.s19");
  std::ofstream(path) << "S0030000FC\n";
  boxes->answers = {kAnswerYes};
  boxes->answers.insert(boxes->answers.end(), GetParam().answers.begin(), GetParam().answers.end());
  dialogs->saveAnswer = path;
  EXPECT_EQ(ReverseFlash().size(), GetParam().queued ? 1u : 0u);
  EXPECT_EQ(dialogs->saved.size(), GetParam().saveDialogs);
  ASSERT_GE(boxes->boxes.size(), 2u);
  EXPECT_EQ(boxes->boxes[1], "File already exists. Overwrite it?");
}

INSTANTIATE_TEST_SUITE_P(Answers, ExistingFile,
                         ::testing::Values(OverwriteCase{"Yes", {kAnswerYes}, true, 1},
                                           OverwriteCase{"NoThenYes", {kAnswerNo, kAnswerYes}, true, 2},
                                           OverwriteCase{"Cancel", {kAnswerCancel}, false, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChosenReadBackSectors, IsTheDialogsHalfOfTheAnswer) {
  SectorList answered;
  answered.sectors = {{0x0, 0x10, "A", 0}, {0x10, 0x10, "B", 0}, {0x0, 0x10, "A", 1}, {0x10, 0x10, "B", 0}};
  answered.processorName = "HARROW";
  const SectorList chosen = ChosenReadBackSectors(answered);
  EXPECT_EQ(chosen.sectors, (std::vector<SectorEntry>{{0x0, 0x10, "A", 1}, {0x10, 0x10, "B", 0}}));
  EXPECT_EQ(chosen.processorName, "HARROW");
}

}  // namespace
}  // namespace preproc_test
