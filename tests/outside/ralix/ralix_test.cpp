// The terminal library stand-in against the smartphone simulator.

#include "ralix/ralix.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/target_registry.h"
#include "platform/temp_folder.h"
#include "smartphone_sim/smartphone_server.h"

namespace {

// What the library handed to the output callback, piece by piece.
struct Output {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> pieces;
} output;

void Collect(const char* text) {
  std::lock_guard lock(output.mutex);
  output.pieces.emplace_back(text);
  output.changed.notify_all();
}

class RalixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("ralix-test-");
    ASSERT_FALSE(folder_.empty());
    socket_ = folder_ + "/phone";
    ASSERT_TRUE(phone_.Start(socket_));
    setenv(kRalixSocketVariable, socket_.c_str(), 1);
    std::lock_guard lock(output.mutex);
    output.pieces.clear();
  }
  void TearDown() override {
    Func356();
    phone_.Stop();
    unsetenv(kRalixSocketVariable);
    std::filesystem::remove_all(folder_);
  }

  // Waits for the prompt; gives the text before it and checks that every
  // piece was a single character.
  std::string UntilPrompt() {
    std::unique_lock lock(output.mutex);
    const bool prompted = output.changed.wait_for(lock, std::chrono::seconds(10), [] {
      return !output.pieces.empty() && output.pieces.back() == ">";
    });
    EXPECT_TRUE(prompted);
    std::string text;
    for (const auto& p : output.pieces) {
      EXPECT_EQ(p.size(), 1u);
      text += p;
    }
    output.pieces.clear();
    return text;
  }

  std::string WriteFile(const std::string& name, std::size_t size) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    return path;
  }

  std::string folder_;
  std::string socket_;
  smartphone_sim::SmartphoneServer phone_;
};

TEST_F(RalixTest, AFileLoadReachesThePhoneWithOutputAndProgress) {
  platform::RegisteredQueue window(platform::TargetKind::Window);
  ASSERT_NE(Func095(Collect, 0x82000000, nullptr, window.handle()), 0);
  const std::string line = "l \"" + WriteFile("a.bin", 300) + "\"\r";
  ASSERT_EQ(Func789(line.c_str(), line.size()), 1);
  EXPECT_EQ(UntilPrompt(), "Receiving a.bin\r\nTransfer complete\r\n>");
  EXPECT_EQ(phone_.Session().Files().at("a.bin").size(), 300u);

  std::vector<platform::WParam> percents;
  while (auto m = window.queue().TryGet()) {
    EXPECT_EQ(m->number, kRalixPercentMessage);
    percents.push_back(m->wParam);
  }
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100u);
}

TEST_F(RalixTest, AFileThatCannotBeReadFailsOnTheOutputThread) {
  ASSERT_NE(Func095(Collect, 0x82000000, nullptr, 0), 0);
  const std::string line = "l \"" + folder_ + "/missing.bin\"\r";
  ASSERT_EQ(Func789(line.c_str(), line.size()), 1);
  const std::string text = UntilPrompt();
  EXPECT_NE(text.find("Transfer failed"), std::string::npos) << text;
  EXPECT_TRUE(phone_.Session().Files().empty());
  EXPECT_TRUE(phone_.Session().Transcript().empty());
}

TEST_F(RalixTest, FormatAndAPhoneThatKeepsItsFilesAcrossConnections) {
  ASSERT_NE(Func095(Collect, 0, nullptr, 0), 0);
  const std::string load = "l \"" + WriteFile("b.bin", 10) + "\"\r";
  ASSERT_EQ(Func789(load.c_str(), load.size()), 1);
  UntilPrompt();
  ASSERT_NE(Func356(), 0);

  ASSERT_NE(Func095(Collect, 0, nullptr, 0), 0);
  EXPECT_EQ(phone_.Session().Files().count("b.bin"), 1u);
  const char format[] = "format 1\r";
  ASSERT_EQ(Func789(format, sizeof format - 1), 1);
  EXPECT_EQ(UntilPrompt(), "Formatting file system\r\nFormat complete\r\n>");
  EXPECT_TRUE(phone_.Session().Files().empty());
  EXPECT_EQ(phone_.Connections(), 2);
}

TEST_F(RalixTest, WithoutAPhoneNothingConnectsAndNothingIsSent) {
  EXPECT_EQ(Func789("format 1\r", 9), 0);  // not connected
  EXPECT_EQ(Func356(), 0);
  setenv(kRalixSocketVariable, (folder_ + "/nobody").c_str(), 1);
  EXPECT_EQ(Func095(Collect, 0, nullptr, 0), 0);
  unsetenv(kRalixSocketVariable);
  EXPECT_EQ(Func095(Collect, 0, nullptr, 0), 0);
}

}  // namespace
