// Initialise, start, stop and terminate; the subscriber lists.
#include <gtest/gtest.h>

#include <array>

#include "monitor_fixture.h"
#include "reference_tree.h"

namespace kovrin_test {
namespace {

using LifecycleTest = MonitorTest;

TEST_F(LifecycleTest, CallsOutOfOrderGetTheirCodes) {
  EXPECT_EQ(KovrinTerminate(kApp), KOVRIN_NOT_INITIALIZED);
  EXPECT_EQ(KovrinStart(kApp), KOVRIN_REGISTRATION_FAILED) << "no notification thread to register";
  EXPECT_EQ(KovrinStop(kApp), KOVRIN_NO_REGISTRATION);
}

TEST_F(LifecycleTest, RepeatedRoundsCountInitialisationsAndStarts) {
  tree().AddRootHub(1, 2);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(KovrinInitialize(kApp), KOVRIN_SUCCESS);
    EXPECT_EQ(KovrinInitialize(kApp + 1), KOVRIN_SUCCESS);
    EXPECT_EQ(KovrinStart(kApp), KOVRIN_SUCCESS);
    EXPECT_EQ(KovrinStart(kApp + 1), KOVRIN_SUCCESS) << "a later start does not register again";
    EXPECT_EQ(KovrinStop(kApp + 1), KOVRIN_SUCCESS);
    EXPECT_EQ(KovrinStop(kApp), KOVRIN_SUCCESS);
    EXPECT_EQ(KovrinStop(kApp), KOVRIN_NO_REGISTRATION);
    EXPECT_EQ(KovrinTerminate(kApp), KOVRIN_SUCCESS);
    EXPECT_EQ(KovrinTerminate(kApp + 1), KOVRIN_SUCCESS);
    EXPECT_EQ(KovrinTerminate(kApp), KOVRIN_NOT_INITIALIZED);
  }
}

TEST_F(LifecycleTest, WindowListHoldsThirtyTwoDistinctWindows) {
  EXPECT_EQ(KovrinSetAppshWnd(0, 0), KOVRIN_SUCCESS) << "no window yet";
  for (std::uint16_t id = 0; id < 32; ++id) EXPECT_EQ(KovrinSetAppshWnd(id, 0x5000 + id), KOVRIN_SUCCESS);
  EXPECT_EQ(KovrinSetAppshWnd(0, 0), KOVRIN_FAULT) << "the id has a window";
  EXPECT_EQ(KovrinSetAppshWnd(0, 0x6000), KOVRIN_FAULT) << "the list is full";
  EXPECT_EQ(KovrinSetAppshWnd(0, 0x5001), KOVRIN_SUCCESS) << "a listed window is shared, not added";
  EXPECT_EQ(KovrinSetAppshWnd(0, 0x6000), KOVRIN_SUCCESS) << "id 0's own window left the list";
  EXPECT_EQ(KovrinSetAppshWnd(32, 0x7000), KOVRIN_FAULT) << "ids beyond the places are refused";
  EXPECT_EQ(KovrinClearAppshWnd(1, 0x5001), KOVRIN_SUCCESS);
  EXPECT_EQ(KovrinSetAppshWnd(2, 0x6001), KOVRIN_SUCCESS) << "a cleared window frees its place";
}

TEST_F(LifecycleTest, ThreadListHoldsThirtyTwoDistinctThreads) {
  for (std::uint16_t id = 0; id < 32; ++id) EXPECT_EQ(KovrinSubscribeThreadMessage(id, 0x5000 + id), KOVRIN_SUCCESS);
  EXPECT_EQ(KovrinSubscribeThreadMessage(0, 0x6000), KOVRIN_FAULT) << "the list is full";
  EXPECT_EQ(KovrinSubscribeThreadMessage(40, 0x5003), KOVRIN_FAULT) << "ids beyond the places are refused";
  EXPECT_EQ(KovrinSubscribeThreadMessage(2, 0x5003), KOVRIN_SUCCESS) << "shared with id 3, not added";
  EXPECT_EQ(KovrinUnsubscribeThreadMessage(3), KOVRIN_SUCCESS);
  // id 2 gave up 0x5002, id 3 gave up 0x5003 but id 2 still uses it: one place is free.
  EXPECT_EQ(KovrinSubscribeThreadMessage(3, 0x6000), KOVRIN_SUCCESS);
  EXPECT_EQ(KovrinSubscribeThreadMessage(4, 0x6004), KOVRIN_FAULT) << "full again";
  EXPECT_EQ(KovrinSubscribeThreadMessage(4, 0x6000), KOVRIN_SUCCESS) << "shared with id 3";
  EXPECT_EQ(KovrinSubscribeThreadMessage(5, 0x6005), KOVRIN_SUCCESS) << "id 4's own thread left the list";
}

TEST_F(LifecycleTest, SmartphoneListWalksAfreshWhileNotStarted) {
  auto root = tree().AddRootHub(1, 4);
  int count = -1;
  std::array<std::int16_t, KOVRIN_PORT_COUNT> ports{};
  EXPECT_EQ(KovrinGetSmartphoneList(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  EXPECT_EQ(count, 0);
  tree().AddDevice(root, "1-3", SimpleSpec("1d07", "0030", "Phone"));
  EXPECT_EQ(KovrinGetSmartphoneList(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  ASSERT_EQ(count, 1) << "a smartphone plugged in after start-up is found";
  EXPECT_EQ(ports[0], 2);
}

}  // namespace
}  // namespace kovrin_test
