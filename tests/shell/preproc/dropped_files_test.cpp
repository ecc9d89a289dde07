#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "preproc_fixture.h"

namespace preproc_test {
namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class DroppedFiles : public PreprocFixture {
 protected:
  void SetUp() override {
    PreprocFixture::SetUp();
    std::filesystem::create_directories(outside());
  }
  std::filesystem::path outside() const { return folder.Path() / "elsewhere"; }
  void Drop(std::vector<std::string> paths) {
    ASSERT_TRUE(PostToTarget<WM_FILES_DROPPED>(PT_PREPROCESSING,
                             std::make_unique<std::vector<std::string>>(std::move(paths))));
  }
};

TEST_F(DroppedFiles, OneImageWithAutoEraseOffAsksForTheSectors) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  Answer({1});
  StartThread();
  Drop({"/images/app.s19"});
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_FLASH);
  EXPECT_EQ(jobs[0]->device, kSelectedCom);
  auto* payload = jobs[0]->payload.Get<FileJobPayload>();
  EXPECT_EQ(payload->imageFileName, "/images/app.s19.target");  // through the shortcut expansion
  EXPECT_EQ(payload->options.GetSectorList(), DialogSectors());
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "/images/app.s19");
  EXPECT_TRUE(userIo.WaitLog("/images/app.s19 dragged & dropped into Quillon"));
  EXPECT_EQ(userIo.PromptKinds(), std::vector<int>{0});
}

TEST_F(DroppedFiles, OneImageWhoseSectorDialogIsCancelledQueuesNothing) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  Answer({2});
  StartThread();
  Drop({"/images/app.s19"});
  EXPECT_TRUE(FlushJobs().empty());
  FlushUserIo();
  EXPECT_EQ(userIo.CountLogs("dragged & dropped"), 0u);
}

TEST_F(DroppedFiles, TwoImagesWithAutoEraseOffAskToEnableIt) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  Answer({6});
  StartThread();
  Drop({"/images/a.s19", "/images/b.hex"});
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 2u);
  for (const auto& job : jobs) {
    EXPECT_EQ(job->jobCode, WM_FLASH);
    EXPECT_EQ(job->payload.Options()->GetSectorList(), ProductSectors());
  }
  EXPECT_EQ(userIo.PromptKinds(), std::vector<int>{8});
  EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_AUTO_ERASE_FLASH), 1);
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "/images/b.hex");
}

TEST_F(DroppedFiles, TwoImagesRefusedAutoEraseQueueNothingAndWaitForTheErrorBox) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  Answer({7, 1});
  StartThread();
  Drop({"/images/a.s19", "/images/b.s19"});
  EXPECT_TRUE(FlushJobs().empty());
  const auto prompts = userIo.Prompts();
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_EQ(prompts[1].kind, PROMPT_ERROR);
  EXPECT_EQ(prompts[1].wantReply, 1);  // the drop waits for the error box
}

// The radio's loader reads S-records only: a dropped radio image that is
// not is refused with a line that says so and the error box, queues
// nothing and is not remembered.
TEST_F(DroppedFiles, ARadioImageThatIsNotSRecordsIsRefusedAsSuch) {
  const std::string image = (folder.Path() / "dump.hex").string();
  // The file the drop's shortcut expansion leads to.
  std::ofstream(image + ".target", std::ios::binary) << std::string("\x00\x01\x02binary", 9);
  Answer({1});
  StartThread();
  Drop({image});
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog(image + " is not an S-record file"));
  FlushUserIo();
  ASSERT_EQ(userIo.Prompts().size(), 1u);
  EXPECT_EQ(userIo.Prompts()[0].kind, PROMPT_ERROR);
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "sentinel.hex");
}

TEST_F(DroppedFiles, UsbModeSendsBinFilesToTheSmartphoneAndImagesToEveryUsbDevice) {
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  StartThread();
  Drop({"/phone/data.BIN", "/images/app.s19"});
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0]->jobCode, WM_RALIX_FLASH_FILE);
  EXPECT_EQ(jobs[0]->device, DEVICE_SMARTPHONE);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, "/phone/data.BIN.target");
  EXPECT_EQ(jobs[1]->jobCode, WM_FLASH);
  EXPECT_EQ(jobs[1]->device, DEVICE_UNASSIGNED);
  // The smartphone file never enters the recent files.
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "/images/app.s19");
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 1), "sentinel.hex");
}

TEST_F(DroppedFiles, Rs232SendsBinFilesToTheSelectedPort) {
  StartThread();
  Drop({"/phone/data.bin"});
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_RALIX_FLASH_FILE);
  EXPECT_EQ(jobs[0]->device, kSelectedCom);
}

TEST_F(DroppedFiles, GpsChipImagesNeedRs232AndStopTheRestOtherwise) {
  StartThread();
  Drop({"/gps/chip.s", "/gps/CHIP.S"});  // ".S" is no GPS-chip image: a plain flash
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0]->jobCode, WM_ORVIX_FLASH);
  EXPECT_EQ(jobs[0]->device, kSelectedCom);
  EXPECT_EQ(jobs[1]->jobCode, WM_FLASH);

  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  Drop({"/images/first.s19", "/gps/chip.s", "/images/after.s19"});
  jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, "/images/first.s19.target");
  EXPECT_TRUE(userIo.WaitLog("Error> Orvix Flash is only available in RS232 mode"));
}

TEST_F(DroppedFiles, AnExistingMenuFileAnsweredNoIsSkippedAndTheRestProcessed) {
  WriteText(folder.Path() / "menu.xml", "old");
  WriteText(outside() / "menu.xml", "new");
  WriteText(outside() / "fresh.XML", "fresh");
  dialogs->boxAnswer = 7;
  StartThread();
  Drop({(outside() / "menu.xml").string(), "/images/app.s19", (outside() / "fresh.XML").string()});
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, "/images/app.s19.target");
  EXPECT_EQ(ReadText(folder.Path() / "menu.xml"), "old");
  EXPECT_EQ(ReadText(folder.Path() / "fresh.XML"), "fresh");
  EXPECT_EQ(dialogs->boxes, std::vector<std::string>{"File already exists. Overwrite it?"});
  ASSERT_TRUE(userIo.WaitMessage(WM_RELOAD_CUSTOM_MENU));
  EXPECT_TRUE(userIo.WaitLog("Copying " + (outside() / "fresh.XML").string() + " to the Quillon directory as " +
                             (folder.Path() / "fresh.XML").string() + "."));
  FlushUserIo();
  EXPECT_EQ(userIo.CountLogs("menu.xml dragged"), 0u);
}

TEST_F(DroppedFiles, AnExistingMenuFileAnsweredYesIsReplaced) {
  WriteText(folder.Path() / "menu.xml", "old");
  WriteText(outside() / "menu.xml", std::string(20000, 'x'));
  dialogs->boxAnswer = 6;
  StartThread();
  Drop({(outside() / "menu.xml").string()});
  EXPECT_TRUE(FlushJobs().empty());
  ASSERT_TRUE(userIo.WaitMessage(WM_RELOAD_CUSTOM_MENU));
  EXPECT_EQ(ReadText(folder.Path() / "menu.xml"), std::string(20000, 'x'));
}

TEST_F(DroppedFiles, AMenuFileDroppedOntoItselfKeepsItsContentAndAsksNothing) {
  WriteText(folder.Path() / "menu.xml", "<content/>");
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  dialogs->boxAnswer = 6;
  StartThread();
  Drop({(folder.Path() / "menu.xml").string()});
  EXPECT_TRUE(FlushJobs().empty());
  FlushUserIo();
  EXPECT_EQ(ReadText(folder.Path() / "menu.xml"), "<content/>");
  EXPECT_TRUE(dialogs->boxes.empty());
  // Only menu files: nothing about auto erase is asked.
  EXPECT_TRUE(userIo.Prompts().empty());
}

TEST_F(DroppedFiles, AMenuFileThatCannotBeReadIsReported) {
  StartThread();
  const std::string missing = (outside() / "missing.xml").string();
  Drop({missing, "/images/app.s19"});
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> Unable to copy " + missing + " to " + (folder.Path() / "missing.xml").string() +
                             "."));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "missing.xml"));
}

TEST_F(DroppedFiles, PathsAreTakenWhole) {
  const std::string longPath = "/images/" + std::string(300, 'd') + "/app.s19";
  StartThread();
  Drop({longPath});
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, longPath + ".target");
}

}  // namespace
}  // namespace preproc_test
