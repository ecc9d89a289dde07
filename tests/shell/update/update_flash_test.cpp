#include "shell/update/update_flash.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../support/shell_targets.h"
#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "update_images.h"

namespace update_test {
namespace {

using shell_test::CoreRecorder;
using shell_test::SRecordText;
using shell_test::UserIoStandIn;
using shell_test::WorkingFolder;
using shell_test::WriteTextFile;

constexpr const char* kLatest = "Error> The radio has the latest firmware. The flash operation stops.";
constexpr const char* kMismatch =
    "Error> unable to flash due to model mismatch. Please choose the right tool to flash the radio.";
constexpr const char* kNoRadio = "Error> unable to get radio information.";
constexpr const char* kNoFirmware = "Error> unable to get flash file information.";

class UpdateFlash : public ::testing::Test {
 protected:
  void SetUp() override {
    CAppSettings& s = GetAppSettings();
    s.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    s.SetIntParam(OPTION_SERIAL_PORT, 5);
    s.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    s.SetAppString(APP_STRING_RECENT_FILE, "sentinel.hex");
    SetTargetThread(PT_PREPROCESSING, own.handle());
  }
  void TearDown() override { SetTargetThread(PT_PREPROCESSING, platform::kNoHandle); }

  void WriteUpdate(const RadioImageSpec& radio, const FirmwareSpec& firmware, bool su = true) {
    WriteTextFile("rev_flash.s19", SRecordText(RadioMemory(radio), 16));
    if (su) WriteTextFile(kSuText, Scrambled(SRecordText(SuMemory(firmware), firmware.recordLength)));
    WriteTextFile(kCpText, Scrambled(SRecordText(CpMemory(firmware), firmware.recordLength)));
    WriteTextFile(kLpText, Scrambled(SRecordText(LpMemory(), firmware.recordLength)));
  }
  std::vector<std::unique_ptr<CJobRequest>> Jobs() {
    std::vector<std::unique_ptr<CJobRequest>> jobs;
    while (auto job = core.NextJob(std::chrono::milliseconds(0))) jobs.push_back(std::move(job));
    return jobs;
  }
  void ExpectRefused(const char* line) {
    EXPECT_TRUE(Jobs().empty());
    EXPECT_TRUE(userIo.WaitLog(line));
    ASSERT_TRUE(userIo.WaitPrompts(1));
    EXPECT_EQ(userIo.Prompts()[0].kind, PROMPT_ERROR);
    EXPECT_EQ(userIo.Prompts()[0].wantReply, 0);
    for (const char* file : {"rev_flash.s19", kSuImage, kCpImage, kLpImage}) {
      EXPECT_FALSE(std::filesystem::exists(file)) << file;
    }
  }

  WorkingFolder folder;
  UserIoStandIn userIo;
  CoreRecorder core;
  platform::RegisteredQueue own;
  CQueuePromptAsker asker{own.queue(), PT_PREPROCESSING};
};

TEST_F(UpdateFlash, ANewerFirmwareQueuesCpLpAndSuHeldUntilTheirJobsGo) {
  WriteUpdate(RadioImageSpec{}, FirmwareSpec{});
  RunUpdateFlash(asker);

  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 3u);
  const char* order[] = {kCpImage, kLpImage, kSuImage};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(jobs[i]->jobCode, WM_FLASH);
    EXPECT_EQ(jobs[i]->device, 132);
    const std::string path = jobs[i]->payload.Get<FileJobPayload>()->imageFileName;
    EXPECT_EQ(std::filesystem::path(path), folder.Path() / order[i]);
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  EXPECT_FALSE(std::filesystem::exists("rev_flash.s19"));
  EXPECT_EQ(GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0), "sentinel.hex");
  // The images go with their jobs, one by one.
  const std::string lp = jobs[1]->payload.Get<FileJobPayload>()->imageFileName;
  jobs[1].reset();
  EXPECT_FALSE(std::filesystem::exists(lp));
  EXPECT_TRUE(std::filesystem::exists(kCpImage));
  jobs.clear();
  for (const char* file : order) EXPECT_FALSE(std::filesystem::exists(file)) << file;
}

TEST_F(UpdateFlash, EqualOrOlderFirmwareStops) {
  for (const char* version : {"0102030405060708", "0102030405060700"}) {
    SCOPED_TRACE(version);
    FirmwareSpec firmware;
    firmware.version = version;
    WriteUpdate(RadioImageSpec{}, firmware);
    RunUpdateFlash(asker);
    ExpectRefused(kLatest);
    userIo.ClearRecords();
  }
}

struct RefusalCase {
  const char* name;
  std::string radioModel;
  std::string firmwareModel;
  const char* line;  // null: accepted
};

class UpdateModels : public UpdateFlash, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(UpdateModels, OnlyTheRightModelsAreFlashed) {
  const RefusalCase& c = GetParam();
  RadioImageSpec radio;
  radio.model = c.radioModel;
  FirmwareSpec firmware;
  firmware.model = c.firmwareModel;
  WriteUpdate(radio, firmware);
  RunUpdateFlash(asker);
  if (c.line == nullptr) {
    EXPECT_EQ(Jobs().size(), 3u);
    return;
  }
  ExpectRefused(c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateModels,
    ::testing::Values(RefusalCase{"RadioOfTheModel", "4E383231", "4E383231", nullptr},
                      RefusalCase{"RadioOfTheOtherAcceptedModel", "52425231", "4E383231", nullptr},
                      RefusalCase{"RadioOfAThirdModel", "52504431", "4E383231", kMismatch},
                      RefusalCase{"RadioLikeTheModelButNotIt", "4E383232", "4E383231", kMismatch},
                      RefusalCase{"FirmwareLikeTheModelButNotIt", "4E383231", "4E000000", kMismatch},
                      RefusalCase{"FirmwareOfTheOtherRadioModel", "4E383231", "52425231", kNoFirmware}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateFlash, AMissingSuTextLeavesNoFlashFileInformation) {
  WriteUpdate(RadioImageSpec{}, FirmwareSpec{}, /*su=*/false);
  RunUpdateFlash(asker);
  ExpectRefused(kNoFirmware);
}

// An update text that cannot be opened stops the update before any image
// is flashed, and the refusal says which texts and which folder.
struct UnreadTextCase {
  const char* name;
  std::vector<const char*> missing;
  bool fromLastImageFolder;  // File > Flash File... moved to another folder first
  const char* names;
};

class UnreadUpdateTexts : public UpdateFlash, public ::testing::WithParamInterface<UnreadTextCase> {};

TEST_P(UnreadUpdateTexts, TheRefusalNamesTheTextsAndTheFolder) {
  const UnreadTextCase& c = GetParam();
  WriteUpdate(RadioImageSpec{}, FirmwareSpec{});
  for (const char* text : c.missing) std::filesystem::remove(text);
  GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, folder.Path().string() + "/");
  std::string searched = folder.Path().string();
  if (c.fromLastImageFolder) {
    searched = folder.File("images");
    std::filesystem::create_directory(searched);
    std::filesystem::rename("rev_flash.s19", searched + "/rev_flash.s19");
    GetAppSettings().SetAppString(APP_STRING_RECENT_FILE, searched + "/radio.s19");
    std::filesystem::current_path(searched);
  }
  RunUpdateFlash(asker);
  std::string line = std::string(kNoFirmware) + " Source file could not be opened: " + c.names + " in the folder " +
                     std::filesystem::current_path().string();
  if (c.fromLastImageFolder) {
    line += ", the folder of the last image flashed (File \u2192 Flash File...), not the working folder " +
            folder.Path().string();
  }
  ExpectRefused((line + ".").c_str());
  EXPECT_EQ(userIo.CountLogs(kNoFirmware), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnreadUpdateTexts,
    ::testing::Values(UnreadTextCase{"Su", {kSuText}, false, "su.txt"},
                      UnreadTextCase{"LpAloneStopsTooBeforeCpIsFlashed", {kLpText}, false, "french_spanish.txt"},
                      UnreadTextCase{"AllInTheLastImagesFolder", {}, true,
                                     "su.txt, p5E00cp0_VAD3_Vexa20.txt, french_spanish.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateFlash, AReadBackWithoutThePointerRecordIsRefusedAndDeleted) {
  RadioImageSpec radio;
  radio.pointerRecord = false;
  WriteUpdate(radio, FirmwareSpec{});
  RunUpdateFlash(asker);
  ExpectRefused(kNoRadio);
}

TEST_F(UpdateFlash, WithoutAutoEraseEachImageAsksForItsSectorsAndACancelledOneIsDeleted) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  userIo.ScriptAnswers({1, 2, 1});
  WriteUpdate(RadioImageSpec{}, FirmwareSpec{});
  RunUpdateFlash(asker);
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(std::filesystem::path(jobs[0]->payload.Get<FileJobPayload>()->imageFileName).filename(), kCpImage);
  EXPECT_EQ(std::filesystem::path(jobs[1]->payload.Get<FileJobPayload>()->imageFileName).filename(), kSuImage);
  EXPECT_FALSE(std::filesystem::exists(kLpImage));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{0, 0, 0}));
}

TEST_F(UpdateFlash, AnAbortedSectorQuestionShowsTheErrorAndQueuesNoMore) {
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  userIo.ScriptAnswers({1, 3});
  WriteUpdate(RadioImageSpec{}, FirmwareSpec{});
  RunUpdateFlash(asker);
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_TRUE(userIo.WaitPrompts(3));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{0, 0, PROMPT_ERROR}));
  EXPECT_FALSE(std::filesystem::exists(kLpImage));
  EXPECT_FALSE(std::filesystem::exists(kSuImage));
  EXPECT_TRUE(std::filesystem::exists(kCpImage));
}

// The radio's lines tell how Flash Software ended: what was read from the
// radio and from the update, and whether the radio is being updated or
// keeps its firmware, and why.
struct OutcomeCase {
  const char* name;
  RadioImageSpec radio;
  FirmwareSpec firmware;
  std::size_t jobs;
  std::vector<std::string> lines;
};

RadioImageSpec RadioWith(std::string version, std::string model = "4E383231", bool pointerRecord = true) {
  RadioImageSpec radio;
  radio.version = std::move(version);
  radio.model = std::move(model);
  radio.pointerRecord = pointerRecord;
  return radio;
}

FirmwareSpec FirmwareWith(std::string version) {
  FirmwareSpec firmware;
  firmware.version = std::move(version);
  return firmware;
}

constexpr const char* kV100 = "56312E30302E3030";  // "V1.00.00"
constexpr const char* kV101 = "56312E30312E3030";  // "V1.01.00"

class UpdateOutcome : public UpdateFlash, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(UpdateOutcome, TheRadiosLinesSayWhatWasComparedAndWhetherItIsUpdated) {
  const OutcomeCase& c = GetParam();
  WriteUpdate(c.radio, c.firmware);
  RunUpdateFlash(asker, 132);
  EXPECT_EQ(Jobs().size(), c.jobs);
  ASSERT_TRUE(userIo.WaitLog(c.lines.back()));
  std::vector<std::string> lines;
  for (const std::string& line : userIo.Logs()) {
    if (line.rfind("COM6> ", 0) == 0) lines.push_back(line);
  }
  EXPECT_EQ(lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateOutcome,
    ::testing::Values(
        OutcomeCase{"OlderRadioIsUpdated", RadioWith(kV100), FirmwareWith(kV101), 3,
                    {"COM6> Radio model 4E383231, firmware version V1.00.00",
                     "COM6> Update model 4E383231, firmware version V1.01.00",
                     "COM6> Updating the radio from firmware version V1.00.00 to V1.01.00: 3 images queued"}},
        OutcomeCase{"UpToDateRadioIsNot", RadioWith(kV101), FirmwareWith(kV101), 0,
                    {"COM6> Radio model 4E383231, firmware version V1.01.00",
                     "COM6> Update model 4E383231, firmware version V1.01.00",
                     "COM6> Flash Software ended: the radio was not updated: it is up to date (firmware version "
                     "V1.01.00, the update's is V1.01.00)"}},
        OutcomeCase{"UnprintableVersionsStayHex", RadioWith("0102030405060708"), FirmwareWith("0102030405060700"), 0,
                    {"COM6> Radio model 4E383231, firmware version 0102030405060708",
                     "COM6> Update model 4E383231, firmware version 0102030405060700",
                     "COM6> Flash Software ended: the radio was not updated: it is up to date (firmware version "
                     "0102030405060708, the update's is 0102030405060700)"}},
        OutcomeCase{"RadioOfAnotherModel", RadioWith(kV100, "52504431"), FirmwareWith(kV101), 0,
                    {"COM6> Radio model 52504431, firmware version V1.00.00",
                     "COM6> Flash Software ended: the radio was not updated: its model 52504431 does not take this "
                     "update"}},
        OutcomeCase{"ReadBackWithoutItsIdentity", RadioWith(kV100, "4E383231", false), FirmwareWith(kV101), 0,
                    {"COM6> Radio model and firmware version not found in the read-back",
                     "COM6> Flash Software ended: the radio was not updated: its model and firmware version are not "
                     "in the read-back"}}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace update_test
