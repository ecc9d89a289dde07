// The background-debug-mode lines against the parallel-port driver
// stand-in's recording fake backend.

#include "bdm_device.h"
#include "gantrel_fixture.h"
#include "wrtdev/wrtdev.h"

namespace gantrel_test {
namespace {

class BdmTest : public GantrelTest {
 protected:
  void SetUp() override {
    GantrelTest::SetUp();
    WrtFake_Enable(1);
    WrtFake_Reset();
  }
  void TearDown() override {
    GantrelTest::TearDown();
    WrtFake_Reset();
  }

  std::uint16_t OpenBdm(AppWindow& window, int port = 0) {
    const auto id = Register(window);
    EXPECT_EQ(QuorConnect(GANTREL_CONNECT_WORD(id, LINK_BDM, port), nullptr, 0, 0, 0), 0);
    return id;
  }

  static std::vector<int> Outputs() {
    std::vector<int> out;
    for (int i = 0; i < WrtFake_OutputCount(); ++i) out.push_back(WrtFake_Output(i) & 0xFF);
    return out;
  }
};

TEST_F(BdmTest, EachLineExportWritesTheUpdatedShadow) {
  AppWindow window;
  OpenBdm(window);
  struct Step {
    void (*call)();
    int shadow;
  };
  const Step steps[] = {
      {LPT_SET_BDM, 0x01},      {LPT_SET_DSI, 0x03},      {LPT_SET_RESET_FB, 0x07},
      {LPT_SET_DSCLK, 0x06},    {LPT_CLR_DSCLK, 0x07},    {LPT_CLR_BDM, 0x06},
      {LPT_CLR_DSI, 0x04},      {LPT_CLR_RESET_FB, 0x00}, {LPT_CLR_DSCLK, 0x01},
  };
  std::vector<int> expected;
  for (const auto& s : steps) {
    s.call();
    expected.push_back(s.shadow);
  }
  EXPECT_EQ(WrtFake_OutputCount(), 0) << "nothing goes out before the batch is sent";
  std::uint32_t bits = 0;
  EXPECT_EQ(LPT_SEND_DATA(0, &bits), 0);
  EXPECT_EQ(Outputs(), expected);
  EXPECT_EQ(WrtFake_ControlCalls(), 1);
}

TEST_F(BdmTest, GatheredReadsFormTheValueFirstReadHighest) {
  AppWindow window;
  OpenBdm(window);
  for (std::uint8_t v : {0x40, 0x00, 0x40}) WrtFake_QueueInput(v);
  EXPECT_EQ(BdmGetDSO(), 1);
  EXPECT_EQ(BdmGetDSO(), 2);
  EXPECT_EQ(BdmGetDSO(), 3);
  std::uint32_t bits = 0;
  EXPECT_EQ(LPT_SEND_DATA(1, &bits), 0);
  EXPECT_EQ(bits, 5u);
}

TEST_F(BdmTest, ThirtyTwoReadsKeepTheirHighestBit) {
  AppWindow window;
  OpenBdm(window);
  const std::uint32_t word = 0x8000'0001u | 0x5A5A'0000u;
  for (int i = 31; i >= 0; --i) {
    WrtFake_QueueInput((word >> i) & 1 ? 0x40 : 0x00);
    LPT_SET_DSCLK();
    BdmGetDSO();
    LPT_CLR_DSCLK();
  }
  std::uint32_t bits = 0;
  LPT_SEND_DATA(1, &bits);
  EXPECT_EQ(bits, word);
}

TEST_F(BdmTest, AFullBatchIsSentFirstAndItsReadsAreKept) {
  AppWindow window;
  OpenBdm(window);
  // 150 records: the first 100 go out when the 101st comes.
  for (int i = 0; i < 120; ++i) LPT_SET_DSI();
  for (int i = 0; i < 30; ++i) {
    WrtFake_QueueInput(i % 3 == 0 ? 0x40 : 0x00);
    BdmGetDSO();
  }
  EXPECT_EQ(WrtFake_ControlCalls(), 1);
  EXPECT_EQ(WrtFake_OutputCount(), 100);
  std::uint32_t bits = 0;
  LPT_SEND_DATA(1, &bits);
  EXPECT_EQ(WrtFake_ControlCalls(), 2);
  EXPECT_EQ(WrtFake_OutputCount(), 120);
  std::uint32_t expected = 0;
  for (int i = 0; i < 30; ++i) expected = (expected << 1) | (i % 3 == 0 ? 1 : 0);
  EXPECT_EQ(bits, expected);
}

TEST_F(BdmTest, SingleRecordCalls) {
  AppWindow window;
  OpenBdm(window);
  WrtFake_SetInput(0xC5);
  EXPECT_EQ(LPTTestStatus(), 0xC5);
  EXPECT_EQ(BdmTestFreeze(), 0x80);
  EXPECT_EQ(BdmFreeze(), 0);
  WrtFake_SetInput(0x45);
  EXPECT_EQ(BdmTestFreeze(), 0);
  WrtFake_SetClearStatus(0x81);
  EXPECT_EQ(BdmClear(), 0x80);
}

TEST_F(BdmTest, APortAbove3OrAMissingDeviceIsRefusedAndTheLinkStaysClosed) {
  AppWindow window;
  const auto id = Register(window);
  EXPECT_EQ(QuorConnect(GANTREL_CONNECT_WORD(id, LINK_BDM, 4), nullptr, 0, 0, 0), GANTREL_RC_BDM_DEVICE);
  EXPECT_EQ(QuorDisconnect(id), GANTREL_RC_NOT_OPEN);
  WrtFake_SetPresent(0x1);
  EXPECT_EQ(QuorConnect(GANTREL_CONNECT_WORD(id, LINK_BDM, 2), nullptr, 0, 0, 0), GANTREL_RC_BDM_DEVICE);
  EXPECT_EQ(QuorConnect(GANTREL_CONNECT_WORD(id, LINK_BDM, 0), nullptr, 0, 0, 0), 0);
  EXPECT_EQ(QuorDisconnect(id), 0);
  EXPECT_EQ(WrtFake_OpenDevices(), 0);
}

TEST_F(BdmTest, EachLinkOwnsItsDeviceHandle) {
  AppWindow window;
  const auto first = OpenBdm(window, 0);
  const auto second = OpenBdm(window, 1);
  EXPECT_EQ(WrtFake_OpenDevices(), 2);
  EXPECT_EQ(QuorDisconnect(first), 0);
  EXPECT_EQ(WrtFake_OpenDevices(), 1);
  // The second link's device still carries the lines.
  LPT_SET_RESET_FB();
  std::uint32_t bits = 0;
  EXPECT_EQ(LPT_SEND_DATA(0, &bits), 0);
  ASSERT_EQ(WrtFake_OutputCount(), 1);
  EXPECT_EQ(WrtFake_Output(0) >> 8, 1) << "written through device 1";
  EXPECT_EQ(QuorDisconnect(second), 0);
  EXPECT_EQ(WrtFake_OpenDevices(), 0);
}

TEST_F(BdmTest, ClosingTheLastConnectedLinkLeavesTheLinesWithTheOther) {
  AppWindow window;
  const auto first = OpenBdm(window, 2);
  const auto second = OpenBdm(window, 3);
  EXPECT_EQ(QuorDisconnect(second), 0);
  LPT_SET_DSI();
  std::uint32_t bits = 0;
  EXPECT_EQ(LPT_SEND_DATA(0, &bits), 0);
  ASSERT_EQ(WrtFake_OutputCount(), 1);
  EXPECT_EQ(WrtFake_Output(0) >> 8, 2);
  EXPECT_EQ(QuorDisconnect(first), 0);
}

}  // namespace
}  // namespace gantrel_test
