// The COM map: names, the folder entries, the ttyS fallback and the reverse
// look-up.

#include "platform/com_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "serial_test_support.h"

namespace {

namespace fs = std::filesystem;
using serial_testing::ComDirOverride;
using serial_testing::TempFolder;

TEST(ComMap, ParsesComNames) {
  const struct {
    const char* name;
    std::optional<int> number;
  } cases[] = {
      {"COM1", 1},        {"com12", 12},     {"\\\\.\\COM3", 3}, {"//./COM255", 255},
      {"COM0", std::nullopt}, {"COM256", std::nullopt}, {"COM", std::nullopt},
      {"COM1x", std::nullopt}, {"/dev/ttyS0", std::nullopt}, {"LPT1", std::nullopt},
      {"COM-1", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ParseComName(c.name), c.number) << c.name;
}

TEST(ComMap, DefaultFolderWhenTheVariableIsUnset) {
  ::unsetenv(platform::kComDirVariable);
  EXPECT_EQ(platform::ComDirectory(), "/dev/quillon");
  ::setenv(platform::kComDirVariable, "", 1);
  EXPECT_EQ(platform::ComDirectory(), "/dev/quillon");
  ::unsetenv(platform::kComDirVariable);
}

TEST(ComMap, FolderEntryWinsOverTheTtySFallback) {
  TempFolder dir;
  ComDirOverride over(dir.path());
  EXPECT_EQ(platform::ComDevicePath(3), "/dev/ttyS2");
  fs::create_symlink("/dev/null", dir.path() + "/COM3");
  EXPECT_EQ(platform::ComDevicePath(3), dir.path() + "/COM3");
  EXPECT_EQ(platform::ResolvePortName("\\\\.\\COM3"), dir.path() + "/COM3");
  EXPECT_EQ(platform::ResolvePortName("/some/path"), "/some/path");
  // A dangling link still names the port (opening it then fails as not found).
  fs::create_symlink(dir.path() + "/gone", dir.path() + "/COM9");
  EXPECT_EQ(platform::ComDevicePath(9), dir.path() + "/COM9");
}

TEST(ComMap, ReverseLookupReadsTheSameMap) {
  TempFolder dir;
  ComDirOverride over(dir.path());
  const std::string device = dir.path() + "/device";
  std::ofstream(device) << "";
  fs::create_symlink(device, dir.path() + "/COM7");
  EXPECT_EQ(platform::ComNumberOfDevice(device), 7);
  EXPECT_EQ(platform::ComNumberOfDevice(dir.path() + "/COM7"), 7);
  EXPECT_EQ(platform::ComNumberOfDevice(dir.path() + "/other"), std::nullopt);

  EXPECT_EQ(platform::ComNumberOfDevice("/dev/ttyS4"), 5);
  // Once the folder maps COM5 elsewhere, /dev/ttyS4 is no COM port.
  fs::create_symlink(device, dir.path() + "/COM5");
  EXPECT_EQ(platform::ComNumberOfDevice("/dev/ttyS4"), std::nullopt);
}

TEST(ComMap, EnumerationListsTheFolderEntriesInOrder) {
  TempFolder dir;
  ComDirOverride over(dir.path());
  for (const char* name : {"COM12", "COM2", "COMx", "notes", "COM0"}) std::ofstream(dir.path() + "/" + name) << "";
  const std::vector<int> ports = platform::EnumerateComPorts();
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
  EXPECT_NE(std::find(ports.begin(), ports.end(), 2), ports.end());
  EXPECT_NE(std::find(ports.begin(), ports.end(), 12), ports.end());
  EXPECT_EQ(std::find(ports.begin(), ports.end(), 0), ports.end());
}

}  // namespace
