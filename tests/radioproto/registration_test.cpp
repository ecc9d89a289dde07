// Slots, registration, the library's lifetime and the checks of connect.

#include <cstring>

#include "gantrel_fixture.h"
#include "os_class.h"
#include "platform/os_version.h"

namespace gantrel_test {
namespace {

TEST_F(GantrelTest, TenSlotsThenTheEleventhRegistrationIsRefused) {
  AppWindow window;
  for (int i = 0; i < GANTREL_MAX_APPS; ++i) EXPECT_EQ(Register(window), i);
  RegisterParams params{window.handle(), 0xFFFF};
  EXPECT_EQ(QuorRegisterApp(&params), GANTREL_RC_NO_SLOT);
  EXPECT_EQ(QuorDeRegisterApp(4), 0);
  EXPECT_EQ(QuorRegisterApp(&params), 0);
  EXPECT_EQ(params.id, 4);
}

TEST_F(GantrelTest, RegistrationNeedsAWindow) {
  for (std::int32_t window : {0, -5}) {
    RegisterParams params{window, 0xFFFF};
    EXPECT_EQ(QuorRegisterApp(&params), GANTREL_RC_NO_WINDOW);
    EXPECT_EQ(params.id, 0xFFFF);
  }
  AppWindow app;
  EXPECT_EQ(Register(app), 0);  // nothing was taken
}

TEST_F(GantrelTest, DeregistrationChecks) {
  AppWindow window;
  EXPECT_EQ(QuorDeRegisterApp(10), GANTREL_RC_BAD_APP);
  EXPECT_EQ(QuorDeRegisterApp(0), GANTREL_RC_NOT_ALLOCATED);
  const auto id = Register(window);
  Peer(3);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  EXPECT_EQ(QuorDeRegisterApp(id), GANTREL_RC_LINK_OPEN);
  EXPECT_EQ(QuorDisconnect(id), 0);
  EXPECT_EQ(QuorDeRegisterApp(id), 0);
  EXPECT_EQ(QuorDeRegisterApp(id), GANTREL_RC_NOT_ALLOCATED);
}

TEST_F(GantrelTest, TerminateWithoutInitializeIsRefused) {
  EXPECT_EQ(QuorTerminate(), GANTREL_RC_NOT_ALLOCATED);
  EXPECT_EQ(QuorInitialize(), 0);
  EXPECT_EQ(QuorInitialize(), 0);
  EXPECT_EQ(QuorTerminate(), 0);
  EXPECT_EQ(QuorTerminate(), 0);
  EXPECT_EQ(QuorTerminate(), GANTREL_RC_NOT_ALLOCATED);
}

TEST_F(GantrelTest, ThreadMessagesNeedTheMonitor) {
  AppWindow window;
  EXPECT_EQ(QuorRegisterThreadMessage(10, 1), GANTREL_RC_BAD_ID);
  EXPECT_EQ(QuorRegisterThreadMessage(0, 1), GANTREL_RC_NOT_ALLOCATED);
  const auto id = Register(window);
  EXPECT_EQ(QuorRegisterThreadMessage(id, 1), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorDeregisterThreadMessage(id), GANTREL_RC_NOT_BOUND);
}

struct ConnectCase {
  const char* name;
  std::uint16_t id;
  int type;
  int port;
  std::uint16_t timeout;
  bool registered;
  bool open;
  int expected;
};

// The checks come in this order: port, type, id, registration, open, time-out.
TEST_F(GantrelTest, ConnectChecksInOrder) {
  const ConnectCase cases[] = {
      {"port above 100 before anything", 12, 9, 101, 4000, false, false, GANTREL_RC_BAD_PORT},
      {"type above 8 before the id", 12, 9, 5, 4000, false, false, GANTREL_RC_BAD_TYPE},
      {"id above 9 before the registration", 12, 1, 5, 4000, false, false, GANTREL_RC_BAD_APP},
      {"registration before the open check", 2, 1, 5, 4000, false, false, GANTREL_RC_NOT_ALLOCATED},
      {"already open before the time-out", 0, 1, 5, 4000, true, true, GANTREL_RC_ALREADY_OPEN},
      {"time-out above 3600", 1, 1, 5, 3601, true, false, GANTREL_RC_BAD_TIMEOUT},
      {"type 0 last", 1, 0, 5, 3600, true, false, GANTREL_RC_BAD_TYPE},
  };
  AppWindow window;
  const auto first = Register(window);
  const auto second = Register(window);
  ASSERT_EQ(first, 0);
  ASSERT_EQ(second, 1);
  Peer(4);
  ASSERT_EQ(Connect(first, LINK_ASYNC, 4, false), 0);
  for (const auto& c : cases) {
    ConnectParams p = Serial();
    EXPECT_EQ(QuorConnect(GANTREL_CONNECT_WORD(c.id, c.type, c.port), &p, 0, c.timeout, 0), c.expected) << c.name;
  }
}

TEST_F(GantrelTest, RatesOutsideTheListAreRefused) {
  const std::pair<std::uint32_t, int> rates[] = {
      {300, 0}, {9600, 0}, {115200, 0}, {460800, 0},
      {14400, GANTREL_RC_BAD_RATE}, {56000, GANTREL_RC_BAD_RATE}, {0, GANTREL_RC_BAD_RATE},
  };
  AppWindow window;
  const auto id = Register(window);
  Peer(5);
  for (const auto& [rate, expected] : rates) {
    EXPECT_EQ(Connect(id, LINK_ASYNC, 5, false, rate), expected) << rate;
    if (expected == 0) {
      EXPECT_EQ(QuorDisconnect(id), 0);
    }
  }
}

TEST_F(GantrelTest, AMissingPortGivesTheSystemErrorAndLeavesTheLinkClosed) {
  AppWindow window;
  const auto id = Register(window);
  EXPECT_EQ(Connect(id, LINK_ASYNC, 77, false), 2);  // file not found
  EXPECT_EQ(QuorDisconnect(id), GANTREL_RC_NOT_OPEN);
}

TEST_F(GantrelTest, TwoLinksOnOneComPortAreRefused) {
  AppWindow window;
  const auto a = Register(window);
  const auto b = Register(window);
  Peer(6);
  ASSERT_EQ(Connect(a, LINK_ASYNC, 6, false), 0);
  EXPECT_EQ(Connect(b, LINK_TRELLBUS, 6, true), GANTREL_RC_PORT_IN_USE);
  // A closed link no longer holds the port.
  EXPECT_EQ(QuorDisconnect(a), 0);
  EXPECT_EQ(Connect(b, LINK_TRELLBUS, 6, true), 0);
}

TEST_F(GantrelTest, AUdpLinkDoesNotHoldTheComPortOfItsNumber) {
  AppWindow window;
  const auto udpSlot = Register(window);
  const auto serialSlot = Register(window);
  UdpConnectParams udp{};
  std::strcpy(udp.address, "127.0.0.1");
  udp.port = 9;
  ASSERT_EQ(QuorConnect(GANTREL_CONNECT_WORD(udpSlot, LINK_UDP, 7), &udp, 0, 0, 1), 0);
  Peer(7);
  EXPECT_EQ(Connect(serialSlot, LINK_ASYNC, 7, false), 0);
}

TEST_F(GantrelTest, LinkCheckCodes) {
  AppWindow window;
  EXPECT_EQ(QuorSendRequest(GANTREL_CONNECT_WORD(10, 1, 1), nullptr, 0, nullptr, 0), GANTREL_RC_BAD_ID);
  EXPECT_EQ(QuorSendRequest(GANTREL_CONNECT_WORD(0, 1, 1), nullptr, 0, nullptr, 0), GANTREL_RC_NOT_ALLOCATED);
  const auto id = Register(window);
  EXPECT_EQ(QuorSendRequest(GANTREL_CONNECT_WORD(id, 1, 1), nullptr, 0, nullptr, 0), GANTREL_RC_NOT_OPEN);
  Peer(8);
  ASSERT_EQ(Connect(id, LINK_TRELLBUS, 8, true), 0);
  const std::uint8_t request[] = {1};
  EXPECT_EQ(QuorSendRequest(GANTREL_CONNECT_WORD(id, 3, 8), request, 1, nullptr, 0), GANTREL_RC_BAD_TYPE);
  EXPECT_EQ(CheckTrellbusSettings(id), 0);
}

TEST_F(GantrelTest, SerialBusTypeChecks) {
  AppWindow window;
  EXPECT_EQ(QuorSetSerialBusType(10, 0), GANTREL_RC_BAD_APP);
  EXPECT_EQ(QuorSetSerialBusType(0, 0), GANTREL_RC_NOT_ALLOCATED);
  const auto id = Register(window);
  EXPECT_EQ(QuorSetSerialBusType(id, 3), GANTREL_RC_BAD_BUS_TYPE);
  EXPECT_EQ(QuorSetSerialBusType(id, 2), 0);
}

TEST(OsClass, VersionsGiveTheirClasses) {
  using gantrel::OsClass;
  struct Case {
    std::uint32_t platformId, major, minor;
    const char* sp;
    OsClass expected;
    bool binds;
  };
  const Case cases[] = {
      {2, 4, 0, "", OsClass::NtOld, false},   {2, 5, 0, "", OsClass::Win2000, true},
      {2, 5, 1, "", OsClass::WinXp, true},    {2, 6, 0, "", OsClass::NtOld, false},
      {1, 4, 0, "", OsClass::Win95, false},   {1, 4, 0, " B", OsClass::Win95Osr2, false},
      {1, 4, 0, " C", OsClass::Win95Osr2, false}, {1, 4, 10, "", OsClass::Win98, false},
      {1, 4, 10, " A", OsClass::Win98Se, true}, {1, 4, 90, "", OsClass::WinMe, true},
  };
  for (const auto& c : cases) {
    const OsClass os = gantrel::ClassifyOs(c.platformId, c.major, c.minor, c.sp);
    EXPECT_EQ(os, c.expected) << c.major << "." << c.minor << c.sp;
    EXPECT_EQ(gantrel::BindsUsbMonitor(os), c.binds);
  }
  EXPECT_EQ(gantrel::CurrentOsClass(), OsClass::WinXp);
}

}  // namespace
}  // namespace gantrel_test
