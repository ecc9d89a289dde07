// The library bound to the real USB device monitor libKovrin.so by name,
// over fake USB trees: the smartphone port list the program asks for.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "fake_usb_tree.h"
#include "gantrel/gantrel.h"
#include "library_state.h"
#include "linkpeers/serial_peer.h"
#include "platform/com_map.h"
#include "platform/target_registry.h"
#include "platform/temp_folder.h"
#include "reference_tree.h"

namespace {

using namespace std::chrono_literals;
using kovrin_test::FakeUsbTree;

class RealMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FakeUsbTree::Preloaded()) << "run under umockdev's preload library (ctest sets LD_PRELOAD)";
    comDir_ = platform::MakeTemporaryFolder("gantrel-kovrin-com-");
    ASSERT_FALSE(comDir_.empty());
    setenv(platform::kComDirVariable, comDir_.c_str(), 1);
    // The pseudo-terminals that the tree's ttys name open before the test bed exists.
    int com = 7;
    for (auto& peer : peers_) {
      peer = std::make_unique<linkpeers::SerialPeer>();
      ASSERT_TRUE(peer->Start(comDir_, com++));
    }
    tree_ = std::make_unique<FakeUsbTree>();
  }

  void TearDown() override {
    for (std::uint16_t id = 0; id < GANTREL_MAX_APPS; ++id) {
      QuorDisconnect(id);
      QuorDeRegisterApp(id);
    }
    while (QuorTerminate() == 0) {
    }
    gantrel::DetachLibrary();
    tree_.reset();
    for (auto& peer : peers_) peer.reset();
    unsetenv(platform::kComDirVariable);
    std::error_code ec;
    std::filesystem::remove_all(comDir_, ec);
  }

  // Loads the real monitor as the library does when it is attached.
  static void BindRealMonitor() {
    gantrel::DetachLibrary();
    gantrel::AttachLibrary("Kovrin");
    auto& lib = gantrel::Library();
    std::lock_guard lock(lib.lock);
    ASSERT_TRUE(lib.kovrin.Bound()) << "libKovrin.so beside the test program";
  }

  std::uint16_t Register() {
    RegisterParams params{static_cast<std::int32_t>(window_.handle()), 0xFFFF};
    EXPECT_EQ(QuorRegisterApp(&params), 0);
    return params.id;
  }

  std::string comDir_;
  std::array<std::unique_ptr<linkpeers::SerialPeer>, 2> peers_;
  std::unique_ptr<FakeUsbTree> tree_;
  platform::RegisteredQueue window_{platform::TargetKind::Window};
};

TEST_F(RealMonitorTest, SmartphonePortListComesFromTheMonitor) {
  kovrin_test::BuildReferenceTree(*tree_, peers_[0]->SlavePath(), peers_[1]->SlavePath());
  BindRealMonitor();
  ASSERT_EQ(QuorInitialize(), 0);
  const auto id = Register();
  int count = -1;
  std::int16_t ports[127] = {};
  ASSERT_EQ(QuorGetUSBSmartphoneList(id, &count, ports), 0);
  // The reference tree's smartphone within the table's places is on port 6.
  ASSERT_EQ(count, 1);
  EXPECT_EQ(ports[0], 6);
}

TEST_F(RealMonitorTest, SmartphoneListOfATreeWithoutPhonesIsEmpty) {
  const auto root = tree_->AddRootHub(1, 4);
  tree_->AddDevice(root, "1-2", kovrin_test::SimpleSpec("1d07", "0021", "Q9t Radio"));
  BindRealMonitor();
  int count = -1;
  std::int16_t ports[127] = {};
  ASSERT_EQ(QuorGetUSBSmartphoneList(0, &count, ports), 0);
  EXPECT_EQ(count, 0);
}

}  // namespace
