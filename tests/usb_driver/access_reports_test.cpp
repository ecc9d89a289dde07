// A device the user may not open is said once per plug-in: on standard error
// at once and as a log line to the USB-monitor window, now or when it comes.

#include <gtest/gtest.h>

#include "access_reports.h"
#include "platform/target_registry.h"

namespace usbdrivertest {
namespace {

using namespace std::chrono_literals;
using usb_driver::AccessReports;

class AccessReportsTest : public ::testing::Test {
 protected:
  AccessReports reports{[this](const std::string& line) { errors.push_back(line); }};
  std::vector<std::string> errors;
  platform::RegisteredQueue window{platform::TargetKind::Window};

  std::vector<std::string> LoggedLines() {
    std::vector<std::string> lines;
    while (auto m = window.queue().TakeMatching(usb_driver::kLogLineMessage, usb_driver::kLogLineMessage, 0ms)) {
      if (auto text = m->payload.Take<std::string>()) lines.push_back(*text);
    }
    return lines;
  }
};

const char* const kLine = "USB3> ERROR: no permission to open USB device /dev/bus/usb/001/007 \u2014 install the udev rule";

TEST_F(AccessReportsTest, SaysItOncePerPlugIn) {
  EXPECT_EQ(usb_driver::NoPermissionText(3, "/dev/bus/usb/001/007"), kLine);
  EXPECT_TRUE(reports.NoPermission("1-2@1/7", 3, "/dev/bus/usb/001/007", window.handle()));
  EXPECT_FALSE(reports.NoPermission("1-2@1/7", 3, "/dev/bus/usb/001/007", window.handle()));
  EXPECT_EQ(errors, std::vector<std::string>{kLine});
  EXPECT_EQ(LoggedLines(), std::vector<std::string>{kLine});
  // Plugged in again, it is said again.
  reports.Forget("1-2@1/7");
  EXPECT_TRUE(reports.NoPermission("1-2@1/7", 3, "/dev/bus/usb/001/007", window.handle()));
  EXPECT_EQ(LoggedLines().size(), 1u);
}

TEST_F(AccessReportsTest, AnInterfaceInUseIsSaidOncePerPlugInBesideThePermission) {
  const std::string inUse = usb_driver::InUseText(3, "/dev/bus/usb/001/007");
  EXPECT_EQ(inUse, "USB3> ERROR: USB device /dev/bus/usb/001/007 is in use by another program \u2014 close the other "
                   "program (another vexaload, a modem manager)");
  EXPECT_TRUE(reports.InUse("1-2@1/7", 3, "/dev/bus/usb/001/007", window.handle()));
  EXPECT_FALSE(reports.InUse("1-2@1/7", 3, "/dev/bus/usb/001/007", window.handle()));
  EXPECT_TRUE(reports.NoPermission("1-2@1/7", 3, "/dev/bus/usb/001/007", window.handle()));
  EXPECT_EQ(LoggedLines(), (std::vector<std::string>{inUse, kLine}));
  reports.Forget("1-2@1/7");
  EXPECT_TRUE(reports.InUse("1-2@1/7", 3, "/dev/bus/usb/001/007", window.handle()));
}

TEST_F(AccessReportsTest, ALineWithoutAWindowWaitsForTheWindow) {
  EXPECT_TRUE(reports.NoPermission("1-2@1/7", 3, "/dev/bus/usb/001/007", platform::kNoHandle));
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(LoggedLines().empty());
  reports.WindowRegistered(window.handle());
  EXPECT_EQ(LoggedLines(), std::vector<std::string>{kLine});
  reports.WindowRegistered(window.handle());
  EXPECT_TRUE(LoggedLines().empty());
}

}  // namespace
}  // namespace usbdrivertest
