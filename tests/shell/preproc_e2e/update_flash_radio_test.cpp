// "Flash Software" from the read-back to the update flash, through the real
// threads against a simulated radio on a pseudo-terminal.

#include <gtest/gtest.h>

#include "../../engine/processing/radio_on_pty.h"
#include "../../engine/processing/shell_stand_in.h"
#include "../update/update_images.h"
#include "engine/prompt/prompt_service.h"
#include "shell/update/update_flash.h"
#include "shell_threads_fixture.h"

namespace e2e_test {
namespace {

using shell_test::SRecordText;
using shell_test::WriteTextFile;
using namespace update_test;

// 64 sectors: the CODE sector at position 8 holds the version pointer, the
// CODE sectors at 60 to 62 the model area's start and the CODEPLUG sector
// the model marker; the LANG sectors between are not read back.
constexpr const char* kProduct =
    "product Vexa_Series\n"
    "{\n"
    "    processor Harrow;\n"
    "    flash main size = 5960K type = nor vendor = Intel\n"
    "    {\n"
    "        address = 0x10000000, sector_size = 8K, num_sectors = 8, type = BOOT;\n"
    "        address = 0x10010000, sector_size = 8K, num_sectors = 1, type = CODE;\n"
    "        address = 0x10012000, sector_size = 112K, num_sectors = 50, type = LANG;\n"
    "        address = 0x1058A000, sector_size = 256K, num_sectors = 1, type = LANG;\n"
    "        address = 0x105CA000, sector_size = 8K, num_sectors = 3, type = CODE;\n"
    "        address = 0x105D0000, sector_size = 8K, num_sectors = 1, type = CODEPLUG;\n"
    "    }\n"
    "}\n";

constexpr int kComNumber = 7;
constexpr DeviceNumber kDevice = 126 + kComNumber;

class UpdateFlashRadio : public ShellThreads {
 protected:
  void SetUp() override {
    std::ofstream(folder.File("Quor_Plover.qlp")) << kProduct;
    std::uint8_t seed = 1;
    for (const char* name : test_support::kKernelFiles) {
      test_support::WriteSRecordFile(folder.File(name), {{0x20000000u, test_support::Pattern(2048, seed)}},
                                     0x20000000u);
      seed = static_cast<std::uint8_t>(seed + 40);
    }
    radiosim::RadioConfig config;
    config.bootLoader = radiosim::BootLoaderType::Harrow;
    config.link = radiosim::LinkKind::Serial;
    config.flashBase = 0x10000000;
    config.sectorLayout = {{0x2000, 745}};
    radio = std::make_unique<test_support::RadioOnPty>(config, kComNumber);
    ASSERT_TRUE(radio->started());

    StartUserIo();
    ASSERT_EQ(GetAppSettings().GetSectorList().sectors.size(), 64u) << LogText();
    CAppSettings& s = GetAppSettings();
    s.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    s.SetIntParam(OPTION_SERIAL_PORT, kComNumber - 1);
    s.SetIntParam(OPTION_DATA_RATE, 0);
    s.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    s.SetIntParam(OPTION_ENABLE_SMART_FLASHING, 0);
    StartRealCore();
    StartPreproc();
  }
  void TearDown() override {
    ShellThreads::TearDown();
    radio.reset();
  }

  // Seeds the radio's flash with what its read-back must hold.
  void SeedRadio(const RadioImageSpec& spec) {
    for (const auto& [address, bytes] : RadioMemory(spec)) {
      // Only the bytes that were put; the rest of the flash stays erased.
      ASSERT_TRUE(radio->radio().SetFlash(address, bytes));
    }
  }
  void WriteUpdateTexts(const FirmwareSpec& firmware) {
    WriteTextFile(folder.File(kSuText), Scrambled(SRecordText(SuMemory(firmware), firmware.recordLength)));
    WriteTextFile(folder.File(kCpText), Scrambled(SRecordText(CpMemory(firmware), firmware.recordLength)));
    WriteTextFile(folder.File(kLpText), Scrambled(SRecordText(LpMemory(), firmware.recordLength)));
  }
  // Flash Software as the main window runs it: the read-back, and once its
  // file is saved, the update flash.
  void FlashSoftware() {
    ASSERT_TRUE(PostToTarget<WM_REVERSE_FLASH>(PT_PREPROCESSING));
    ASSERT_TRUE(WaitDeviceEvent(kDevice, 58, std::chrono::seconds(120))) << LogText();
    ASSERT_TRUE(PostToTarget<WM_FLASH>(PT_PREPROCESSING, static_cast<platform::WParam>(kDevice)));
  }
  bool FlashHolds(const MemoryBlocks& blocks) {
    for (const auto& [address, bytes] : blocks) {
      if (radio->radio().GetFlash(address, static_cast<std::uint32_t>(bytes.size())) != bytes) return false;
    }
    return true;
  }
  bool NoUpdateImages() const {
    for (const char* name : {kSuImage, kCpImage, kLpImage, "rev_flash.s19"}) {
      if (std::filesystem::exists(folder.File(name))) return false;
    }
    return true;
  }

  // Waits until the update's images are gone and the radio holds the whole
  // update.
  void ExpectRadioUpdated(const FirmwareSpec& firmware) {
    ASSERT_TRUE(PollUntil([&] { return NoUpdateImages(); }, std::chrono::seconds(180))) << LogText();
    ASSERT_TRUE(PollUntil([&] { return FlashHolds(SuMemory(firmware)) && FlashHolds(CpMemory(firmware)) &&
                                       FlashHolds(LpMemory()); },
                          std::chrono::seconds(60)))
        << LogText();
  }

  std::unique_ptr<test_support::RadioOnPty> radio;
};

TEST_F(UpdateFlashRadio, ANewerFirmwareIsFlashedAndItsImagesAreGoneOnceLoaded) {
  SeedRadio(RadioImageSpec{});
  const FirmwareSpec firmware;  // version ...09 over the radio's ...08
  WriteUpdateTexts(firmware);
  FlashSoftware();

  ASSERT_NO_FATAL_FAILURE(ExpectRadioUpdated(firmware));
  const std::string log = LogText();
  EXPECT_EQ(log.find("Error>"), std::string::npos) << log;
  EXPECT_NE(log.find("Starting read of file " + folder.File(kCpImage)), std::string::npos) << log;
  EXPECT_TRUE(prompts->Prompts().empty());
  // The temporary images never became recent files.
  for (int i = 0; i < 10; ++i) {
    const std::string entry = GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, i);
    for (const char* image : {kSuImage, kCpImage, kLpImage}) EXPECT_NE(entry, folder.File(image));
  }
}

// A newcomer's first flash: the product file, the kernels and the update
// texts come together in a folder of their own; choosing the product file
// offers the others, and Flash Software then finds everything it needs.
TEST_F(UpdateFlashRadio, AProductChosenBesideItsKernelAndUpdateFilesIsFlashedWithThem) {
  const std::filesystem::path delivery = folder.Path() / "delivery";
  std::filesystem::create_directory(delivery);
  for (const char* name : test_support::kKernelFiles) std::filesystem::rename(folder.File(name), delivery / name);
  std::ofstream((delivery / "vexa.qlp").string()) << kProduct;
  SeedRadio(RadioImageSpec{});
  const FirmwareSpec firmware;
  WriteUpdateTexts(firmware);
  for (const char* text : {kSuText, kCpText, kLpText}) std::filesystem::rename(folder.File(text), delivery / text);

  prompts->SetDialogFiller([chosen = (delivery / "vexa.qlp").string()](PromptCall& call) {
    if (auto* data = std::get_if<FileOpenDialogData>(&call.dialog)) data->chosenPath = chosen;
  });
  prompts->Script(kAnswerOk);   // the file dialog
  prompts->Script(kAnswerYes);  // copy the files beside it
  ASSERT_TRUE(PostToTarget<WM_SELECT_PRODUCT>(PT_USER_IO, nullptr));
  ASSERT_TRUE(PollUntil([&] { return LogText().find("Selecting new product tag 'Vexa_Series'") != std::string::npos; }))
      << LogText();
  FlashSoftware();

  ASSERT_NO_FATAL_FAILURE(ExpectRadioUpdated(firmware));
  const std::string log = LogText();
  EXPECT_EQ(log.find("Error"), std::string::npos) << log;
  ASSERT_EQ(prompts->Prompts().size(), 2u);
  for (const char* name : {"calderkrnl.s19", "su.txt", "french_spanish.txt"}) {
    EXPECT_NE(prompts->Prompts()[1].text.find(name), std::string::npos) << name;
  }
}

TEST_F(UpdateFlashRadio, TheSameFirmwareStopsWithTheLatestFirmwareBox) {
  SeedRadio(RadioImageSpec{});
  FirmwareSpec firmware;
  firmware.version = RadioImageSpec{}.version;
  WriteUpdateTexts(firmware);
  FlashSoftware();

  ASSERT_TRUE(prompts->WaitForPrompts(1, kDeadline)) << LogText();
  // The box shows the last error line, one sentence a line.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error> The radio has the latest firmware\r\nThe flash operation stops."});
  EXPECT_NE(LogText().find("Error> The radio has the latest firmware. The flash operation stops."), std::string::npos);
  EXPECT_TRUE(NoUpdateImages());
  EXPECT_FALSE(FlashHolds(LpMemory()));
}

}  // namespace
}  // namespace e2e_test

namespace e2e_test {
namespace {

struct RefusedCase {
  const char* name;
  std::string radioModel;
  std::string firmwareModel;
  bool suText;
  std::string box;  // the error box's text
};

class RefusedUpdate : public UpdateFlashRadio, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedUpdate, NothingIsFlashedAndTheBoxSaysWhy) {
  const RefusedCase& c = GetParam();
  RadioImageSpec radioSpec;
  radioSpec.model = c.radioModel;
  SeedRadio(radioSpec);
  FirmwareSpec firmware;
  firmware.model = c.firmwareModel;
  WriteUpdateTexts(firmware);
  if (!c.suText) std::filesystem::remove(folder.File(kSuText));
  FlashSoftware();

  ASSERT_TRUE(prompts->WaitForPrompts(1, kDeadline)) << LogText();
  // The box names the folder searched, the working folder here.
  std::string box = c.box;
  if (const auto at = box.find("<folder>"); at != std::string::npos) box.replace(at, 8, folder.Path().string());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{box});
  EXPECT_TRUE(NoUpdateImages());
  EXPECT_FALSE(FlashHolds(CpMemory(firmware)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedUpdate,
    ::testing::Values(
        RefusedCase{"RadioOfAnotherModel", "52504431", "4E383231", true,
                    "Error> unable to flash due to model mismatch\r\nPlease choose the right tool to flash the radio."},
        RefusedCase{"FirmwareOfAnotherModel", "52425231", "4E000000", true,
                    "Error> unable to flash due to model mismatch\r\nPlease choose the right tool to flash the radio."},
        RefusedCase{"NoSuText", "4E383231", "4E383231", false,
                    "Error> unable to get flash file information\r\nSource file could not be opened: su.txt in the "
                    "folder <folder>."}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e_test
