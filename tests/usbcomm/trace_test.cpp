// The debug trace goes to the sink that the environment names.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pellwick_fixture.h"
#include "pwl_trace.h"

namespace usbtest {
namespace {

class TraceTest : public PellwickTest {
 protected:
  void SetUp() override {
    PellwickTest::SetUp();
    folder_ = std::filesystem::temp_directory_path() /
              ("pwl-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    unsetenv(pellwick::kTraceVariable);
    PellwickTest::TearDown();
    std::filesystem::remove_all(folder_);
  }
  static std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::filesystem::path folder_;
};

TEST_F(TraceTest, TheNamedFileGetsTheTraceLines) {
  const auto file = folder_ / "pellwick.trace";
  setenv(pellwick::kTraceVariable, file.c_str(), 1);
  int16_t app = OpenLibrary();
  PWLGetDevicesEx(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, nullptr, nullptr);
  int count = 0;
  uint16_t ids[PWL_MAX_DEVICES];
  PWLGetDevicesEx(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, &count, ids);
  const std::string text = Read(file);
  EXPECT_NE(text.find("Load Library OK\n"), std::string::npos) << text;
  EXPECT_NE(text.find("No device connected\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace usbtest
