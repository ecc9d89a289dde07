// The device object's settings, busy rules and starter pattern.

#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "com_pointing_nowhere.h"
#include "engine/core/region_list.h"
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
  EXPECT_EQ(kernel_->StartCommCheck(kRunOnThread), KERNEL_ERROR_BUSY);
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), KERNEL_ERROR_BUSY);
  EXPECT_EQ(kernel_->SetLinkMode(0), 3);
  EXPECT_EQ(kernel_->SetUsbDeviceId(3), 3);
  EXPECT_EQ(kernel_->LoadDeviceSettings(SerialSettings(kChipHarrow, 230400, 1, images_, recorder_)), 3);
  EXPECT_EQ(kernel_->ChipFamily(), kChipUnknown);
  EXPECT_EQ(kernel_->SetLinkSpeed(115200, 1), 0);
  EXPECT_EQ(kernel_->ProbeKernelIfIdle(), 0);
  ASSERT_TRUE(Eventually([&] { return Closed(); }, std::chrono::seconds(20)));
  EXPECT_EQ(kernel_->GetBusyState(), 0);
  const auto events = recorder_.Events();
  EXPECT_EQ(events.back().code, EVENT_COMM_CHECK_FAILED);
  EXPECT_EQ(events.back().argument, 18);
  // Exactly one closing event.
  std::size_t closings = 0;
  for (const auto& e : events) closings += e.code == 5 || e.code == 6;
  EXPECT_EQ(closings, 1u);
}

TEST_F(KernelStarter, InvalidModeIsRefusedAndTheObjectStaysUsable) {
  Serve({.powerOn = radiosim::PowerOnState::Kernel}, kChipHarrow);
  EXPECT_EQ(kernel_->StartCommCheck(2), KERNEL_ERROR_INVALID_OPERATING_MODE);
  EXPECT_EQ(kernel_->GetBusyState(), 0);
  EXPECT_TRUE(recorder_.Events().empty());
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), 0);
  ASSERT_EQ(recorder_.Events().size(), 1u);
  EXPECT_EQ(recorder_.Events()[0].code, EVENT_COMM_CHECK_DONE);
  EXPECT_EQ(kernel_->ProbeKernelIfIdle(), 1);
  EXPECT_EQ(kernel_->GetBusyState(), 0);
}

TEST_F(KernelStarter, ThreadedCheckReportsOnItsOwnThread) {
  Serve({.powerOn = radiosim::PowerOnState::Kernel}, kChipHarrow);
  ASSERT_EQ(kernel_->StartCommCheck(kRunOnThread), 0);
  ASSERT_TRUE(Eventually([&] { return Closed(); }));
  EXPECT_EQ(recorder_.Events().back().code, EVENT_COMM_CHECK_DONE);
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
  EXPECT_EQ(kernel.StartCommCheck(kRunOnThread), KERNEL_ERROR_UNKNOWN);
  EXPECT_EQ(kernel.GetBusyState(), 0);
  const auto events = recorder.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, EVENT_COMM_CHECK_FAILED);
  EXPECT_EQ(events[0].argument, KERNEL_ERROR_UNKNOWN);
  EXPECT_EQ(kernel.SetLinkMode(kLinkUsb), 0);
}

// A custom command record whose request names it, on a port that does not
// open: each operation ends at once with its closing event.
struct CommandRecord {
  explicit CommandRecord(std::uint8_t tag) : request{tag, 0x00} {
    list.Add(0, static_cast<std::uint32_t>(request.size()), request.data());
    list.Add(0, static_cast<std::uint32_t>(reply.size()), reply.data());
  }
  std::array<std::uint8_t, 2> request;
  std::array<std::uint8_t, 8> reply{};
  CRegionList list;
};

// Each operation's closing event carries that operation's own list, also
// when the next operation starts the moment the object is free again.
TEST(KernelClosingEvent, CarriesItsOwnListsWhenTheNextJobStartsAtOnce) {
  ComPointingNowhere nowhere(RadioOnCom::kComNumber);
  ASSERT_TRUE(nowhere.ready());
  KernelImages images;
  EventRecorder unused;
  std::mutex mutex;
  std::vector<std::pair<std::int32_t, const CRegionList*>> closings;
  KernelSettingsRecord settings = SerialSettings(kChipBisel, 115200, 1, images, unused);
  settings.callback = [&](const DeviceEvent& event) {
    if (event.eventCode == EVENT_CUSTOM_COMMAND_FAILED || event.eventCode == EVENT_CUSTOM_COMMAND_DONE) {
      std::lock_guard lock(mutex);
      closings.emplace_back(event.eventCode, event.listA);
    }
    return 0;
  };
  CKernel kernel(settings);
  CommandRecord first(0x11);
  CommandRecord second(0x22);
  constexpr int kRounds = 40;
  std::vector<const CRegionList*> started;
  for (int round = 0; round < kRounds; ++round) {
    CRegionList* list = round % 2 ? &second.list : &first.list;
    // Start again as soon as the object takes a start.
    const bool taken = Eventually([&] { return kernel.StartCustomCommand(list, kRunOnThread) == KERNEL_OK; });
    ASSERT_TRUE(taken) << "round " << round;
    started.push_back(list);
  }
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard lock(mutex);
    return closings.size() == kRounds;
  }));
  std::lock_guard lock(mutex);
  for (int round = 0; round < kRounds; ++round) {
    EXPECT_EQ(closings[round].first, EVENT_CUSTOM_COMMAND_FAILED) << "round " << round;
    EXPECT_EQ(closings[round].second, started[round]) << "round " << round;
  }
}

// A set-up that comes while the last operation's thread is still handing
// its closing event to the owner waits until the owner has it.
TEST(KernelClosingEvent, SetUpWaitsUntilTheClosingEventIsDelivered) {
  ComPointingNowhere nowhere(RadioOnCom::kComNumber);
  ASSERT_TRUE(nowhere.ready());
  KernelImages images;
  EventRecorder recorder;
  std::mutex mutex;
  std::condition_variable changed;
  bool inClosing = false;
  bool closingDelivered = false;
  KernelSettingsRecord settings = SerialSettings(kChipBisel, 115200, 1, images, recorder);
  settings.callback = [&](const DeviceEvent& event) {
    if (event.eventCode != EVENT_COMM_CHECK_FAILED) return 0;
    std::unique_lock lock(mutex);
    inClosing = true;
    changed.notify_all();
    // Holds the closing event a while; the set-up below must not end
    // before it is delivered. Nothing releases the hold early.
    changed.wait_for(lock, std::chrono::milliseconds(300), [] { return false; });
    closingDelivered = true;
    return 0;
  };
  CKernel kernel(settings);
  ASSERT_EQ(kernel.StartCommCheck(kRunOnThread), KERNEL_OK);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return inClosing; }));
  }
  ASSERT_TRUE(Eventually([&] { return kernel.GetBusyState() == KERNEL_OK; }));
  EXPECT_EQ(kernel.LoadDeviceSettings(SerialSettings(kChipHarrow, 230400, 1, images, recorder)), KERNEL_OK);
  std::lock_guard lock(mutex);
  EXPECT_TRUE(closingDelivered);
  EXPECT_EQ(kernel.ChipFamily(), kChipHarrow);
}

}  // namespace
