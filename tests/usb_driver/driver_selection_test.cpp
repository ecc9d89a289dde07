// Which USB driver library a program loads: the stand-in beside the program
// unless QUILLON_USB_DRIVER names another folder; pellwick over the libusb
// driver opens, lists no devices on a bus without them and unloads it again.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "driver_env.h"
#include "pellwick/pellwick.h"
#include "platform/dynamic_library.h"

namespace usbdrivertest {
namespace {

TEST(DriverSelection, TheVariableNamesTheDriversFolder) {
  const std::string program = platform::ProgramFolder();
  struct Case {
    const char* value;
    const char* name;
    std::string file;
  };
  const Case cases[] = {
      {"", "Quor_PST.DLL", program + "/libQuor_PST.so"},
      {"libusb", "Quor_PST.DLL", program + "/libusb/libQuor_PST.so"},
      {"libusb", "Quor_PST", program + "/libusb/libQuor_PST.so"},
      {"libusb", "Quor_PST_d.DLL", program + "/libusb/libQuor_PST_d.so"},
      {"/opt/radios", "Quor_PST.dll", "/opt/radios/libQuor_PST.so"},
      // Every other library stays beside the program.
      {"libusb", "Kovrin", program + "/libKovrin.so"},
      {"libusb", "Quor_PST_incomplete", program + "/libQuor_PST_incomplete.so"},
  };
  for (const auto& c : cases) {
    DriverSelection selection(c.value);
    EXPECT_EQ(platform::LibraryFileFor(c.name), c.file) << c.value << " " << c.name;
  }
}

bool Mapped(const std::string& fileEnd) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.ends_with(fileEnd)) return true;
  }
  return false;
}

TEST(DriverSelection, PellwickOverTheLibusbDriverFindsNoRadiosAndUnloadsIt) {
  DriverSelection selection("libusb");
  ASSERT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
  EXPECT_TRUE(Mapped("/bin/libusb/libQuor_PST.so"));
  std::int16_t app = -1;
  ASSERT_EQ(PWLRegisterApp(&app), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
  int count = -1;
  std::uint16_t ids[PWL_MAX_DEVICES] = {};
  EXPECT_EQ(PWLGetDevicesEx(static_cast<std::uint16_t>(app), PWL_INTERFACE_FLASH, &count, ids), PWL_RC_NO_DEVICE);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(PWLTerminatePST(), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLDeregisterApp(static_cast<std::uint16_t>(app)), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLTerminateEx(0), PWL_RC_SUCCESS);
  // Unloaded, with its event thread stopped.
  EXPECT_FALSE(Mapped("/bin/libusb/libQuor_PST.so"));
}

}  // namespace
}  // namespace usbdrivertest
