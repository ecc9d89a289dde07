#pragma once
// A fake USB tree in a test bed, pseudo-terminals linked into a private COM
// folder, and the monitor's process-wide state handed back clean after each
// test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fake_usb_tree.h"
#include "kovrin/kovrin.h"
#include "platform/com_map.h"
#include "platform/pseudo_terminal.h"
#include "platform/temp_folder.h"

namespace kovrin_test {

inline constexpr std::uint16_t kApp = 3;

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FakeUsbTree::Preloaded()) << "run under umockdev's preload library (ctest sets LD_PRELOAD)";
    comDir_ = platform::MakeTemporaryFolder("kovrin-com-");
    ASSERT_FALSE(comDir_.empty());
    setenv(platform::kComDirVariable, comDir_.c_str(), 1);
    // Pseudo-terminals open before the test bed exists: inside it the
    // preload library sends /dev to the test bed's own folder.
    for (int i = 0; i < kPtyPool; ++i) {
      auto pty = std::make_unique<platform::PseudoTerminal>();
      ASSERT_TRUE(pty->Open());
      ptys_.push_back(std::move(pty));
    }
    tree_ = std::make_unique<FakeUsbTree>();
  }

  void TearDown() override {
    for (std::uint16_t id = 0; id < 32; ++id) {
      while (KovrinStop(id) == KOVRIN_SUCCESS) {
      }
      KovrinClearAppshWnd(id, 0);
      KovrinUnsubscribeThreadMessage(id);
      KovrinSetDeviceNotificationEvent(id, nullptr);
    }
    while (KovrinTerminate(kApp) == KOVRIN_SUCCESS) {
    }
    tree_.reset();
    ptys_.clear();
    unsetenv(platform::kComDirVariable);
    std::error_code ec;
    std::filesystem::remove_all(comDir_, ec);
  }

  // A pseudo-terminal linked as COMn; its slave path is what the tty's
  // device node names.
  std::string Pty(int com) {
    if (nextPty_ >= ptys_.size()) {
      ADD_FAILURE() << "more pseudo-terminals than the pool holds";
      return {};
    }
    auto& pty = *ptys_[nextPty_++];
    EXPECT_TRUE(pty.LinkAs(comDir_, com));
    return pty.SlavePath();
  }

  FakeUsbTree& tree() { return *tree_; }

  static constexpr int kPtyPool = 6;
  std::size_t nextPty_ = 0;
  std::string comDir_;
  std::unique_ptr<FakeUsbTree> tree_;
  std::vector<std::unique_ptr<platform::PseudoTerminal>> ptys_;
};

}  // namespace kovrin_test
