// Library lifetime: application slots, loading and binding the driver
// library, the driver layer's initialisation and the shut-down rules.

#include "pellwick_fixture.h"
#include "platform/target_registry.h"
#include "os_kind.h"
#include "pwl_codes.h"

namespace usbtest {
namespace {

using LifetimeTest = PellwickTest;

TEST(OsKind, VersionsMapToTheirClassesAndTimeOuts) {
  struct Case {
    bool nt;
    unsigned major, minor;
    const char* servicePack;
    int osClass;
    unsigned timeoutMs;
  };
  const Case cases[] = {
      {false, 4, 0, " C", 4, 3000}, {false, 4, 0, " B", 4, 3000}, {false, 4, 0, "", 3, 3000},
      {false, 4, 10, " A", 6, 3000}, {false, 4, 10, "", 5, 3000},  {false, 4, 90, "", 7, 2500},
      {true, 4, 0, "", 0, 3000},     {true, 5, 0, "", 1, 1000},    {true, 5, 1, "", 2, 1000},
      {true, 6, 0, "", 9, 3000},  // unknown: the previous class stays
  };
  for (const auto& c : cases) {
    int kind = pellwick::GetOsKind({c.nt, c.major, c.minor, c.servicePack}, 9);
    EXPECT_EQ(kind, c.osClass) << c.major << "." << c.minor << c.servicePack;
    EXPECT_EQ(pellwick::DeviceMutexTimeoutMs(kind == 9 ? 8 : kind), c.timeoutMs);
  }
  EXPECT_EQ(pellwick::GetOsKind(pellwick::ReportedOsVersion(), 0), 2) << "the Windows XP class";
}

TEST(PstStatusMap, EveryListedStatusHasItsCodeAndOthersAreFailure) {
  struct Case {
    int status;
    int result;
  };
  const Case cases[] = {{0, 1}, {5, -2}, {6, -7}, {8, -9}, {58, -17}, {59, -8}, {60, -16}, {7, 0}, {13, 0}, {-1, 0}};
  for (const auto& c : cases) EXPECT_EQ(pellwick::MapPstStatus(c.status), c.result) << "status " << c.status;
}

TEST_F(LifetimeTest, AnApplicationPastTheLastSlotFindsNone) {
  ASSERT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
  for (int i = 0; i < PWL_MAX_APPS; ++i) {
    int16_t app = -1;
    ASSERT_EQ(PWLRegisterApp(&app), PWL_RC_SUCCESS);
    EXPECT_EQ(app, i);
  }
  int16_t app = -1;
  EXPECT_EQ(PWLRegisterApp(&app), PWL_RC_NO_FREE_APP);
  int16_t initApp = -1;
  EXPECT_EQ(PWLInitialize(&initApp), PWL_RC_NO_FREE_APP);
}

TEST_F(LifetimeTest, TerminatePstKeepsTheDriverWhileTwoApplicationsRemain) {
  int16_t first = OpenLibrary();
  int16_t second = -1;
  ASSERT_EQ(PWLRegisterApp(&second), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTUninitialize"), 0);
  // Still initialised: the last application cannot go.
  ASSERT_EQ(PWLDeregisterApp(static_cast<uint16_t>(second)), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLTerminate(static_cast<uint16_t>(first)), PWL_RC_STILL_INITIALIZED);
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTUninitialize"), 1);
  EXPECT_EQ(PWLTerminate(static_cast<uint16_t>(first)), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_DeviceChangeWindow(), 0u) << "the last terminate unloads the driver";
}

TEST_F(LifetimeTest, TerminateExWithARegisteredApplicationUnloadsNothing) {
  int16_t app = OpenLibrary();
  EXPECT_EQ(PWLTerminateEx(static_cast<uint16_t>(app)), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTUnregisterDeviceChangeNotification"), 0);
  EXPECT_NE(QuorSim_DeviceChangeWindow(), 0u);
  EXPECT_EQ(PWLTerminateEx(PWL_MAX_APPS), PWL_RC_BAD_APP_INDEX);
}

TEST_F(LifetimeTest, ProgramShutDownSequenceUnloadsTheDriverAndEndsTheThread) {
  int16_t app = OpenLibrary();
  const uint32_t window = QuorSim_DeviceChangeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(platform::IsRegisteredWindow(window));
  EXPECT_EQ(PWLDeregisterApp(static_cast<uint16_t>(app)), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLTerminateEx(static_cast<uint16_t>(app)), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTUnregisterUSBMonitor"), 1);
  EXPECT_FALSE(platform::IsRegisteredWindow(window));
  // Unloaded: a second terminate finds no driver.
  EXPECT_EQ(PWLTerminateEx(0), PWL_RC_DRIVER_NOT_LOADED);
  EXPECT_EQ(PWLInitPST(), PWL_RC_NOT_BOUND);
}

TEST_F(LifetimeTest, InitPstTwiceInitialisesTheDriverOnce) {
  OpenLibrary();
  EXPECT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTInitialize"), 1);
}

TEST_F(LifetimeTest, InitPstReportsAFailingDriverAndStaysUninitialised) {
  ASSERT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
  QuorSim_ForceStatus("Quor_PSTInitialize", 13, 1);
  EXPECT_EQ(PWLInitPST(), PWL_RC_FAILURE);
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_NOT_BOUND);
  EXPECT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
}

TEST_F(LifetimeTest, TerminatePstReportsAFailingUninitialise) {
  OpenLibrary();
  QuorSim_ForceStatus("Quor_PSTUninitialize", 13, 1);
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_UNINITIALIZE_FAILED);
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_SUCCESS);
}

TEST_F(LifetimeTest, ADriverWithoutAnEntryPointIsRefusedAndNotKeptLoaded) {
  pellwick::SetDriverLibraryName("Quor_PST_incomplete");
  int16_t app = -1;
  EXPECT_EQ(PWLInitialize(&app), PWL_RC_DRIVER_NOT_LOADED);
  // The slot was given back and nothing is bound.
  EXPECT_EQ(PWLDeregisterApp(static_cast<uint16_t>(app)), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLInitPST(), PWL_RC_NOT_BOUND);
  EXPECT_EQ(PWLInitializeEx(), PWL_RC_DRIVER_NOT_LOADED);
  // The complete driver loads afterwards.
  pellwick::SetDriverLibraryName("Quor_PST");
  EXPECT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
}

TEST_F(LifetimeTest, AMissingDriverLibraryCannotBeLoaded) {
  pellwick::SetDriverLibraryName("Quor_PST_nowhere.DLL");
  EXPECT_EQ(PWLInitializeEx(), PWL_RC_DRIVER_LOAD_FAILED);
  int16_t app = -1;
  EXPECT_EQ(PWLInitialize(&app), PWL_RC_DRIVER_LOAD_FAILED);
  EXPECT_EQ(PWLDeregisterApp(static_cast<uint16_t>(app)), PWL_RC_APP_NOT_REGISTERED);
}

TEST_F(LifetimeTest, AMaximumBulkSizeOfZeroRefusesTheDriverAndUnloadsIt) {
  QuorSim_SetMaxBulkSize(0);
  EXPECT_EQ(PWLInitializeEx(), PWL_RC_DRIVER_LOAD_FAILED);
  EXPECT_EQ(PWLInitPST(), PWL_RC_NOT_BOUND);
  QuorSim_SetMaxBulkSize(512);
  EXPECT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
}

TEST_F(LifetimeTest, InitializeTakesASlotAndTheLastTerminateUnloads) {
  int16_t app = -1;
  ASSERT_EQ(PWLInitialize(&app), PWL_RC_SUCCESS);
  EXPECT_EQ(app, 0);
  EXPECT_NE(QuorSim_DeviceChangeWindow(), 0u);
  EXPECT_EQ(PWLTerminate(static_cast<uint16_t>(app)), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_DeviceChangeWindow(), 0u);
  EXPECT_EQ(PWLTerminate(static_cast<uint16_t>(app)), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLTerminate(PWL_MAX_APPS), PWL_RC_BAD_APP_INDEX);
}

TEST_F(LifetimeTest, DeregisteringAFreeSlotIsRefusedAndLeavesTheCount) {
  OpenLibrary();
  int16_t second = -1;
  ASSERT_EQ(PWLRegisterApp(&second), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLDeregisterApp(7), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLDeregisterApp(7), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLDeregisterApp(PWL_MAX_APPS), PWL_RC_BAD_APP_INDEX);
  // Two applications are still counted: the driver stays initialised.
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_SUCCESS);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTUninitialize"), 0);
}

}  // namespace
}  // namespace usbtest
