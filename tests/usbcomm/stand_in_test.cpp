// The Quor_PST stand-in itself: the attach protocol of device processes,
// the byte stream of the data plane, forced statuses and the call log.

#include <cstring>

#include "device_process.h"
#include "pellwick_fixture.h"
#include "quor_pst/quor_pst.h"

namespace usbtest {
namespace {

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override { QuorSim_Reset(); }
  void TearDown() override { QuorSim_Reset(); }

  static int HandleOf(uint16_t device, const char* name) {
    int handle = 0;
    EXPECT_EQ(Quor_PSTGetInterfaceHandle(device, name, &handle), PST_OK);
    return handle;
  }
};

TEST_F(StandInTest, BadAttachLinesAreAnsweredWithTheirReason) {
  struct Case {
    const char* line;
    const char* answer;
  };
  const Case cases[] = {
      {"HELLO 1 Corvane_Flash", "ERROR syntax"},
      {"ATTACH 1", "ERROR syntax"},
      {"ATTACH 127 Corvane_Flash", "ERROR device id"},
      {"ATTACH x Corvane_Flash", "ERROR device id"},
      {"ATTACH 1 Corvane_Nothing", "ERROR interface"},
      {"ATTACH 1 Corvane_Flash,,", "ERROR interface"},
      {"ATTACH 1 Corvane_Flash 0 64", "ERROR endpoint size"},
      {"ATTACH 1 Corvane_Flash 64", "ERROR syntax"},
  };
  for (const auto& c : cases) {
    DeviceProcess process(c.line);
    EXPECT_EQ(process.Answer(), c.answer) << c.line;
  }
  EXPECT_FALSE(QuorSim_IsPlugged(1));
}

TEST_F(StandInTest, AnAttachedDeviceOffersItsInterfacesUntilItLeaves) {
  DeviceProcess process("ATTACH 5 Corvane_Flash,Corvane_Boot 512 128");
  ASSERT_TRUE(process.Attached()) << process.Answer();
  EXPECT_TRUE(QuorSim_IsPlugged(5));
  uint16_t ids[4] = {};
  int count = 0;
  ASSERT_EQ(Quor_PSTGetDeviceList(ids, 4, &count), PST_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(ids[0], 5);
  int flash = HandleOf(5, "Corvane_Flash");
  int boot = HandleOf(5, "Corvane_Boot");
  EXPECT_GT(flash, 0);
  EXPECT_GT(boot, 0);
  EXPECT_NE(flash, boot);
  int handle = 0;
  EXPECT_EQ(Quor_PSTGetInterfaceHandle(5, "Corvane_Test_Command", &handle), PST_NO_INTERFACE);
  int16_t size = 0;
  EXPECT_EQ(Quor_PSTGetOutBulkEpSizeEx(5, "Corvane_Boot", &size), PST_OK);
  EXPECT_EQ(size, 512);
  EXPECT_EQ(Quor_PSTGetInBulkEpSize(5, &size), PST_OK);
  EXPECT_EQ(size, 128);
  // A second process for the same id is refused.
  DeviceProcess second("ATTACH 5 Corvane_Flash");
  EXPECT_EQ(second.Answer(), "ERROR busy");

  process.Close();
  ASSERT_TRUE(Eventually([] { return !QuorSim_IsPlugged(5); }));
  EXPECT_EQ(Quor_PSTGetInterfaceHandle(5, "Corvane_Flash", &handle), PST_NO_DEVICE);
  // Attaching again re-enumerates with the new interfaces.
  DeviceProcess again("ATTACH 5 Corvane_Boot");
  ASSERT_TRUE(again.Attached());
  EXPECT_EQ(Quor_PSTGetInterfaceHandle(5, "Corvane_Flash", &handle), PST_NO_INTERFACE);
}

TEST_F(StandInTest, BulkPipesAreOneByteStreamPerDirection) {
  DeviceProcess process("ATTACH 2 Corvane_Flash");
  ASSERT_TRUE(process.Attached());
  const int handle = HandleOf(2, "Corvane_Flash");
  const uint8_t out[] = {1, 2, 3, 4, 5};
  uint32_t n = 3;
  ASSERT_EQ(Quor_PSTWriteData(2, handle, PST_PIPE_BULK, out, &n, 1000), PST_OK);
  n = 2;
  ASSERT_EQ(Quor_PSTWriteData(2, handle, PST_PIPE_BULK, out + 3, &n, 1000), PST_OK);
  EXPECT_EQ(process.Receive(5), std::vector<uint8_t>(out, out + 5));

  ASSERT_TRUE(process.Send({9, 8, 7, 6}));
  uint8_t in[4] = {};
  uint32_t m = 1;
  EXPECT_EQ(Quor_PSTReadData(2, handle, PST_PIPE_BULK, in, &m, 1000), PST_OK);
  EXPECT_EQ(in[0], 9);
  m = 4;
  EXPECT_EQ(Quor_PSTReadData(2, handle, PST_PIPE_BULK, in, &m, 50), PST_READ_SHORT);
  EXPECT_EQ(m, 3u);
  EXPECT_EQ(in[2], 6);
  m = 4;
  EXPECT_EQ(Quor_PSTReadData(2, handle, PST_PIPE_BULK, in, &m, 20), PST_READ_TIMEOUT);
  EXPECT_EQ(m, 0u);
  // A handle of another device is refused.
  m = 1;
  EXPECT_EQ(Quor_PSTReadData(2, handle + 4, PST_PIPE_BULK, in, &m, 20), PST_NO_INTERFACE);
}

TEST_F(StandInTest, ControlDevicesWithoutAProcessHaveNoDataPlane) {
  ASSERT_EQ(QuorSim_DefineDevice(3, QUOR_SIM_FLASH, 64, 64), 0);
  EXPECT_EQ(QuorSim_DefineDevice(3, 0, 64, 64), -1);
  EXPECT_EQ(QuorSim_DefineDevice(3, QUOR_SIM_FLASH, 0, 64), -1);
  EXPECT_EQ(QuorSim_Plug(4), -1);
  int handle = 0;
  EXPECT_EQ(Quor_PSTGetInterfaceHandle(3, "Corvane_Flash", &handle), PST_NO_DEVICE);
  ASSERT_EQ(QuorSim_Plug(3), 0);
  handle = HandleOf(3, "Corvane_Flash");
  uint8_t byte = 0;
  uint32_t n = 1;
  EXPECT_EQ(Quor_PSTWriteData(3, handle, PST_PIPE_BULK, &byte, &n, 10), PST_PIPE_BROKEN);
  n = 1;
  EXPECT_EQ(Quor_PSTReadData(3, handle, PST_PIPE_BULK, &byte, &n, 10), PST_READ_TIMEOUT);
}

TEST_F(StandInTest, ForcedStatusesAndTheCallLog) {
  QuorSim_ForceStatus("Quor_PSTInitialize", 13, 2);
  EXPECT_EQ(Quor_PSTInitialize(), 13);
  EXPECT_EQ(Quor_PSTInitialize(), 13);
  EXPECT_EQ(Quor_PSTInitialize(), PST_OK);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTInitialize"), 3);
  QuorSimCall call{};
  ASSERT_EQ(QuorSim_GetCall(0, &call), 0);
  EXPECT_STREQ(call.function, "Quor_PSTInitialize");
  EXPECT_EQ(call.status, 13);
  EXPECT_EQ(QuorSim_GetCall(3, &call), -1);
  QuorSim_ForceStatus("Quor_PSTGetMaxBulkDataSize", 5, -1);
  int size = 0;
  EXPECT_EQ(Quor_PSTGetMaxBulkDataSize(&size), 5);
  EXPECT_EQ(Quor_PSTGetMaxBulkDataSize(&size), 5);
  QuorSim_ClearForcedStatuses();
  EXPECT_EQ(Quor_PSTGetMaxBulkDataSize(&size), PST_OK);
  EXPECT_EQ(size, 4096);
  QuorSim_ClearCallLog();
  EXPECT_EQ(QuorSim_CallCount(), 0);
}

}  // namespace
}  // namespace usbtest
