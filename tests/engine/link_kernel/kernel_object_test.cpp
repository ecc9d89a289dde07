// The device object's settings, busy rules and starter pattern.

#include <gtest/gtest.h>

#include <system_error>
#include <thread>

#include "kernel_fixture.h"

namespace {

TEST(KernelSettings, SettersAndNames) {
  CKernel kernel;
  EXPECT_EQ(kernel.LinkMode(), -1);
  EXPECT_EQ(kernel.SetKernelImage(4, nullptr, 0, 0), 7);
  const std::uint8_t image[3] = {1, 2, 3};
  EXPECT_EQ(kernel.SetKernelImage(2, image, 3, 0x1000), 0);
  EXPECT_EQ(kernel.GetKernelImage(2).image, image);
  EXPECT_EQ(kernel.GetKernelImage(2).loadAddress, 0x1000u);
  EXPECT_EQ(kernel.GetKernelImage(3).image, nullptr);
  for (int mode : {-1, 0, 1}) EXPECT_EQ(kernel.SetLinkMode(mode), 0) << mode;
  EXPECT_EQ(kernel.SetLinkMode(2), 8);
  EXPECT_EQ(kernel.LinkMode(), 1);
  EXPECT_EQ(CKernel::GetPortPath(3), "\\\\.\\COM3");
  EXPECT_EQ(CKernel::GetUsbInterfaceName(kChipCalder), "Corvane_Boot");
  EXPECT_EQ(CKernel::GetUsbInterfaceName(kChipHarrow), "Corvane_Flash");
  EXPECT_EQ(CKernel::GetUsbInterfaceName(kChipUnknown), "Corvane_Flash");
}

class KernelStarter : public ::testing::Test {
 protected:
  void Serve(radiosim::RadioConfig config, int chipFamily) {
    com_ = std::make_unique<RadioOnCom>(config);
    ASSERT_TRUE(com_->started());
    kernel_ = std::make_unique<CKernel>(SerialSettings(chipFamily, 115200, 1, images_, recorder_));
  }
  bool Closed() const {
    for (const auto& e : recorder_.Events())
      if (e.code == 5 || e.code == 6) return true;
    return false;
  }

  KernelImages images_;
  EventRecorder recorder_;
  std::unique_ptr<RadioOnCom> com_;
  std::unique_ptr<CKernel> kernel_;
};

TEST_F(KernelStarter, SecondStartWhileRunningIsRefused) {
  // A silent radio keeps the comm check busy for a few seconds.
  Serve({.bootLoader = radiosim::BootLoaderType::Bisel}, kChipUnknown);
  com_->radio().AddFault({radiosim::FaultKind::Silence, -1});
  ASSERT_EQ(kernel_->StartCommCheck(kRunOnThread), 0);
  EXPECT_EQ(kernel_->GetBusyState(), 3);
  EXPECT_EQ(kernel_->StartCommCheck(kRunOnThread), 3);
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), 3);
  EXPECT_EQ(kernel_->SetLinkMode(0), 3);
  EXPECT_EQ(kernel_->SetUsbDeviceId(3), 3);
  EXPECT_EQ(kernel_->LoadDeviceSettings(SerialSettings(kChipHarrow, 230400, 1, images_, recorder_)), 3);
  EXPECT_EQ(kernel_->ChipFamily(), kChipUnknown);
  EXPECT_EQ(kernel_->SetLinkSpeed(115200, 1), 0);
  EXPECT_EQ(kernel_->ProbeKernelIfIdle(), 0);
  ASSERT_TRUE(Eventually([&] { return Closed(); }, std::chrono::seconds(20)));
  EXPECT_EQ(kernel_->GetBusyState(), 0);
  const auto events = recorder_.Events();
  EXPECT_EQ(events.back().code, 5);
  EXPECT_EQ(events.back().argument, 18);
  // Exactly one closing event.
  std::size_t closings = 0;
  for (const auto& e : events) closings += e.code == 5 || e.code == 6;
  EXPECT_EQ(closings, 1u);
}

TEST_F(KernelStarter, InvalidModeIsRefusedAndTheObjectStaysUsable) {
  Serve({.powerOn = radiosim::PowerOnState::Kernel}, kChipHarrow);
  EXPECT_EQ(kernel_->StartCommCheck(2), 12);
  EXPECT_EQ(kernel_->GetBusyState(), 0);
  EXPECT_TRUE(recorder_.Events().empty());
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), 0);
  ASSERT_EQ(recorder_.Events().size(), 1u);
  EXPECT_EQ(recorder_.Events()[0].code, 6);
  EXPECT_EQ(kernel_->ProbeKernelIfIdle(), 1);
  EXPECT_EQ(kernel_->GetBusyState(), 0);
}

TEST_F(KernelStarter, ThreadedCheckReportsOnItsOwnThread) {
  Serve({.powerOn = radiosim::PowerOnState::Kernel}, kChipHarrow);
  ASSERT_EQ(kernel_->StartCommCheck(kRunOnThread), 0);
  ASSERT_TRUE(Eventually([&] { return Closed(); }));
  EXPECT_EQ(recorder_.Events().back().code, 6);
  // Settings can change again once it is done.
  EXPECT_TRUE(Eventually([&] { return kernel_->SetLinkMode(0) == 0; }));
}

// A system that has no thread to spare.
class KernelWithoutThreads : public CKernel {
 public:
  using CKernel::CKernel;

 protected:
  std::thread LaunchWorkerThread(std::function<void()>) override {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
};

TEST(KernelThreadStart, FailureClearsBusyAndIsReported) {
  KernelImages images;
  EventRecorder recorder;
  KernelWithoutThreads kernel(SerialSettings(kChipHarrow, 115200, 1, images, recorder));
  EXPECT_EQ(kernel.StartCommCheck(kRunOnThread), 1);
  EXPECT_EQ(kernel.GetBusyState(), 0);
  const auto events = recorder.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, 5);
  EXPECT_EQ(events[0].argument, 1);
  EXPECT_EQ(kernel.SetLinkMode(kLinkUsb), 0);
}

}  // namespace
