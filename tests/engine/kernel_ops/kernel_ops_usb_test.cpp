// The operations over USB: the simulated radio attached to the USB
// stand-in and reached through pellwick.

#include "engine/core/region_list.h"
#include "engine/prompt/scripted_prompt_service.h"
#include "ops_fixture.h"
#include "pellwick/pellwick.h"
#include "quor_pst/quor_sim_control.h"
#include "radiosim/usb_front_end.h"
#include "../link_kernel/usb_radio_on_stand_in.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using radiosim::Fault;
using radiosim::FaultKind;

constexpr std::uint16_t kDevice = 11;
constexpr std::uint32_t kSector = 0x10000;

class KernelOpsUsb : public ::testing::Test {
 protected:
  void SetUp() override {
    radiosim::RadioConfig config;
    config.powerOn = radiosim::PowerOnState::Kernel;
    ASSERT_NO_FATAL_FAILURE(usbRadio_.Attach(config, kDevice, kChipHarrow));
    radio_ = &usbRadio_.radio();
    KernelSettingsRecord settings;
    settings.device = kDevice;
    settings.linkMode = kLinkUsb;
    settings.chipFamily = kChipHarrow;
    settings.usbDeviceId = kDevice;
    settings.baudRate = 460800;
    settings.images = images_.Slots();
    settings.callback = [this](const DeviceEvent& event) { return recorder_(event); };
    kernel_ = std::make_unique<PacedKernel>(settings);
    kernel_->SetSmartFlashPacing(QuickPacing());
  }
  void TearDown() override {
    kernel_.reset();
    usbRadio_.Close();
  }
  std::size_t RequestsStartingWith(const std::string& hex) const {
    return radio_->GetTranscript().Count("kernel request " + hex);
  }
  std::int32_t ClosingCode() const {
    const auto events = recorder_.Events();
    return events.empty() ? -1 : events.back().code;
  }

  KernelImages images_;
  EventRecorder recorder_;
  UsbRadioOnStandIn usbRadio_;
  radiosim::RadioSimulator* radio_ = nullptr;
  std::unique_ptr<PacedKernel> kernel_;
};

TEST_F(KernelOpsUsb, FlashAndReadBackEqualTheImage) {
  ASSERT_TRUE(radio_->SetFlash(0, Bytes(4 * kSector, 0x00)));
  const Bytes data = Pattern(2 * kSector - 77, 9);
  CRegionList image;
  image.Add(kSector, static_cast<std::uint32_t>(data.size()), const_cast<std::uint8_t*>(data.data()));
  CRegionList erase;
  erase.Add(kSector, 2 * kSector);
  ASSERT_EQ(kernel_->StartFlash(&erase, &image, kRunInline), 0);
  EXPECT_EQ(radio_->GetFlash(kSector, static_cast<std::uint32_t>(data.size())), data);
  EXPECT_EQ(ClosingCode(), EVENT_FLASH_DONE);

  auto list = MakeRegionList();
  list->Add(kSector, 3000);
  ASSERT_EQ(kernel_->StartReverseFlash(list.get(), kRunInline), 0);
  EXPECT_EQ(Bytes((*list)[0].buffer, (*list)[0].buffer + 3000), Bytes(data.begin(), data.begin() + 3000));
  // Blocks of 1024 bytes over USB.
  EXPECT_EQ(RequestsStartingWith("01 06 00 01 00 00 04 00"), 1u);
  EXPECT_EQ(RequestsStartingWith("01 06 00 01 08 00 03 B8"), 1u);
}

TEST_F(KernelOpsUsb, SmartFlashLeavesTheImage) {
  const Bytes data = Pattern(3 * kSector, 10);
  CRegionList image;
  image.Add(kSector, static_cast<std::uint32_t>(data.size()), const_cast<std::uint8_t*>(data.data()));
  CRegionList erase;
  erase.Add(kSector, 3 * kSector);
  ASSERT_EQ(kernel_->StartSmartFlash(&erase, &image, kRunInline), 0);
  EXPECT_EQ(radio_->GetFlash(kSector, static_cast<std::uint32_t>(data.size())), data);
  EXPECT_EQ(ClosingCode(), EVENT_SMART_FLASH_DONE);
}

TEST_F(KernelOpsUsb, SmallOperations) {
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), 0);
  EXPECT_EQ(ClosingCode(), EVENT_COMM_CHECK_DONE);
  char name[32] = {};
  EXPECT_EQ(kernel_->GetTargetName(name, sizeof name), 0);
  EXPECT_STREQ(name, "VEXA20");
  EXPECT_EQ(kernel_->StartProgramMagicKey(kRunInline), 0);
  EXPECT_EQ(ClosingCode(), EVENT_MAGIC_KEY_DONE);
  EXPECT_EQ(radio_->MagicKeysProgrammed(), 1);

  auto prompts = std::make_shared<CScriptedPromptService>();
  const auto previous = SetPromptService(prompts);
  Bytes request{0x03, 0x04, 0x01};
  Bytes reply(3072, 0);
  CRegionList record;
  record.Add(0, 3, request.data());
  record.Add(0, static_cast<std::uint32_t>(reply.size()), reply.data());
  EXPECT_EQ(kernel_->StartCustomCommand(&record, kRunInline), 0);
  SetPromptService(previous);
  ASSERT_EQ(prompts->Boxes().size(), 1u);
  EXPECT_EQ(prompts->Boxes()[0].text, "Reply of the radio to the custom command:\n\nVEXA20");

  EXPECT_EQ(kernel_->StartResetTarget(kRunInline), 0);
  EXPECT_EQ(ClosingCode(), EVENT_RESET_TARGET_DONE);
  EXPECT_TRUE(Eventually([&] { return radio_->Mode() == radiosim::RadioMode::BootLoader; }));
}

TEST_F(KernelOpsUsb, LongTextReplyIsCutAtTheReplyBuffer) {
  auto prompts = std::make_shared<CScriptedPromptService>();
  const auto previous = SetPromptService(prompts);
  Bytes request{0x03, 0x04, 0x01};
  Bytes reply(64, 0);
  CRegionList record;
  record.Add(0, 3, request.data());
  record.Add(0, static_cast<std::uint32_t>(reply.size()), reply.data());
  // Every text reply runs on (the probe's too, which reads only its head).
  radio_->AddFault(Fault{FaultKind::LongText, -1, -1});
  const int result = kernel_->StartCustomCommand(&record, kRunInline);
  SetPromptService(previous);
  ASSERT_EQ(result, 0);
  ASSERT_EQ(prompts->Boxes().size(), 1u);
  const std::string heading = "Reply of the radio to the custom command:\n\n";
  const std::string text = prompts->Boxes()[0].text;
  ASSERT_EQ(text.rfind(heading, 0), 0u);
  EXPECT_EQ(text.size() - heading.size(), 60u);  // 64 bytes less the 4 of the head
  char name[16];
  EXPECT_EQ(kernel_->GetTargetName(name, sizeof name), 0);
  EXPECT_EQ(std::string(name).size(), 15u);
}

TEST_F(KernelOpsUsb, RamDumpNeedsTheSerialLink) {
  auto list = MakeRegionList();
  EXPECT_EQ(kernel_->StartRamDump(list.get(), kRunInline), 8);
  EXPECT_EQ(ClosingCode(), EVENT_RAM_DUMP_FAILED);
}

}  // namespace
