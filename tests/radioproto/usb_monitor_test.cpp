// The USB device monitor bound by name: forwards and their result mapping
// against the stub monitor, registration calls, and the port watcher of a
// link on a USB serial port.

#include <cstring>
#include <thread>

#include "gantrel_fixture.h"

namespace gantrel_test {
namespace {

class UsbMonitorTest : public GantrelTest {
 protected:
  void SetUp() override {
    GantrelTest::SetUp();
    Attach(true);
  }

  // Waits until the condition holds (polled) or five seconds pass.
  static bool Eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  // Signals a removal and waits until the watcher of the slot has taken it.
  void RemovalHandled(std::uint16_t id) {
    KovrinStub_SignalRemoval();
    ASSERT_TRUE(Eventually([&] { return KovrinStub_RemovalPending(id) == 0; }));
  }

  int UsbConnect(std::uint16_t id, int usbPort, bool sync = false) {
    ConnectParams p = Serial();
    return QuorUSBConnect(GANTREL_CONNECT_WORD(id, LINK_ASYNC, usbPort), &p, 0, 0, sync ? 1 : 0);
  }
};

TEST_F(GantrelTest, WithoutTheMonitorEveryUsbQueryAnswersNotBound) {
  AppWindow window;
  const auto id = Register(window);
  int count = 0, com = 0, flag = 0;
  std::int16_t ports[127] = {}, value = 0;
  const char* path = nullptr;
  char text[256];
  EXPECT_EQ(QuorGetUSBSmartphoneList(id, &count, ports), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBModemPort(id, &com), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetRS232Ports(id, &count, &com), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBMdmPortFromUSBPort(id, 1, &value, 10), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBDevInterfaceFromUSBPort(id, 1, &path, 10), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBDeviceConnectedPorts(id, &count, ports), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBDeviceProductName(id, 1, text), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBDevDescription(id, 1, text), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBMdmConnectedUSBPort(id, &value), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(value, -1);
  value = 5;
  EXPECT_EQ(QuorGetUSBNumPortsOnPC(id, &value), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(QuorUSBDeviceIsHub(id, 1, &flag), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorQueryTCIEPUsage(id, 1, &flag), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBInterfaceBulkInEndpointSize(id, 1, "x", &value), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorGetUSBInterfaceBulkOutEndpointSize(id, 1, "x", &value), GANTREL_RC_NOT_BOUND);
  EXPECT_EQ(QuorFlushUSBPortReceiveBufferEx(1, 0, &count), GANTREL_RC_NOT_BOUND);
  ConnectParams p = Serial();
  EXPECT_EQ(QuorUSBConnect(GANTREL_CONNECT_WORD(id, LINK_ASYNC, 1), &p, 0, 0, 0), GANTREL_RC_NOT_BOUND);
}

struct Mapping {
  const char* exportName;
  int monitorResult;
  int expected;
};

TEST_F(UsbMonitorTest, MonitorResultsMapToLibraryCodes) {
  AppWindow window;
  const auto id = Register(window);
  const Mapping cases[] = {
      {"KovrinGetSmartphoneList", 1, 0},
      {"KovrinGetSmartphoneList", 0, GANTREL_RC_MONITOR_FAILED},
      {"KovrinGetSmartphoneList", -1011, GANTREL_RC_MONITOR_FAILED},
      {"KovrinGetModemCommPort", 1, 0},
      {"KovrinGetModemCommPort", -1010, GANTREL_RC_BAD_PORT},
      {"KovrinGetRS232Ports", 0, GANTREL_RC_BAD_PORT},
      {"KovrinGetBulkInEndpointMaxPacketSizeEx", 1, 0},
      {"KovrinGetBulkInEndpointMaxPacketSizeEx", -1015, GANTREL_RC_NO_ENDPOINT},
      {"KovrinGetBulkInEndpointMaxPacketSizeEx", -1014, GANTREL_RC_MONITOR_FAILED},
      {"KovrinGetBulkOutEndpointMaxPacketSizeEx", -1015, GANTREL_RC_NO_ENDPOINT},
      {"KovrinGetTotalUSBPortsOnPC", -1, GANTREL_RC_MONITOR_FAILED},
      {"KovrinDeviceIsHub", -1014, GANTREL_RC_MONITOR_FAILED},
      {"KovrinCheckTestCmdEPUsage", 1, 0},
      {"KovrinGetProductName", 1, 0},
      {"KovrinGetDevDesc", 0, GANTREL_RC_MONITOR_FAILED},
      {"KovrinGetModemCOMPortFromUSBPortID", -1012, GANTREL_RC_MONITOR_FAILED},
      {"KovrinGetUSBMdmConnectedUSBPort", -1014, GANTREL_RC_MONITOR_FAILED},
      {"KovrinGetUSBDeviceConnectedPorts", 1, 0},
  };
  for (const auto& c : cases) {
    KovrinStub_SetResult(c.exportName, c.monitorResult);
    int count = 0, flag = 0, com = 0;
    std::int16_t ports[127] = {}, value = 0;
    char text[256] = {};
    int r = 1;
    const std::string name = c.exportName;
    if (name == "KovrinGetSmartphoneList") r = QuorGetUSBSmartphoneList(id, &count, ports);
    if (name == "KovrinGetModemCommPort") r = QuorGetUSBModemPort(id, &com);
    if (name == "KovrinGetRS232Ports") r = QuorGetRS232Ports(id, &count, &com);
    if (name == "KovrinGetBulkInEndpointMaxPacketSizeEx") r = QuorGetUSBInterfaceBulkInEndpointSize(id, 3, "Corvane_Flash", &value);
    if (name == "KovrinGetBulkOutEndpointMaxPacketSizeEx") r = QuorGetUSBInterfaceBulkOutEndpointSize(id, 3, "Corvane_Flash", &value);
    if (name == "KovrinGetTotalUSBPortsOnPC") r = QuorGetUSBNumPortsOnPC(id, &value);
    if (name == "KovrinDeviceIsHub") r = QuorUSBDeviceIsHub(id, 3, &flag);
    if (name == "KovrinCheckTestCmdEPUsage") r = QuorQueryTCIEPUsage(id, 3, &flag);
    if (name == "KovrinGetProductName") r = QuorGetUSBDeviceProductName(id, 3, text);
    if (name == "KovrinGetDevDesc") r = QuorGetUSBDevDescription(id, 3, text);
    if (name == "KovrinGetModemCOMPortFromUSBPortID") r = QuorGetUSBMdmPortFromUSBPort(id, 3, &value, 10);
    if (name == "KovrinGetUSBMdmConnectedUSBPort") r = QuorGetUSBMdmConnectedUSBPort(id, &value);
    if (name == "KovrinGetUSBDeviceConnectedPorts") r = QuorGetUSBDeviceConnectedPorts(id, &count, ports);
    EXPECT_EQ(r, c.expected) << c.exportName << " answering " << c.monitorResult;
    KovrinStub_SetResult(c.exportName, 1);
  }
}

TEST_F(UsbMonitorTest, SmartphoneListComesFromTheMonitor) {
  const std::int16_t phones[] = {4, 11};
  KovrinStub_SetSmartphones(2, phones);
  int count = 0;
  std::int16_t ports[127] = {};
  ASSERT_EQ(QuorGetUSBSmartphoneList(0, &count, ports), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(ports[0], 4);
  EXPECT_EQ(ports[1], 11);
}

TEST_F(UsbMonitorTest, PortQueriesCheckTheSlot) {
  int com = 0;
  EXPECT_EQ(QuorGetUSBModemPort(10, &com), GANTREL_RC_BAD_ID);
  EXPECT_EQ(QuorGetUSBModemPort(0, &com), GANTREL_RC_NOT_ALLOCATED);
}

TEST_F(UsbMonitorTest, RegistrationStartsTheMonitorAndOnlyThatSlotStopsIt) {
  AppWindow window;
  const auto started = Register(window);
  EXPECT_EQ(KovrinStub_Calls("KovrinSetAppshWnd"), 1);
  EXPECT_EQ(KovrinStub_Calls("KovrinStart"), 1);
  KovrinStub_SetResult("KovrinSetAppshWnd", 0);
  const auto notStarted = Register(window);
  EXPECT_EQ(KovrinStub_Calls("KovrinStart"), 1);
  EXPECT_EQ(QuorDeRegisterApp(notStarted), 0);
  EXPECT_EQ(KovrinStub_Calls("KovrinStop"), 0);
  EXPECT_EQ(QuorDeRegisterApp(started), 0);
  EXPECT_EQ(KovrinStub_Calls("KovrinStop"), 1);
  EXPECT_EQ(KovrinStub_LastId("KovrinStop"), started);
}

TEST_F(UsbMonitorTest, LifetimeAndThreadMessagesAreForwarded) {
  AppWindow window;
  const auto id = Register(window);
  EXPECT_EQ(QuorInitialize(), 0);
  EXPECT_EQ(QuorTerminate(), 0);
  EXPECT_EQ(KovrinStub_Calls("KovrinInitialize"), 1);
  EXPECT_EQ(KovrinStub_Calls("KovrinTerminate"), 1);
  EXPECT_EQ(QuorRegisterThreadMessage(id, 77), 0);
  EXPECT_EQ(QuorDeregisterThreadMessage(id), 0);
  EXPECT_EQ(KovrinStub_LastId("KovrinSubscribeThreadMessage"), id);
  EXPECT_EQ(KovrinStub_Calls("KovrinUnsubscribeThreadMessage"), 1);
}

TEST_F(UsbMonitorTest, UsbConnectChecks) {
  AppWindow window;
  ConnectParams p = Serial();
  EXPECT_EQ(QuorUSBConnect(GANTREL_CONNECT_WORD(10, 1, 1), &p, 0, 0, 0), GANTREL_RC_BAD_APP);
  EXPECT_EQ(QuorUSBConnect(GANTREL_CONNECT_WORD(0, 1, 1), &p, 0, 0, 0), GANTREL_RC_NOT_ALLOCATED);
  const auto id = Register(window);
  EXPECT_EQ(QuorUSBConnect(GANTREL_CONNECT_WORD(id, 3, 1), &p, 0, 0, 0), GANTREL_RC_BAD_TYPE);
  EXPECT_EQ(QuorUSBConnect(GANTREL_CONNECT_WORD(id, 1, 128), &p, 0, 0, 0), GANTREL_RC_BAD_PORT);
  EXPECT_EQ(QuorUSBConnect(GANTREL_CONNECT_WORD(id, 1, 1), &p, 0, 3601, 0), GANTREL_RC_BAD_TIMEOUT);
  EXPECT_EQ(QuorUSBConnect(GANTREL_CONNECT_WORD(id, 1, 1), &p, 0, 0, 0), GANTREL_RC_MONITOR_FAILED);  // no interface
}

TEST_F(UsbMonitorTest, UnpluggingTheWatchedDeviceEndsItsReaderAndClosesTheLink) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(0);
  KovrinStub_SetInterfacePath(5, peer.SlavePath().c_str());
  ASSERT_EQ(UsbConnect(id, 5), 0);
  ASSERT_TRUE(Eventually([&] { return KovrinStub_HasRemovalEvent(id) == 1; }));
  peer.Send({0x31});
  ASSERT_TRUE(window.NextData());

  // The reader sees the line go and says so; then the monitor reports the
  // removal and the watcher closes the link. (Were the removal reported
  // first, the watcher could stop the reader before it saw the hang-up.)
  peer.Hangup();
  auto status = window.NextData();
  ASSERT_TRUE(status);
  EXPECT_EQ(status->bytes, (Bytes{0xF0, 0xF0, 0x02}));
  KovrinStub_SignalRemoval();
  ASSERT_TRUE(Eventually([&] { return gantrel::CheckOpen(id) == GANTREL_RC_NOT_OPEN; }));
  EXPECT_EQ(QuorDisconnect(id), GANTREL_RC_NOT_OPEN);
  ASSERT_TRUE(Eventually([&] { return KovrinStub_HasRemovalEvent(id) == 0; }));
  // The slot reconnects and deregisters as usual.
  auto& again = Peer(0);
  KovrinStub_SetInterfacePath(5, again.SlavePath().c_str());
  ASSERT_EQ(UsbConnect(id, 5), 0);
  EXPECT_EQ(QuorDisconnect(id), 0);
  EXPECT_EQ(QuorDeRegisterApp(id), 0);
}

TEST_F(UsbMonitorTest, AnUnrelatedRemovalLeavesTheLinkOpen) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(0);
  KovrinStub_SetInterfacePath(5, peer.SlavePath().c_str());
  ASSERT_EQ(UsbConnect(id, 5), 0);
  ASSERT_TRUE(Eventually([&] { return KovrinStub_HasRemovalEvent(id) == 1; }));
  RemovalHandled(id);
  RemovalHandled(id);  // the second is taken only after the first was judged
  EXPECT_EQ(gantrel::CheckOpen(id), 0);
  peer.Send({0x44});
  auto d = window.NextData();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->bytes, (Bytes{0x44}));
  EXPECT_EQ(QuorDisconnect(id), 0);
  ASSERT_TRUE(Eventually([&] { return KovrinStub_HasRemovalEvent(id) == 0; }));
}

TEST_F(UsbMonitorTest, AComLinkWithABusTypeIsWatchedToo) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(QuorSetSerialBusType(id, 1), 0);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  ASSERT_TRUE(Eventually([&] { return KovrinStub_HasRemovalEvent(id) == 1; }));
  peer.Hangup();
  KovrinStub_SignalRemoval();
  ASSERT_TRUE(Eventually([&] { return gantrel::CheckOpen(id) == GANTREL_RC_NOT_OPEN; }));
  // The bus type went back to a plain port with the close.
  auto& lib = gantrel::Library();
  std::lock_guard lock(lib.lock);
  EXPECT_EQ(lib.slots[id].busType, 0);
}

TEST_F(UsbMonitorTest, ReplyReadOnAUsbPortTakesAReplyThatCameLate) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(QuorSetSerialBusType(id, 2), 0);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, true), 0);
  peer.SetAnswer({'O', 'K'}, 300);
  const std::uint8_t request[] = {'A', 'T'};
  std::uint8_t reply[32];
  std::uint32_t length = sizeof reply;
  ASSERT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id, 1, 3), request, 2, reply, &length), 0);
  EXPECT_EQ(Bytes(reply, reply + length), (Bytes{'O', 'K'}));
  // Nothing of it is left over for the next request.
  peer.SetAnswer({'N', 'O'}, 0);
  length = sizeof reply;
  ASSERT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id, 1, 3), request, 2, reply, &length), 0);
  EXPECT_EQ(Bytes(reply, reply + length), (Bytes{'N', 'O'}));
}

TEST_F(UsbMonitorTest, FlushOfAUsbInterfaceDropsWhatWaits) {
  auto& peer = Peer(0);
  KovrinStub_SetInterfacePath(9, peer.SlavePath().c_str());
  peer.Send({1, 2, 3});
  int length = 0;
  const auto end = std::chrono::steady_clock::now() + 5s;
  do {
    length = 10;
    ASSERT_EQ(QuorFlushUSBPortReceiveBufferEx(9, 0, &length), 0);
  } while (length == 0 && std::chrono::steady_clock::now() < end);
  EXPECT_EQ(length, 3);
  length = 10;
  EXPECT_EQ(QuorFlushUSBPortReceiveBufferEx(8, 0, &length), GANTREL_RC_MONITOR_FAILED);
}

}  // namespace
}  // namespace gantrel_test
