// The USB registration at start-up against the driver stand-in, with the
// stand-in failing at each step, and the rows it lists; the shut-down.
#include <QLabel>
#include <string>

#include "main_window_fixture.h"
#include "pellwick/pellwick.h"
#include "shell/ui/grid/device_grid_view.h"
#include "quor_pst/quor_sim_control.h"
#include "shell/ui/main/usb_session.h"

namespace maintest {
namespace {

class UsbStartup : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    QuorSim_Reset();
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    for (std::uint16_t app = 0; app < PWL_MAX_APPS; ++app) PWLDeregisterApp(app);
    PWLTerminatePST();
    PWLTerminateEx(0);
    QuorSim_Reset();
  }
  void StartUp() {
    PostToWindow(WM_STARTUP_CONTINUE);
    FlushWindow();
  }
  bool Logged(const std::string& line) {
    for (const auto& l : lines) {
      if (l == line) return true;
    }
    return false;
  }
  void ExpectFallBack(const char* errorLine, const char* outcomeLine) {
    lines = LogLines();
    EXPECT_TRUE(Logged(errorLine)) << errorLine;
    EXPECT_TRUE(Logged(outcomeLine)) << outcomeLine;
    ASSERT_EQ(prompts->Boxes().size(), 1u);
    EXPECT_EQ(prompts->Boxes()[0].text, kUsbFallbackBox);
    EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_COMM_PROTOCOL), 0);
    EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_USB_AVAILABLE), 0);
    EXPECT_FALSE(window->Usb().Registered());
    // The COM row of RS232 is there instead.
    EXPECT_GE(window->Grid().FindGridRow(127), 0);
  }
  std::vector<std::string> lines;
};

// The USB driver says what the user must do (a device it may not open)
// through the window it was handed; the line reaches the log unchanged.
TEST_F(UsbStartup, ALogLineADriverPostsToTheWindowReachesTheLog) {
  Open();
  const std::string text = "USB4> ERROR: no permission to open USB device /dev/bus/usb/001/009 \u2014 install the udev rule";
  platform::Message message(WM_LOG_LINE, 0, 0);
  message.payload = platform::OwnedPayload(std::make_unique<std::string>(text));
  ASSERT_TRUE(platform::PostWindowMessage(window->Handle(), std::move(message)));
  FlushWindow();
  lines = LogLines();
  EXPECT_TRUE(Logged(text));
}

TEST_F(UsbStartup, RegistersListsTheDevicesOnceAndDeregistersAtTheEnd) {
  ASSERT_EQ(QuorSim_DefineDevice(3, QUOR_SIM_FLASH | QUOR_SIM_BOOT, 64, 64), 0);
  ASSERT_EQ(QuorSim_DefineDevice(7, QUOR_SIM_BOOT, 64, 64), 0);
  ASSERT_EQ(QuorSim_Plug(3), 0);
  ASSERT_EQ(QuorSim_Plug(7), 0);
  Open();
  StartUp();
  lines = LogLines();
  EXPECT_TRUE(Logged("USB> Driver successfully intialized on Windows XP"));
  EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_USB_AVAILABLE), 1);
  EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_USB_APP_HANDLE), window->Usb().Handle());
  EXPECT_TRUE(prompts->Boxes().empty());
  EXPECT_EQ(window->Grid().CountGridDevices(), 2);  // device 3 is in both listings
  EXPECT_GE(window->Grid().FindGridRow(3), 0);
  EXPECT_GE(window->Grid().FindGridRow(7), 0);
  EXPECT_EQ(QuorSim_UsbMonitorWindow(), window->Handle());

  // A device plugged now reaches the window through the change record.
  ASSERT_EQ(QuorSim_DefineDevice(12, QUOR_SIM_FLASH, 64, 64), 0);
  ASSERT_EQ(QuorSim_Plug(12), 0);
  EXPECT_TRUE(PumpUntil([&] { return window->Grid().FindGridRow(12) >= 0; }));
  ASSERT_EQ(QuorSim_Unplug(12), 0);
  EXPECT_TRUE(PumpUntil([&] { return window->Grid().FindGridRow(12) < 0; }));

  const std::uint16_t app = window->Usb().Handle();
  window->Shutdown();
  EXPECT_EQ(PWLDeregisterApp(app), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTUninitialize"), 1);
}

// USB with no radio: the empty grid says why and where RS232 is chosen; a
// radio plugged in takes the line's place, and the line is back when it goes.
TEST_F(UsbStartup, AnEmptyUsbGridSaysNoRadioWasFound) {
  Open();
  const int before = window->height();
  StartUp();
  ASSERT_EQ(GetAppSettings().GetAppInt(APP_INT_USB_AVAILABLE), 1);
  EXPECT_EQ(window->Grid().CountGridDevices(), 0);
  QLabel* line = window->GridView()->EmptyLine();
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->text().startsWith("No radio found on USB."));
  EXPECT_TRUE(line->text().contains(QString::fromUtf8("choose RS232 in Tools \u2192 Options")));
  EXPECT_EQ(window->height(), before + 2 * window->GridView()->RowHeight());
  EXPECT_LE(line->heightForWidth(line->width()), line->height());  // not cut

  ASSERT_EQ(QuorSim_DefineDevice(5, QUOR_SIM_FLASH, 64, 64), 0);
  ASSERT_EQ(QuorSim_Plug(5), 0);
  EXPECT_TRUE(PumpUntil([&] { return window->Grid().FindGridRow(5) >= 0; }));
  EXPECT_EQ(window->GridView()->EmptyLine(), nullptr);
  ASSERT_EQ(QuorSim_Unplug(5), 0);
  EXPECT_TRUE(PumpUntil([&] { return window->GridView()->EmptyLine() != nullptr; }));
}

// The program reaches pellwick only through its exported functions, so the
// driver fails the load the way pellwick sees a driver it cannot use: it
// offers no bulk transfers, and pellwick unloads it again with the same
// result as for a library that cannot be loaded (a missing driver file is
// covered by pellwick's own tests).
TEST_F(UsbStartup, ADriverThatCannotLoadFallsBackToRs232) {
  QuorSim_SetMaxBulkSize(0);
  Open();
  StartUp();
  ExpectFallBack("Error> PWLInitialize failed with error code -2", "USB> Driver unsuccessfully initialized on Windows XP");
}

TEST_F(UsbStartup, NoFreeApplicationSlotFallsBackAndUnloadsTheDriver) {
  std::vector<std::int16_t> taken;
  for (int i = 0; i < PWL_MAX_APPS; ++i) {
    std::int16_t app = -1;
    ASSERT_EQ(PWLRegisterApp(&app), PWL_RC_SUCCESS);
  }
  Open();
  StartUp();
  ExpectFallBack("Error> PWLInitialize failed with error code -1", "USB> Driver unsuccessfully initialized on Windows XP");
}

TEST_F(UsbStartup, AFailingDriverInitialisationIsUndone) {
  QuorSim_ForceStatus("Quor_PSTInitialize", 13, 1);
  Open();
  StartUp();
  ExpectFallBack("Error> PWLInitPST failed with error code 0", "USB> Driver unsuccessfully intialized on Windows XP");
  // The application slot it had taken is free again, and the driver unloaded.
  std::int16_t app = -1;
  ASSERT_EQ(PWLRegisterApp(&app), PWL_RC_SUCCESS);
  EXPECT_EQ(app, 0);
  EXPECT_EQ(PWLInitPST(), PWL_RC_NOT_BOUND);
}

TEST_F(UsbStartup, AFailingTerminationIsLoggedAndTheRestStillStops) {
  Open();
  StartUp();
  ASSERT_TRUE(window->Usb().Registered());
  LogLines();
  QuorSim_ForceStatus("Quor_PSTUninitialize", 13, 1);
  window->Shutdown();
  lines = LogLines();
  EXPECT_TRUE(Logged("Error> PWLTerminatePST failed with error code -6"));
  EXPECT_FALSE(window->Usb().Registered());
}

TEST(WindowsVersionName, NamesTheVersionsAsTheProgramPrintsThem) {
  EXPECT_EQ(WindowsVersionName({true, 4, 0, ""}), "Windows NT 4.0");
  EXPECT_EQ(WindowsVersionName({true, 5, 0, ""}), "Windows 2000");
  EXPECT_EQ(WindowsVersionName({true, 5, 1, ""}), "Windows XP");
  EXPECT_EQ(WindowsVersionName({true, 6, 0, ""}), "Windows Vista");
  EXPECT_EQ(WindowsVersionName({true, 6, 1, ""}), "Unknown");
  EXPECT_EQ(WindowsVersionName({false, 4, 0, ""}), "Windows 95");
  EXPECT_EQ(WindowsVersionName({false, 4, 10, " A "}), "Windows 98 Second Edition");
  EXPECT_EQ(WindowsVersionName({false, 4, 10, ""}), "Windows 98 First Edition");
  EXPECT_EQ(WindowsVersionName({false, 4, 90, ""}), "Windows Millenium Edition");
  EXPECT_EQ(WindowsVersionName({false, 3, 0, ""}), "Unknown");
}

TEST_F(UsbStartup, AnUnsupportedSystemUsesRs232WithoutTryingUsb) {
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  UsbSession session([&](const std::string& l) { lines.push_back(l); }, [](const std::string&) {});
  session.Start(platform::kNoHandle, {false, 4, 0, ""});
  EXPECT_EQ(lines, std::vector<std::string>{"USB> Driver not supported on Windows 95"});
  EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_COMM_PROTOCOL), 0);
  EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_USB_APP_HANDLE), 0xFFFF);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTInitialize"), 0);
}

}  // namespace
}  // namespace maintest
