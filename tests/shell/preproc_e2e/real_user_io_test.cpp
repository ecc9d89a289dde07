// The pre-processing thread with the real user-I/O thread and the scripted
// prompt service; a recording core thread collects the jobs.

#include <gtest/gtest.h>

#include "shell_threads_fixture.h"

namespace e2e_test {
namespace {

using shell_test::CoreRecorder;

constexpr const char* kProduct =
    "product Vexa_Series\n"
    "{\n"
    "    processor Harrow;\n"
    "    flash main size = 192K type = nor vendor = Intel\n"
    "    {\n"
    "        address = 0, sector_size = 8K, num_sectors = 8, type = CODE;\n"
    "        address = 0x10000, sector_size = 64K, num_sectors = 2, type = CODEPLUG;\n"
    "    }\n"
    "}\n";

class WithRealUserIo : public ShellThreads {
 protected:
  void SetUp() override {
    std::ofstream(folder.File("Quor_Plover.qlp")) << kProduct;
    StartUserIo();
    CAppSettings& s = GetAppSettings();
    s.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    s.SetIntParam(OPTION_SERIAL_PORT, 1);
    s.SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
    core = std::make_unique<CoreRecorder>();
    StartPreproc();
  }
  void TearDown() override {
    ShellThreads::TearDown();
    core.reset();
  }
  // The jobs queued so far: a cancel request with a sentinel device is
  // passed on to the core thread behind everything handled before it.
  std::vector<std::unique_ptr<CJobRequest>> Jobs() {
    constexpr platform::WParam kSentinel = 0x5E17;
    std::vector<std::unique_ptr<CJobRequest>> jobs;
    EXPECT_TRUE(PostToTarget<WM_CANCEL_DEVICE>(PT_PREPROCESSING, kSentinel));
    while (auto m = core->Next()) {
      if (m->number == WM_CANCEL_DEVICE && m->wParam == kSentinel) break;
      if (m->number == WM_QUEUE_JOB) jobs.push_back(m->Take<WM_QUEUE_JOB>());
    }
    Status();  // and what the thread posted to the user-I/O thread is handled
    return jobs;
  }
  // The erase dialog chooses the product's sector 2 and 3.
  void ChooseSectorsInDialogs() {
    prompts->SetDialogFiller([](PromptCall& call) {
      if (auto* erase = std::get_if<EraseSectorsDialogData>(&call.dialog)) {
        erase->chosen = erase->given;
        erase->chosen.sectors[2].selected = 1;
        erase->chosen.sectors[3].selected = 1;
      }
    });
  }

  std::unique_ptr<CoreRecorder> core;
};

TEST_F(WithRealUserIo, TheProductIsLoadedAndNoBoxWasShownAtStartUp) {
  EXPECT_EQ(GetAppSettings().GetSectorList().sectors.size(), 10u);
  EXPECT_TRUE(prompts->Prompts().empty()) << LogText();
}

TEST_F(WithRealUserIo, EraseAnsweredOkCancelAndAbort) {
  ChooseSectorsInDialogs();
  prompts->Script(kAnswerOk);
  prompts->Script(kAnswerCancel);
  prompts->Script(kAnswerAbort);
  PostToTarget<WM_ERASE>(PT_PREPROCESSING);
  PostToTarget<WM_ERASE>(PT_PREPROCESSING);
  PostToTarget<WM_ERASE>(PT_PREPROCESSING);
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_ERASE);
  EXPECT_EQ(jobs[0]->device, 128);
  const SectorList chosen = jobs[0]->payload.Options()->GetSectorList();
  ASSERT_EQ(chosen.sectors.size(), 10u);
  EXPECT_EQ(chosen.sectors[2].selected, 1u);
  EXPECT_EQ(chosen.sectors[3].selected, 1u);
  EXPECT_EQ(chosen.sectors[0].selected, 0u);
  const auto shown = prompts->Prompts();
  ASSERT_EQ(shown.size(), 4u);  // three dialogs, then the error box of the abort
  EXPECT_EQ(shown[0].kind, PROMPT_ERASE_SECTORS);
  EXPECT_EQ(shown[3].kind, PROMPT_ERROR);
}

TEST_F(WithRealUserIo, AGpsChipRequestInUsbModeQueuesNothingAndShowsWhy) {
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  PostToTarget<WM_ORVIX_ERASE>(PT_PREPROCESSING);
  EXPECT_TRUE(Jobs().empty());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error> Orvix Erase is only available in RS232 mode"});
}

TEST_F(WithRealUserIo, DroppedFiles) {
  // An existing custom-menu file answered No is skipped; the image is
  // flashed after the sector dialog; two images ask to enable auto erase.
  std::filesystem::create_directories(folder.Path() / "in");
  std::ofstream(folder.Path() / "menu.xml") << "old";
  std::ofstream(folder.Path() / "in" / "menu.xml") << "new";
  ChooseSectorsInDialogs();
  prompts->Script(kAnswerNo);   // overwrite?
  prompts->Script(kAnswerOk);   // the sector dialog
  prompts->Script(kAnswerYes);  // enable auto erase?
  ASSERT_TRUE(PostToTarget<WM_FILES_DROPPED>(PT_PREPROCESSING,
                           std::make_unique<std::vector<std::string>>(std::vector<std::string>{
                               (folder.Path() / "in" / "menu.xml").string(), "/images/one.s19"})));
  ASSERT_TRUE(PostToTarget<WM_FILES_DROPPED>(PT_PREPROCESSING,
                           std::make_unique<std::vector<std::string>>(
                               std::vector<std::string>{"/images/two.s19", "/images/three.s19"})));
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, "/images/one.s19");
  EXPECT_EQ(jobs[0]->payload.Options()->GetSectorList().sectors[2].selected, 1u);
  EXPECT_EQ(jobs[2]->payload.Get<FileJobPayload>()->imageFileName, "/images/three.s19");
  EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_AUTO_ERASE_FLASH), 1);
  const auto shown = prompts->Prompts();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text, "File already exists. Overwrite it?");
  EXPECT_EQ(shown[0].caption, "Vexa20 Flash");
  EXPECT_EQ(shown[1].kind, PROMPT_ERASE_SECTORS);
  EXPECT_EQ(shown[2].text, "Auto erase flash memory is not enabled\r\nDo you wish to enable auto erase and continue");
  std::ifstream kept(folder.Path() / "menu.xml");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old");
  EXPECT_NE(LogText().find("/images/one.s19 dragged & dropped into Quillon"), std::string::npos);
}

TEST_F(WithRealUserIo, AMessagePostedWhileWaitingForAPromptIsHandledAfterwardsInOrder) {
  prompts->SetDialogFiller([](PromptCall& call) {
    if (auto* erase = std::get_if<EraseSectorsDialogData>(&call.dialog)) {
      // A sector is chosen: an erase of none is refused.
      erase->chosen = erase->given;
      erase->chosen.sectors[2].selected = 1;
      PostToTarget<WM_COMM_CHECK>(PT_PREPROCESSING);
      PostToTarget<WM_RESET_TARGET>(PT_PREPROCESSING);
    }
  });
  prompts->Script(kAnswerOk);
  PostToTarget<WM_ERASE>(PT_PREPROCESSING);
  std::vector<std::uint32_t> codes;
  for (int i = 0; i < 3; ++i) {
    auto job = core->NextJob();
    ASSERT_NE(job, nullptr);
    codes.push_back(job->jobCode);
  }
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{WM_ERASE, WM_COMM_CHECK, WM_RESET_TARGET}));
}

}  // namespace
}  // namespace e2e_test
