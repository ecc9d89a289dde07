#include <fstream>
#include <gtest/gtest.h>

#include "preproc_fixture.h"
#include "shell/userio/product_selection.h"

namespace preproc_test {
namespace {

// Settings: the settings' own; Cleared: the settings' sectors with every
// selected flag cleared (after a merge); Dialog: as the dialog filled them.
enum class Sectors { Settings, Cleared, Dialog, Empty };

SectorList ClearedProductSectors() {
  SectorList list = ProductSectors();
  for (auto& sector : list.sectors) sector.selected = 0;
  return list;
}

struct MenuCase {
  const char* name;
  std::uint32_t message;
  int protocol;  // option 0: 0 RS232, 1 USB
  std::uint32_t jobCode;  // 0: nothing is queued
  DeviceNumber device;
  JobPayloadKind kind;
  std::int32_t flagA;
  Sectors sectors;
  const char* errorLine;  // logged when nothing is queued; null for none
};

constexpr DeviceNumber kUsb = DEVICE_UNASSIGNED;

class MenuRequests : public PreprocFixture, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(MenuRequests, QueueTheJobTheMenuAsksFor) {
  const MenuCase& c = GetParam();
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, c.protocol);
  dialogs->openAnswer = "chosen.file";
  dialogs->saveAnswer = "dump.ram";
  Answer({1});  // the erase dialog
  StartThread();

  Post(c.message);
  auto jobs = FlushJobs();

  if (c.jobCode == 0) {
    EXPECT_TRUE(jobs.empty());
    ASSERT_TRUE(userIo.WaitLog(c.errorLine));
    ASSERT_TRUE(userIo.WaitPrompts(1));
    EXPECT_EQ(userIo.Prompts().back().kind, PROMPT_ERROR);
    EXPECT_EQ(userIo.Prompts().back().wantReply, 0);
    return;
  }
  ASSERT_EQ(jobs.size(), 1u);
  const CJobRequest& job = *jobs[0];
  EXPECT_EQ(job.jobCode, c.jobCode);
  EXPECT_EQ(job.device, c.device);
  EXPECT_EQ(job.payload.Kind(), c.kind);
  EXPECT_EQ(job.senderFlagB, 0);
  EXPECT_EQ(job.senderFlagA, c.flagA);
  EXPECT_EQ(job.interactive, 1);
  ASSERT_NE(job.payload.Options(), nullptr);
  EXPECT_EQ(job.payload.Options()->GetIntParam(OPTION_SERIAL_PORT), kSerialPortIndex);
  const SectorList sectors = job.payload.Options()->GetSectorList();
  switch (c.sectors) {
    case Sectors::Settings: EXPECT_EQ(sectors, ProductSectors()); break;
    case Sectors::Cleared: EXPECT_EQ(sectors, ClearedProductSectors()); break;
    case Sectors::Dialog: EXPECT_EQ(sectors, DialogSectors()); break;
    case Sectors::Empty: EXPECT_EQ(sectors, SectorList{}); break;
  }
  if (auto* file = job.payload.Get<FileJobPayload>()) {
    EXPECT_EQ(file->imageFileName, "chosen.file");
  }
  if (auto* dump = job.payload.Get<RamDumpPayload>()) {
    EXPECT_EQ(dump->outputFileName, "dump.ram");
    ASSERT_NE(dump->regions, nullptr);
    EXPECT_TRUE(dump->regions->Empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MenuRequests,
    ::testing::Values(
        MenuCase{"EraseRs232", WM_ERASE, 0, WM_ERASE, kSelectedCom, JobPayloadKind::Options, 1, Sectors::Dialog, nullptr},
        MenuCase{"EraseUsb", WM_ERASE, 1, WM_ERASE, kUsb, JobPayloadKind::Options, 1, Sectors::Dialog, nullptr},
        MenuCase{"OrvixFlashRs232", WM_ORVIX_FLASH, 0, WM_ORVIX_FLASH, kSelectedCom, JobPayloadKind::File, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"OrvixFlashUsb", WM_ORVIX_FLASH, 1, 0, 0, JobPayloadKind::None, 0, Sectors::Settings,
                 "Error> Orvix Flash is only available in RS232 mode"},
        MenuCase{"OrvixEraseRs232", WM_ORVIX_ERASE, 0, WM_ORVIX_ERASE, kSelectedCom, JobPayloadKind::Options, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"OrvixEraseUsb", WM_ORVIX_ERASE, 1, 0, 0, JobPayloadKind::None, 0, Sectors::Settings,
                 "Error> Orvix Erase is only available in RS232 mode"},
        MenuCase{"FlashpackExtractRs232", WM_FLASHPACK_MANAGER, 0, WM_FLASHPACK_EXTRACT, kSelectedCom,
                 JobPayloadKind::Options, 0, Sectors::Settings, nullptr},
        MenuCase{"FlashpackExtractUsb", WM_FLASHPACK_MANAGER, 1, WM_FLASHPACK_EXTRACT, kUsb, JobPayloadKind::Options,
                 0, Sectors::Settings, nullptr},
        MenuCase{"MagicKeyRs232", WM_PROGRAM_MAGIC_KEY, 0, WM_PROGRAM_MAGIC_KEY, kSelectedCom,
                 JobPayloadKind::Options, 1, Sectors::Settings, nullptr},
        MenuCase{"MagicKeyUsb", WM_PROGRAM_MAGIC_KEY, 1, WM_PROGRAM_MAGIC_KEY, kUsb, JobPayloadKind::Options, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"CommCheckRs232", WM_COMM_CHECK, 0, WM_COMM_CHECK, kSelectedCom, JobPayloadKind::Options, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"CommCheckUsb", WM_COMM_CHECK, 1, WM_COMM_CHECK, kUsb, JobPayloadKind::Options, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"ResetTargetRs232", WM_RESET_TARGET, 0, WM_RESET_TARGET, kSelectedCom, JobPayloadKind::Options, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"ResetTargetUsb", WM_RESET_TARGET, 1, WM_RESET_TARGET, kUsb, JobPayloadKind::Options, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"FormatRs232", WM_RALIX_FORMAT, 0, WM_RALIX_FORMAT, DEVICE_SMARTPHONE, JobPayloadKind::Options, 1,
                 Sectors::Empty, nullptr},
        MenuCase{"FormatUsb", WM_RALIX_FORMAT, 1, WM_RALIX_FORMAT, DEVICE_SMARTPHONE, JobPayloadKind::Options, 1,
                 Sectors::Empty, nullptr},
        MenuCase{"SmartphoneFileRs232", WM_RALIX_FLASH_FILE, 0, WM_RALIX_FLASH_FILE, DEVICE_SMARTPHONE,
                 JobPayloadKind::File, 1, Sectors::Settings, nullptr},
        MenuCase{"SmartphoneFileUsb", WM_RALIX_FLASH_FILE, 1, WM_RALIX_FLASH_FILE, DEVICE_SMARTPHONE,
                 JobPayloadKind::File, 1, Sectors::Settings, nullptr},
        MenuCase{"RamDumpRs232", WM_RAM_DUMP, 0, WM_RAM_DUMP, kSelectedCom, JobPayloadKind::RamDump, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"RamDumpUsb", WM_RAM_DUMP, 1, 0, 0, JobPayloadKind::None, 0, Sectors::Settings,
                 "Error> Ram dumps must be done using RS232 at 115200bps"},
        MenuCase{"FlashFileRs232", WM_FLASH_IMAGE_FILE, 0, WM_FLASH, kSelectedCom, JobPayloadKind::File, 1,
                 Sectors::Settings, nullptr},
        MenuCase{"FlashFileUsb", WM_FLASH_IMAGE_FILE, 1, WM_FLASH, kUsb, JobPayloadKind::File, 1, Sectors::Settings,
                 nullptr},
        MenuCase{"ReverseFlashRs232", WM_REVERSE_FLASH, 0, WM_REVERSE_FLASH, kSelectedCom, JobPayloadKind::ReadBack,
                 1, Sectors::Cleared, nullptr},
        MenuCase{"ReverseFlashUsb", WM_REVERSE_FLASH, 1, WM_REVERSE_FLASH, kUsb, JobPayloadKind::ReadBack, 1,
                 Sectors::Cleared, nullptr}),
    [](const ::testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

// Flash File asks for an S-record image and queues it as a recent file is:
// it heads the recent files, and with auto erase off the sector dialog,
// which names the image, chooses the sectors.
TEST_F(PreprocFixture, FlashFileAsksForTheSectorsOfTheChosenImageByName) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  const std::string image = (folder.Path() / "radio.s19").string();
  std::ofstream(image) << "S00600004844521B\nS9030000FC\n";
  dialogs->openAnswer = image;
  Answer({1});
  StartThread();
  Post(WM_FLASH_IMAGE_FILE);
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_FLASH);
  EXPECT_EQ(jobs[0]->device, kSelectedCom);
  ASSERT_NE(jobs[0]->payload.Get<FileJobPayload>(), nullptr);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, image);
  EXPECT_EQ(jobs[0]->payload.Options()->GetSectorList(), DialogSectors());
  ASSERT_EQ(dialogs->opened.size(), 1u);
  EXPECT_EQ(dialogs->opened[0].filter, kImageFileFilter);
  FlushUserIo();
  ASSERT_EQ(userIo.Prompts().size(), 1u);
  EXPECT_EQ(userIo.Prompts()[0].kind, 0);
  EXPECT_EQ(userIo.Prompts()[0].subject, "radio.s19");
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), image);
}

TEST_F(PreprocFixture, FlashFileCancelledQueuesNothingAndShowsNothing) {
  StartThread();
  Post(WM_FLASH_IMAGE_FILE);
  EXPECT_TRUE(FlushJobs().empty());
  FlushUserIo();
  EXPECT_TRUE(userIo.Prompts().empty());
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "sentinel.hex");
}

TEST_F(PreprocFixture, EraseAnsweredCancelQueuesNothingAndShowsNothing) {
  Answer({2});
  StartThread();
  Post(WM_ERASE);
  EXPECT_TRUE(FlushJobs().empty());
  FlushUserIo();
  EXPECT_EQ(userIo.PromptKinds(), std::vector<int>{0});
}

TEST_F(PreprocFixture, EraseAnsweredAbortShowsTheErrorPrompt) {
  Answer({3});
  StartThread();
  Post(WM_ERASE);
  EXPECT_TRUE(FlushJobs().empty());
  ASSERT_TRUE(userIo.WaitPrompts(2));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{0, PROMPT_ERROR}));
}

// OK with no sector chosen would queue an erase that erases nothing and
// ends "Complete": it is refused with its reason instead.
TEST_F(PreprocFixture, EraseWithNoSectorChosenIsRefusedWithItsReason) {
  userIo.SetAnswerer([](const PromptSeen& p) {
    if (p.kind == 0 && p.record) {
      SectorList none = ProductSectors();
      for (auto& sector : none.sectors) sector.selected = 0;
      *std::get<SectorList*>(p.askerRecord) = none;
    }
    return 1;
  });
  StartThread();
  Post(WM_ERASE);
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> No sectors selected to erase"));
  ASSERT_TRUE(userIo.WaitPrompts(2));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{0, PROMPT_ERROR}));
}

TEST_F(PreprocFixture, RamDumpAtAnotherRateIsRefusedOverRs232Too) {
  GetAppSettings().SetIntParam(OPTION_DATA_RATE, 1);
  dialogs->saveAnswer = "dump.ram";
  StartThread();
  Post(WM_RAM_DUMP);
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> Ram dumps must be done using RS232 at 115200bps"));
  EXPECT_TRUE(dialogs->saved.empty());
}

TEST_F(PreprocFixture, CancelledFileDialogsQueueNothingAndShowNothing) {
  StartThread();
  for (std::uint32_t m : {WM_ORVIX_FLASH, WM_RALIX_FLASH_FILE, WM_RAM_DUMP, WM_RUN_SCRIPT_FILE}) Post(m);
  EXPECT_TRUE(FlushJobs().empty());
  FlushUserIo();
  EXPECT_TRUE(userIo.Prompts().empty());
  EXPECT_TRUE(runnerLog->Calls().empty());
  ASSERT_EQ(dialogs->opened.size(), 3u);
  EXPECT_EQ(dialogs->opened[0].defaultExtension, "s");
  EXPECT_EQ(dialogs->opened[0].filter, kSRecordFilter);
  EXPECT_EQ(dialogs->opened[1].defaultExtension, "bin");
  EXPECT_EQ(dialogs->opened[1].filter, kDataFileFilter);
  EXPECT_EQ(dialogs->opened[2].defaultExtension, "qls");
  EXPECT_EQ(dialogs->opened[2].filter, kScriptFilter);
  ASSERT_EQ(dialogs->saved.size(), 1u);
  EXPECT_EQ(dialogs->saved[0].initialName, "*.ram");
  EXPECT_EQ(dialogs->saved[0].title, "Save ram dump as ...");
}

TEST_F(PreprocFixture, FlashpackExtractWithoutAutoEraseAsksToEnableIt) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  Answer({7, 6});
  StartThread();
  Post(WM_FLASHPACK_MANAGER);  // No: refused
  Post(WM_FLASHPACK_MANAGER);  // Yes: auto erase is set and the job queued
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_FLASHPACK_EXTRACT);
  EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_AUTO_ERASE_FLASH), 1);
  EXPECT_TRUE(userIo.WaitLog("Error> Auto erase must be enabled to perform this operation"));
  ASSERT_TRUE(userIo.WaitPrompts(3));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{8, PROMPT_ERROR, 8}));
}

TEST_F(PreprocFixture, UserPromptFromTheMainWindowAbortedShowsTheError) {
  Answer({1, 3});
  StartThread();
  Post(WM_USER_PROMPT, 4);
  Post(WM_USER_PROMPT, 6);
  ASSERT_TRUE(userIo.WaitPrompts(3));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{4, 6, PROMPT_ERROR}));
  EXPECT_EQ(userIo.Prompts()[0].record, 0);
}

TEST_F(PreprocFixture, ForwardedMessagesKeepTheirParametersAndPayload) {
  StartThread();
  ASSERT_TRUE(PostToTarget<WM_RETRY_DEVICE>(PT_PREPROCESSING, 131));
  auto selection = std::make_unique<ProductSelection>(ProductSelection{"p.ini", "TAG"});
  const auto record = reinterpret_cast<platform::WParam>(selection.get());
  ASSERT_TRUE(PostToTarget<WM_SELECT_PRODUCT>(PT_PREPROCESSING, std::move(selection), 6));
  auto jobs = FlushJobs();
  EXPECT_TRUE(jobs.empty());
  EXPECT_EQ(forwarded, std::vector<std::uint32_t>{WM_RETRY_DEVICE});
  ASSERT_TRUE(userIo.WaitMessageWith(WM_SELECT_PRODUCT, record));
}

TEST_F(PreprocFixture, AMessagePostedWhileWaitingForAnAnswerIsHandledAfterwardsInOrder) {
  // The user answers the erase dialog only after the main window has sent
  // two more requests; they wait behind the answer and run in order.
  userIo.SetAnswerer([](const PromptSeen& p) {
    if (p.kind == 0) {
      PostToTarget<WM_COMM_CHECK>(PT_PREPROCESSING);
      PostToTarget<WM_RESET_TARGET>(PT_PREPROCESSING);
      *std::get<SectorList*>(p.askerRecord) = DialogSectors();
    }
    return 1;
  });
  StartThread();
  Post(WM_ERASE);
  ASSERT_TRUE(userIo.WaitPrompts(1));
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[0]->jobCode, WM_ERASE);
  EXPECT_EQ(jobs[0]->payload.Options()->GetSectorList(), DialogSectors());
  EXPECT_EQ(jobs[1]->jobCode, WM_COMM_CHECK);
  EXPECT_EQ(jobs[2]->jobCode, WM_RESET_TARGET);
}

TEST_F(PreprocFixture, QuitEndsTheThread) {
  StartThread();
  Post(WM_QUIT_THREAD);
  thread->Join();
  EXPECT_FALSE(thread->Running());
  EXPECT_FALSE(PostToTarget<WM_COMM_CHECK>(PT_PREPROCESSING));
}

}  // namespace
}  // namespace preproc_test
