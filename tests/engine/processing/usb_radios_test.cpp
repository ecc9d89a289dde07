// Work for every USB device: simulated radios attached to the USB stand-in,
// found through the USB communication library and checked in parallel.

#include "core_thread_harness.h"
#include "engine/core/messages.h"
#include "engine/processing/job_starters.h"
#include "pellwick/pellwick.h"
#include "quor_pst/quor_sim_control.h"
#include "radiosim/usb_front_end.h"

using namespace test_support;

namespace {

class UsbRadios : public CoreThreadTest {
 protected:
  void Attach(const std::vector<std::uint16_t>& ids, radiosim::PowerOnState powerOn) {
    QuorSim_Reset();
    ASSERT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLRegisterApp(&program_), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
    char path[256] = {};
    ASSERT_GT(QuorSim_SocketPath(path, sizeof path), 0);
    radiosim::RadioConfig config{.bootLoader = radiosim::BootLoaderType::Harrow,
                                 .link = radiosim::LinkKind::Usb,
                                 .powerOn = powerOn};
    for (std::uint16_t id : ids) {
      radios_.push_back(std::make_unique<radiosim::RadioSimulator>(config));
      fronts_.push_back(std::make_unique<radiosim::UsbFrontEnd>(*radios_.back()));
      std::string error;
      ASSERT_TRUE(fronts_.back()->Attach(path, id, radiosim::UsbInterfacesFor(config.bootLoader), &error)) << error;
    }
    ASSERT_TRUE(shell_.WaitUntil([&] {
      std::uint16_t found[PWL_MAX_DEVICES] = {};
      int count = 0;
      return PWLGetDevicesEx(static_cast<std::uint16_t>(program_), "Corvane_Flash", &count, found) ==
                 PWL_RC_SUCCESS &&
             count == static_cast<int>(ids.size());
    }));
    GetAppSettings().SetAppInt(APP_INT_USB_APP_HANDLE, program_);
    // The program's own services: the device lists come from the USB
    // communication library.
    core_ = std::make_unique<CCoreProcessingThread>(std::make_unique<CJobStarters>(), DefaultCoreServices());
    SetTargetThread(PT_CORE, core_->Id());
    ASSERT_TRUE(core_->Create());
  }
  void TearDown() override {
    core_.reset();
    fronts_.clear();
    radios_.clear();
    PWLDeregisterApp(static_cast<std::uint16_t>(program_));
    PWLTerminatePST();
    PWLTerminateEx(0);
    QuorSim_Reset();
    CoreThreadTest::TearDown();
  }
  static std::unique_ptr<CJobOptions> UsbOptions() {
    auto options = std::make_unique<CJobOptions>();
    options->SetIntParam(OPTION_COMM_PROTOCOL, 1);
    SectorList list;
    list.processorName = "HARROW";
    options->SetSectorList(list);
    return options;
  }

  std::int16_t program_ = -1;
  std::vector<std::unique_ptr<radiosim::RadioSimulator>> radios_;
  std::vector<std::unique_ptr<radiosim::UsbFrontEnd>> fronts_;
};

class UsbFanOut : public UsbRadios, public ::testing::WithParamInterface<radiosim::PowerOnState> {};

TEST_P(UsbFanOut, EveryPresentRadioIsCheckedUnderOneSequenceNumber) {
  const std::vector<std::uint16_t> ids{2, 3, 5, 8, 13, 21, 34, 55};
  Attach(ids, GetParam());
  Queue(WM_COMM_CHECK, DEVICE_UNASSIGNED, UsbOptions());
  for (std::uint16_t id : ids) {
    const std::string name = "USB" + std::to_string(id);
    ASSERT_TRUE(shell_.WaitLog(name + "> Item finished with sequence number 0")) << shell_.AllLogs();
    EXPECT_TRUE(shell_.WaitStatus(id, EVENT_COMM_CHECK_DONE)) << name;
  }
  EXPECT_EQ(shell_.CountLogs("Queueing item with sequence number 0"), ids.size());
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  EXPECT_EQ(shell_.CountLogs("USB4>"), 0u);
}

INSTANTIATE_TEST_SUITE_P(PowerOn, UsbFanOut,
                         ::testing::Values(radiosim::PowerOnState::Kernel, radiosim::PowerOnState::BootLoader),
                         [](const auto& info) {
                           return info.param == radiosim::PowerOnState::Kernel ? "KernelRunning" : "BootLoader";
                         });

TEST_F(UsbRadios, WithoutUsbTheRequestForEveryDeviceIsRefused) {
  Attach({4}, radiosim::PowerOnState::Kernel);
  GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 0);
  Queue(WM_COMM_CHECK, DEVICE_UNASSIGNED, UsbOptions());
  EXPECT_TRUE(shell_.WaitLog("Error> USB capable radio not detected"));
}

}  // namespace
