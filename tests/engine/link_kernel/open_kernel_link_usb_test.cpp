// Opening the kernel link over USB: the simulated radio attached as a
// device of the USB stand-in, reached through pellwick.

#include <gtest/gtest.h>

#include <string>

#include "kernel_fixture.h"
#include "pellwick/pellwick.h"
#include "quor_pst/quor_sim_control.h"
#include "radiosim/usb_front_end.h"
#include "usb_radio_on_stand_in.h"

namespace {

using radiosim::BootLoaderType;
using radiosim::FaultKind;

constexpr std::uint16_t kDevice = 9;

class KernelLinkUsb : public ::testing::Test {
 protected:
  void Serve(radiosim::RadioConfig config, int chipFamily) {
    ASSERT_NO_FATAL_FAILURE(usbRadio_.Attach(config, kDevice, chipFamily));
    radio_ = &usbRadio_.radio();
    KernelSettingsRecord settings;
    settings.device = kDevice;
    settings.linkMode = kLinkUsb;
    settings.chipFamily = chipFamily;
    settings.usbDeviceId = kDevice;
    settings.baudRate = 230400;
    settings.baudDivisor = 1;
    settings.images = images_.Slots();
    settings.callback = [this](const DeviceEvent& event) { return recorder_(event); };
    kernel_ = std::make_unique<CKernel>(settings);
  }
  void TearDown() override {
    kernel_.reset();
    usbRadio_.Close();
  }

  KernelImages images_;
  EventRecorder recorder_;
  UsbRadioOnStandIn usbRadio_;
  radiosim::RadioSimulator* radio_ = nullptr;
  std::unique_ptr<CKernel> kernel_;
};

struct UsbRoute {
  const char* name;
  BootLoaderType loader;
  int chipFamily;
  KernelImage image;
};

void PrintTo(const UsbRoute& c, std::ostream* os) { *os << c.name; }

class OpenKernelLinkUsb : public KernelLinkUsb, public ::testing::WithParamInterface<UsbRoute> {};

TEST_P(OpenKernelLinkUsb, DownloadsTheKernelWithoutASpeedSwitch) {
  const auto& route = GetParam();
  Serve({.bootLoader = route.loader}, route.chipFamily);
  ASSERT_EQ(kernel_->OpenKernelLink(), 0);
  ASSERT_EQ(radio_->Downloads().size(), 1u);
  EXPECT_EQ(radio_->Downloads()[0].image, images_.Of(route.image)) << KernelImageFileName(route.image);
  EXPECT_TRUE(radio_->Downloads()[0].checksumOk);
  EXPECT_EQ(radio_->Mode(), radiosim::RadioMode::Kernel);
  EXPECT_EQ(radio_->GetTranscript().Count("kernel request 05 00"), 0u);
  EXPECT_EQ(radio_->GetTranscript().Count("boot ping"), 0u);
  EXPECT_EQ(kernel_->BaudRate(), 230400);
  // Events: the download's progress in order, then its end.
  const auto events = recorder_.Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front().code, EVENT_BOOTLOAD_PROGRESS);
  EXPECT_EQ(events.back().code, EVENT_BOOTLOAD_DONE);
  std::int32_t last = 0;
  for (std::size_t i = 0; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].code, EVENT_BOOTLOAD_PROGRESS);
    EXPECT_GE(events[i].argument, last);
    EXPECT_EQ(events[i].total, static_cast<std::int32_t>(images_.Of(route.image).size()));
    last = events[i].argument;
  }
  // A second opening finds the kernel running.
  recorder_.Clear();
  EXPECT_EQ(kernel_->OpenKernelLink(), 0);
  EXPECT_TRUE(recorder_.Events().empty());
  EXPECT_EQ(radio_->Downloads().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Routes, OpenKernelLinkUsb,
                         ::testing::Values(UsbRoute{"Harrow", BootLoaderType::Harrow, kChipHarrow, KernelImage::Harrow},
                                           UsbRoute{"Calder", BootLoaderType::Calder, kChipCalder,
                                                    KernelImage::Calder}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KernelLinkUsb, NoKernelServesAnUnknownChipOverUsb) {
  Serve({.bootLoader = BootLoaderType::Harrow}, kChipUnknown);
  EXPECT_EQ(kernel_->OpenKernelLink(), 7);
  EXPECT_TRUE(radio_->Downloads().empty());
}

TEST_F(KernelLinkUsb, KernelThatNeverStarts) {
  Serve({.bootLoader = BootLoaderType::Calder}, kChipCalder);
  radio_->AddFault({FaultKind::KernelNeverStarts});
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), 18);
  EXPECT_EQ(recorder_.Events().back().code, EVENT_COMM_CHECK_FAILED);
}

TEST_F(KernelLinkUsb, StatusRepliesWithBadLengthsAreErrorsNotReplies) {
  Serve({.bootLoader = BootLoaderType::Harrow, .powerOn = radiosim::PowerOnState::Kernel}, kChipHarrow);
  radio_->SetStatusRegister(0x020B, {0x00, 0x2A});
  CCommChannel channel(CHANNEL_USB, "", 0, kDevice, "Corvane_Flash");
  EXPECT_EQ(kernel_->QueryTargetStatus(channel), 35);
  EXPECT_EQ(kernel_->GetErrorDetails().sector, 42);
  for (auto fault : {FaultKind::ZeroLength, FaultKind::OverlongLength, FaultKind::ShortReply}) {
    radio_->AddFault({fault});
    try {
      kernel_->QueryTargetStatus(channel);
      ADD_FAILURE() << radiosim::FaultName(fault);
    } catch (ISP_EXCEPTION e) {
      EXPECT_TRUE(e == ISP_MESSAGE_NOT_SUPPORTED || e == ISP_READ_COUNT_MISMATCH || e == ISP_USB_READ_TIMEOUT)
          << radiosim::FaultName(fault) << ": " << e;
    }
    // Whatever the bad reply left behind is not taken for the next one.
    std::uint8_t drain[4096];
    try {
      channel.Receive(drain, sizeof drain, 50, 0);
    } catch (ISP_EXCEPTION) {
    }
  }
}

}  // namespace
