#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "engine/core/flashpack_status_record.h"
#include "preproc_fixture.h"

namespace preproc_test {
namespace {

// ---- recent files ---------------------------------------------------------------

TEST_F(PreprocFixture, RecentFilesPickTheJobByExtension) {
  std::filesystem::create_directories(folder.Path() / "gps");
  const std::string gps = (folder.Path() / "gps" / "chip.S").string();
  CAppSettings& s = GetAppSettings();
  s.SetIntParam(OPTION_COMM_PROTOCOL, 1);  // the GPS-chip entry ignores the protocol
  s.SetAppString(APP_STRING_RECENT_FILE, "image.s19");
  s.SetAppString(APP_STRING_RECENT_FILE, "phone.bin");
  s.SetAppString(APP_STRING_RECENT_FILE, gps);
  StartThread();
  Post(WM_RECENT_FILE, 0);  // gps: comes first already
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_ORVIX_FLASH);
  EXPECT_EQ(jobs[0]->device, kSelectedCom);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, gps);
  EXPECT_EQ(std::filesystem::current_path(), folder.Path() / "gps");

  Post(WM_RECENT_FILE, 1);  // phone.bin
  jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_RALIX_FLASH_FILE);
  EXPECT_EQ(jobs[0]->device, DEVICE_SMARTPHONE);

  // phone.bin moved to the head; image.s19 is third.
  Post(WM_RECENT_FILE, 2);
  jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_FLASH);
  EXPECT_EQ(jobs[0]->device, DEVICE_UNASSIGNED);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->imageFileName, "image.s19");
  EXPECT_EQ(s.GetAppString(APP_STRING_RECENT_FILE, 0), "image.s19");
}

TEST_F(PreprocFixture, AnEmptyRecentFilesEntryIsReported) {
  StartThread();
  Post(WM_RECENT_FILE, 9);
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> Recent Files entry 9 is empty"));
  ASSERT_TRUE(userIo.WaitPrompts(1));
  EXPECT_EQ(userIo.Prompts()[0].kind, PROMPT_ERROR);
}

TEST_F(PreprocFixture, ARecentImageWhoseSectorDialogIsAbortedShowsTheError) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  GetAppSettings().SetAppString(APP_STRING_RECENT_FILE, "image.s19");
  Answer({3});
  StartThread();
  Post(WM_RECENT_FILE, 0);
  EXPECT_TRUE(FlushJobs().empty());
  ASSERT_TRUE(userIo.WaitPrompts(2));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{0, PROMPT_ERROR}));
}

// ---- remote lines and script files -------------------------------------------------

TEST_F(PreprocFixture, RemoteLinesRunWithBothFlagsClearedAndRestoredOnEveryPath) {
  StartThread();
  auto remote = [](const char* line) {
    ASSERT_TRUE(PostToTarget<WM_REMOTE_COMMAND>(PT_PREPROCESSING, std::make_unique<std::string>(line)));
  };
  remote("COMM_CHECK");
  FlushJobs();
  runnerLog->fail = true;
  remote("FLASH");
  FlushJobs();
  runnerLog->fail = false;
  runnerLog->failOther = true;
  remote("ERASE 1");
  FlushJobs();
  runnerLog->failOther = false;
  dialogs->openAnswer = "run.qls";
  Post(WM_RUN_SCRIPT_FILE);
  Post(WM_RERUN_SCRIPT);
  FlushJobs();

  const auto calls = runnerLog->Calls();
  ASSERT_EQ(calls.size(), 5u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(calls[i].what, "remote");
    EXPECT_EQ(calls[i].interactive, 0);
    EXPECT_EQ(calls[i].secondRequest, 0);
  }
  EXPECT_EQ(calls[1].text, "FLASH");
  for (int i = 3; i < 5; ++i) {
    EXPECT_EQ(calls[i].what, "script");
    EXPECT_EQ(calls[i].text, "run.qls");
    EXPECT_EQ(calls[i].interactive, 1) << "after a failing remote line";
    EXPECT_EQ(calls[i].secondRequest, 1);
  }
  EXPECT_TRUE(userIo.WaitLog("Remote command: ERASE 1"));
  ASSERT_TRUE(userIo.WaitStatus(2));
  for (const auto& report : userIo.Statuses()) {
    EXPECT_EQ(report.state, STATUS_ERROR);
    EXPECT_EQ(report.text, "");
  }
  FlushUserIo();
  EXPECT_EQ(userIo.Statuses().size(), 2u);
  EXPECT_TRUE(userIo.Prompts().empty());
}

TEST_F(PreprocFixture, AFailingScriptFileShowsTheErrorPrompt) {
  runnerLog->fail = true;
  dialogs->openAnswer = "bad.qls";
  StartThread();
  Post(WM_RUN_SCRIPT_FILE);
  ASSERT_TRUE(userIo.WaitPrompts(1));
  EXPECT_EQ(userIo.Prompts()[0].kind, PROMPT_ERROR);
  EXPECT_EQ(userIo.Prompts()[0].wantReply, 0);
}

TEST_F(PreprocFixture, WithoutAnInterpreterScriptsAndRemoteLinesFailCleanly) {
  PreprocessingServices services;
  thread = std::make_unique<CPreProcessingThread>(std::move(services));
  SetTargetThread(PT_PREPROCESSING, thread->Id());
  ASSERT_TRUE(thread->Create());
  ASSERT_TRUE(PostToTarget<WM_REMOTE_COMMAND>(PT_PREPROCESSING, std::make_unique<std::string>("STATUS")));
  Post(WM_RERUN_SCRIPT);
  ASSERT_TRUE(userIo.WaitPrompts(1));
  EXPECT_EQ(userIo.CountLogs("Error> script commands are not available"), 2u);
  ASSERT_TRUE(userIo.WaitStatus(1));
}

// ---- the update flash after a read-back ----------------------------------------------

class UpdateGate : public PreprocFixture {
 protected:
  void SetUp() override {
    PreprocFixture::SetUp();
    updateFlash = [this](IPromptAsker&, DeviceNumber device) {
      lastDevice = device;
      ++updates;
    };
  }
  std::atomic<int> updates{0};
  std::atomic<DeviceNumber> lastDevice{DEVICE_UNASSIGNED};
};

TEST_F(UpdateGate, OnlyAPendingFlashSoftwareReadBackStartsTheUpdate) {
  StartThread();
  Post(WM_FLASH, kSelectedCom);  // nothing pending: a script's or a RAM dump's save
  FlushJobs();
  EXPECT_EQ(updates, 0);

  Post(WM_REVERSE_FLASH);
  Post(WM_FLASH, kSelectedCom + 1);  // another device
  FlushJobs();
  EXPECT_EQ(updates, 0);

  Post(WM_FLASH, kSelectedCom);
  Post(WM_FLASH, kSelectedCom);  // taken once only
  FlushJobs();
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(lastDevice, kSelectedCom);  // its lines name the radio read back
}

TEST_F(UpdateGate, AUsbReadBackLetsTheFirstUsbRadioUpdate) {
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  StartThread();
  Post(WM_REVERSE_FLASH);
  Post(WM_FLASH, 130);  // a COM port is no USB device
  FlushJobs();
  EXPECT_EQ(updates, 0);
  Post(WM_FLASH, 4);
  Post(WM_FLASH, 5);
  FlushJobs();
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(lastDevice, 4);
}

// ---- custom menu --------------------------------------------------------------------

TEST_F(PreprocFixture, ACustomMenuItemQueuesItsCommandBytes) {
  PreprocessingServices services;
  services.customMenuItem = [](std::size_t index, CustomCommandPayload& item) {
    if (index != 1) return false;
    item.label = "Read version";
    item.command[0] = 0x03;
    item.command[1] = 0x84;
    item.commandLength = 2;
    item.flags = 0xF;
    return true;
  };
  thread = std::make_unique<CPreProcessingThread>(std::move(services));
  SetTargetThread(PT_PREPROCESSING, thread->Id());
  ASSERT_TRUE(thread->Create());
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  Post(WM_CUSTOM_MENU_ITEM, 1);
  Post(WM_CUSTOM_MENU_ITEM, 7);  // no such item
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_CUSTOM_COMMAND);
  EXPECT_EQ(jobs[0]->device, DEVICE_UNASSIGNED);
  auto* payload = jobs[0]->payload.Get<CustomCommandPayload>();
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(payload->label, "Read version");
  EXPECT_EQ(payload->commandLength, 2u);
  EXPECT_EQ(payload->command[1], 0x84);
  EXPECT_EQ(payload->flags, 0xFu);
  ASSERT_NE(payload->regions, nullptr);
  EXPECT_TRUE(payload->regions->Empty());
  EXPECT_EQ(payload->options.GetSectorList(), ProductSectors());
}

// ---- flashpacks ---------------------------------------------------------------------

TEST_F(PreprocFixture, AFinishedExtractOpensTheManagerOnlyForAnInteractiveRequest) {
  StartThread();
  auto record = [](std::uintptr_t manager) {
    auto r = std::make_unique<FlashpackStatusRecord>();
    r->packManager = reinterpret_cast<CPackManager*>(manager);
    r->device = 4;
    return r;
  };
  ASSERT_TRUE(PostToTarget<WM_FLASHPACK_STATUS>(PT_PREPROCESSING, record(0x1000), 1));
  FlushUserIo();
  EXPECT_TRUE(userIo.Prompts().empty());
  ASSERT_TRUE(PostToTarget<WM_FLASHPACK_STATUS>(PT_PREPROCESSING, record(0x2000), 0));
  ASSERT_TRUE(userIo.WaitPrompts(1));
  EXPECT_EQ(userIo.Prompts()[0].kind, PROMPT_FLASHPACK_MANAGER);
  EXPECT_EQ(userIo.Prompts()[0].wantReply, 0);
  EXPECT_EQ(userIo.Prompts()[0].record, 0x2000);
  EXPECT_EQ(userIo.Prompts()[0].device, 4);
}

TEST_F(PreprocFixture, TheManagerPromptHoldsTheDevicesShareOfThePackSet) {
  StartThread();
  // A stand-in set: the test owns the address, the share only counts holders.
  std::shared_ptr<CPackManager> share(reinterpret_cast<CPackManager*>(0x3000), [](CPackManager*) {});
  auto record = std::make_unique<FlashpackStatusRecord>();
  record->packManager = share.get();
  record->share = share;
  record->device = 6;
  ASSERT_TRUE(PostToTarget<WM_FLASHPACK_STATUS>(PT_PREPROCESSING, std::move(record), 0));
  ASSERT_TRUE(userIo.WaitPrompts(1));
  // The device object may replace its set now: the prompt still holds this one.
  EXPECT_EQ(userIo.Prompts()[0].packs, share);
  EXPECT_GE(share.use_count(), 2);
}

}  // namespace
}  // namespace preproc_test
