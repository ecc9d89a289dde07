// The gps_sim_serve command: a chip served on a pseudo-terminal in another
// process, reached by the library through the COM folder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ambrel/ambrel.h"
#include "platform/temp_folder.h"

namespace {

TEST(ServeCommand, ServesAChipUntilItsInputCloses) {
  const std::string folder = platform::MakeTemporaryFolder("gps-serve-");
  ASSERT_FALSE(folder.empty());
  ::setenv("QUILLON_COM_DIR", folder.c_str(), 1);
  const std::string command = std::string(QUILLON_BINARY_DIR) + "/bin/gps_sim_serve --part 28F800B3T --com-dir " +
                              folder + " --com 7 > " + folder + "/out.txt";
  std::FILE* serve = ::popen(command.c_str(), "w");
  ASSERT_NE(serve, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(folder + "/COM7") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  char vendor[64] = {};
  char part[64] = {};
  unsigned size = 0;
  EXPECT_EQ(Ambrel_Init_Ex(7, 115200, 1, 0, 0, vendor, part, &size), 0);
  EXPECT_STREQ(part, "28F800B3T");
  EXPECT_STREQ(vendor, "INTEL");
  EXPECT_EQ(Ambrel_Terminate(), 0);
  EXPECT_EQ(::pclose(serve), 0);

  std::ifstream in(folder + "/out.txt");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().rfind("/dev/", 0), 0u) << text.str();
  EXPECT_NE(text.str().find("detection program loaded, 1640 bytes"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("back in the ROM loader"), std::string::npos) << text.str();
  std::filesystem::remove_all(folder);
}

}  // namespace
