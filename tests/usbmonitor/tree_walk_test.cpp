// The walk over the reference tree as the system's device database shows it:
// every port's entry, the numbering and the counters as one table.
#include <gtest/gtest.h>

#include "monitor_fixture.h"
#include "platform/com_map.h"
#include "platform/usb_tree.h"
#include "reference_tree.h"
#include "tree_walk.h"

namespace kovrin_test {
namespace {

using kovrin::EmptyEntry;
using kovrin::MakeEntry;
using kovrin::OtherDeviceEntry;

class TreeWalkTest : public MonitorTest {
 protected:
  kovrin::WalkOutcome Walk(bool rescan = false) {
    return kovrin::WalkUsbTree(platform::ReadUsbHostTree(), table_, history_, rescan,
                               [](const std::string& tty) { return platform::ComNumberOfDevice(tty); });
  }
  kovrin::PortTable table_;
  kovrin::PresenceHistory history_;
};

TEST_F(TreeWalkTest, ReferenceTreeEntriesNumberingAndCounters) {
  BuildReferenceTree(tree(), Pty(7), Pty(8));
  auto outcome = Walk();

  struct Row {
    int port;
    kovrin::PortEntry entry;
    const char* description;
    const char* location;
  };
  const Row rows[] = {
      {0, MakeEntry(0, 7, true, 1), "Corvane Quor USB Modem", "1-1"},
      {1, EmptyEntry(1), "", ""},
      {2, EmptyEntry(2), "", ""},
      {3, MakeEntry(3, 0xFF, true, 2), "Corvane Q9t USB Device", "1-4.2"},
      {4, MakeEntry(4, 0xFF, true, 2), "Corvane Quor Interface", "1-4.3"},
      {5, MakeEntry(5, 0xFF, true, 2), "Corvane Flash Interface", "1-4.4"},
      {6, MakeEntry(6, 0xFF, true, 3), "Corvane Smartphone", "1-4.5"},
      {7, MakeEntry(7, 0xFF, true, 4), "USB Composite Device", "1-4.6"},
      {8, OtherDeviceEntry(8), nullptr, "1-4.7"},
      {9, OtherDeviceEntry(9), "Corvane Widget", "1-4.8"},
      {10, MakeEntry(10, 0xFF, true, 4), "Corvane Composite USB Device", "1-4.9"},
      {11, EmptyEntry(11), "", ""},
      {125, EmptyEntry(125), "", ""},
      {126, EmptyEntry(126), "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("port " + std::to_string(row.port));
    EXPECT_EQ(table_.entries[row.port], row.entry) << std::hex << table_.entries[row.port];
    if (row.description) {
      EXPECT_EQ(table_.devices[row.port].description, row.description);
    }
    EXPECT_EQ(table_.devices[row.port].location, row.location);
  }
  EXPECT_EQ(table_.devices[8].description, "Realtek " + kLongProduct);
  EXPECT_EQ(table_.devices[7].compositeModemCom, 8);
  EXPECT_FALSE(table_.devices[10].descriptors.has_value()) << "malformed descriptors are dropped";
  EXPECT_TRUE(table_.devices[7].descriptors.has_value());

  const auto& c = table_.counters;
  EXPECT_EQ(c.hostControllers, 1);
  EXPECT_EQ(c.hubs, 1);
  EXPECT_EQ(c.ports, 131);
  EXPECT_EQ(c.rootPorts, 7);
  EXPECT_EQ(c.connectedPorts, 11);
  EXPECT_EQ(c.makerDevices, 6);
  EXPECT_TRUE(c.enhancedController);
  EXPECT_EQ(outcome.makerDevices, 6);
  EXPECT_EQ(outcome.connectedPorts, (std::vector<int>{0, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(TreeWalkTest, RescanMarksThePortWhosePresenceFlipped) {
  auto root = tree().AddRootHub(1, 4);
  auto a = tree().AddDevice(root, "1-1", SimpleSpec("1d07", "0021", "A"));
  Walk();
  EXPECT_EQ(history_.flippedPort, -1) << "a plain walk marks nothing";

  tree().AddDevice(root, "1-3", SimpleSpec("1d07", "0030", "B"));
  Walk(true);
  EXPECT_EQ(history_.flippedPort, 2);

  tree().Remove(a);
  Walk(true);
  EXPECT_EQ(history_.flippedPort, 0);
  EXPECT_EQ(table_.entries[0], EmptyEntry(0));
}

TEST_F(TreeWalkTest, RewritingAPortForgetsTheDeviceThatStoodThere) {
  auto root = tree().AddRootHub(1, 2);
  auto phone = tree().AddDevice(root, "1-1", SimpleSpec("1d07", "0030", "Phone"));
  Walk();
  ASSERT_EQ(table_.devices[0].description, "Corvane Smartphone");
  tree().Remove(phone);
  Walk();
  EXPECT_EQ(table_.devices[0].description, "");
  EXPECT_EQ(table_.devices[0].syspath, "");
  EXPECT_FALSE(table_.devices[0].descriptors.has_value());
}

TEST_F(TreeWalkTest, RootHubsComeInBusOrder) {
  auto second = tree().AddRootHub(2, 1, 12);
  auto first = tree().AddRootHub(1, 1, 12);
  tree().AddDevice(second, "2-1", SimpleSpec("1d07", "0030", "On bus 2"));
  tree().AddDevice(first, "1-1", SimpleSpec("1d07", "0021", "On bus 1"));
  Walk();
  EXPECT_EQ(table_.devices[0].location, "1-1");
  EXPECT_EQ(table_.devices[1].location, "2-1");
  EXPECT_EQ(table_.counters.hostControllers, 2);
  EXPECT_FALSE(table_.counters.enhancedController);
}

}  // namespace
}  // namespace kovrin_test
