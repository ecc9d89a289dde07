#include "shell/requests/flash_requests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../support/shell_targets.h"
#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/quillon_exception.h"
#include "shell/requests/prompt_asker.h"

namespace {

using shell_test::CoreRecorder;
using shell_test::PromptSeen;
using shell_test::UserIoStandIn;
using shell_test::WorkingFolder;

SectorList SettingsSectors() {
  SectorList list;
  list.sectors = {{0x0, 0x1000, "BOOT", 0}, {0x1000, 0x1000, "CODE", 1}};
  list.magicKeyPartition = "ALWAYS";
  list.processorName = "CALDER";
  return list;
}

SectorList DialogSectors() {
  SectorList list;
  list.sectors = {{0x4000, 0x2000, "CODEPLUG", 1}};
  list.magicKeyPartition = "KEY";
  list.processorName = "HARROW";
  return list;
}

class FlashRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    CAppSettings& s = GetAppSettings();
    s.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    s.SetIntParam(OPTION_SERIAL_PORT, 2);
    s.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    s.SetIntParam(OPTION_OVERRIDE_CHECKSUM, 1);
    s.SetSectorList(SettingsSectors());
    s.SetAppString(APP_STRING_RECENT_FILE, "sentinel.s19");
    // The erase dialog fills the asker's selection on OK.
    userIo.SetAnswerer([this](const PromptSeen& p) {
      if (answer == kAnswerOk && p.kind == 0 && p.record) {
        *std::get<SectorList*>(p.askerRecord) = DialogSectors();
      }
      return answer;
    });
    SetTargetThread(PT_PREPROCESSING, own.handle());
  }
  void TearDown() override { SetTargetThread(PT_PREPROCESSING, platform::kNoHandle); }

  // A file that holds S-records, as a radio image does.
  static void WriteImage(const std::string& path, const std::string& text = "S00600004844521B\r\nS9030000FC\r\n") {
    std::ofstream(path, std::ios::binary) << text;
  }
  void ExpectNothingQueued() { EXPECT_EQ(core.NextJob(std::chrono::milliseconds(0)), nullptr); }

  WorkingFolder folder;
  UserIoStandIn userIo;
  CoreRecorder core;
  platform::RegisteredQueue own;
  CQueuePromptAsker asker{own.queue(), PT_PREPROCESSING};
  int answer = kAnswerOk;
};

TEST_F(FlashRequests, AutoEraseQueuesAFlashWithTheSettingsSectorsAndAsksNothing) {
  FlashImageFile(asker, "image.s19");
  auto job = core.NextJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->jobCode, WM_FLASH);
  EXPECT_EQ(job->device, 129);  // COM3
  EXPECT_EQ(job->senderFlagB, 0);
  EXPECT_EQ(job->senderFlagA, 1);
  EXPECT_EQ(job->interactive, 1);
  auto* payload = job->payload.Get<FileJobPayload>();
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(payload->imageFileName, "image.s19");
  EXPECT_EQ(payload->loadedImage, nullptr);
  EXPECT_EQ(payload->options.GetSectorList(), SettingsSectors());
  EXPECT_EQ(payload->options.GetIntParam(OPTION_OVERRIDE_CHECKSUM), 1);
  EXPECT_TRUE(userIo.Prompts().empty());
}

TEST_F(FlashRequests, UsbProtocolSendsTheFlashToEveryUsbDevice) {
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  FlashImageFile(asker, "image.s19");
  auto job = core.NextJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->device, DEVICE_UNASSIGNED);
}

TEST_F(FlashRequests, TheJobKeepsItsOptionsWhenTheSettingsChangeLater) {
  FlashImageFile(asker, "image.s19");
  GetAppSettings().SetIntParam(OPTION_OVERRIDE_CHECKSUM, 0);
  auto job = core.NextJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->payload.Get<FileJobPayload>()->options.GetIntParam(OPTION_OVERRIDE_CHECKSUM), 1);
}

TEST_F(FlashRequests, WithoutAutoEraseTheAnswerDecides) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);

  answer = kAnswerOk;
  FlashImageFile(asker, "a.s19");
  auto job = core.NextJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->payload.Get<FileJobPayload>()->options.GetSectorList(), DialogSectors());

  answer = kAnswerCancel;
  EXPECT_NO_THROW(FlashImageFile(asker, "b.s19"));
  ExpectNothingQueued();

  answer = kAnswerNo;  // any answer but OK and abort queues nothing either
  EXPECT_NO_THROW(FlashImageFile(asker, "c.s19"));
  ExpectNothingQueued();

  answer = kAnswerAbort;
  EXPECT_THROW(FlashImageFile(asker, "d.s19"), QUILLON_EXCEPTION);
  ExpectNothingQueued();

  auto prompts = userIo.Prompts();
  ASSERT_EQ(prompts.size(), 4u);
  for (const auto& p : prompts) {
    EXPECT_EQ(p.kind, 0);  // the erase-sectors dialog
    EXPECT_EQ(p.replyTarget, PT_PREPROCESSING);
    EXPECT_EQ(p.wantReply, 1);
    EXPECT_NE(p.record, 0);
  }
}

TEST_F(FlashRequests, MessagesPostedWhileWaitingForTheAnswerStayQueuedInOrder) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  userIo.SetAnswerer([this](const PromptSeen&) {
    PostToTarget<WM_COMM_CHECK>(PT_PREPROCESSING, 1);
    PostToTarget<WM_RESET_TARGET>(PT_PREPROCESSING, 2);
    return kAnswerOk;
  });
  FlashImageFile(asker, "image.s19");
  ASSERT_NE(core.NextJob(), nullptr);
  auto first = own.queue().TryGet();
  auto second = own.queue().TryGet();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->number, WM_COMM_CHECK);
  EXPECT_EQ(second->number, WM_RESET_TARGET);
}

TEST_F(FlashRequests, NobodyToAskIsAnAbort) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  SetTargetThread(PT_USER_IO, platform::kNoHandle);
  EXPECT_THROW(FlashImageFile(asker, "image.s19"), QUILLON_EXCEPTION);
  ExpectNothingQueued();
}

struct RecentCase {
  const char* path;
  bool remembered;
  const char* folder;  // below the working folder; empty: unchanged
};

class FlashImageRecentFiles : public FlashRequests, public ::testing::WithParamInterface<RecentCase> {};

TEST_P(FlashImageRecentFiles, RecentFilesAndCurrentDirectory) {
  std::filesystem::create_directories(folder.Path() / "images" / "sub");
  const RecentCase& c = GetParam();
  std::string path = c.path;
  if (path.rfind("@/", 0) == 0) path = folder.Path().string() + path.substr(1);
  WriteImage(path);

  FlashImageFile(asker, path);

  const std::string head = GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0);
  EXPECT_EQ(head, c.remembered ? path : "sentinel.s19");
  const auto expectedDir = std::string(c.folder).empty() ? folder.Path() : folder.Path() / c.folder;
  EXPECT_EQ(std::filesystem::current_path(), expectedDir);
  auto job = core.NextJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->payload.Get<FileJobPayload>()->imageFileName, path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlashImageRecentFiles,
    ::testing::Values(RecentCase{"@/images/sub/app.s19", true, "images/sub"},
                      // A ".bin" in the list is sent to the smartphone when chosen
                      // again: the radio's flash never puts one there.
                      RecentCase{"@/images/APP.BIN", false, ""},
                      RecentCase{"app.S19", true, ""},       // no folder: the directory stays
                      RecentCase{"x.s19", true, ""},         // five characters
                      RecentCase{".s19", false, ""},         // four characters or fewer
                      RecentCase{"@/images/app.s", false, ""},
                      RecentCase{"@/images/app.hex", false, ""}));

TEST_F(FlashRequests, BackslashFoldersCountToo) {
  std::filesystem::create_directories(folder.Path() / "win");
  const std::string path = folder.Path().string() + "/win\\app.s19";
  WriteImage(path);
  FlashImageFile(asker, path);
  EXPECT_EQ(std::filesystem::current_path(), folder.Path() / "win");
}

// The radio's loader reads S-records only: anything else is refused with a
// line that says so before a job starts, and is not remembered; a file that
// does not open is left to the job, which names it.
TEST_F(FlashRequests, AFileThatIsNotSRecordsIsRefusedAndNotRemembered) {
  const std::string bin = (folder.Path() / "phone.bin").string();
  WriteImage(bin, std::string("\x7f" "ELF\x01\x02\x00\x00binary", 14));
  const std::string text = (folder.Path() / "notes.s19").string();
  WriteImage(text, "\n\nthis is not a record\n");
  for (const std::string& path : {bin, text}) {
    SCOPED_TRACE(path);
    EXPECT_THROW(FlashImageFile(asker, path), QUILLON_EXCEPTION);
    ExpectNothingQueued();
    EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "sentinel.s19");
  }
  const std::string missing = (folder.Path() / "gone.s19").string();
  FlashImageFile(asker, missing);
  EXPECT_NE(core.NextJob(), nullptr);
}

TEST_F(FlashRequests, ATemporaryImageIsNotRememberedAndItsJobHoldsIt) {
  auto hold = std::make_shared<int>(1);
  std::weak_ptr<int> watch = hold;
  FlashImageFile(asker, "cp.s19", FlashImageExtras{false, hold, "ended well", "cancelled"});
  hold.reset();
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "sentinel.s19");
  auto job = core.NextJob();
  ASSERT_NE(job, nullptr);
  EXPECT_FALSE(watch.expired());
  const auto* payload = job->payload.Get<FileJobPayload>();
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(payload->finishedNote, "ended well");
  EXPECT_EQ(payload->cancelledNote, "cancelled");
  job.reset();
  EXPECT_TRUE(watch.expired());
}

TEST_F(FlashRequests, SmartphoneFileGoesToTheSmartphoneWithTheSettingsSectors) {
  std::filesystem::create_directories(folder.Path() / "phone");
  const std::string bin = folder.Path().string() + "/phone/DATA.BIN";
  FlashSmartphoneFile(bin);
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), bin);
  EXPECT_EQ(std::filesystem::current_path(), folder.Path() / "phone");

  FlashSmartphoneFile("notes.txt");
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), bin);

  for (const char* expected : {bin.c_str(), "notes.txt"}) {
    auto job = core.NextJob();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->jobCode, WM_RALIX_FLASH_FILE);
    EXPECT_EQ(job->device, DEVICE_SMARTPHONE);
    EXPECT_EQ(job->senderFlagA, 1);
    EXPECT_EQ(job->interactive, 1);
    auto* payload = job->payload.Get<FileJobPayload>();
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->imageFileName, expected);
    EXPECT_EQ(payload->options.GetSectorList(), SettingsSectors());
  }
  EXPECT_TRUE(userIo.Prompts().empty());
}

}  // namespace
