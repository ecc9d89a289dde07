// The monitor on the machine's own device tree, whatever it holds (possibly
// no USB at all): every export answers with one of its codes, and starting,
// stopping and ending the notification thread does not hang.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>

#include "kovrin/kovrin.h"
#include "platform/usb_tree.h"

namespace {

constexpr std::uint16_t kApp = 1;

TEST(RealTreeSmoke, TreeReadsAndEveryQueryAnswers) {
  auto roots = platform::ReadUsbHostTree();
  (void)roots;

  int count = -1;
  std::array<int, KOVRIN_PORT_COUNT> entries{};
  const int list = KovrinGetDeviceList(kApp, &count, entries.data());
  EXPECT_TRUE(list == KOVRIN_SUCCESS || list == KOVRIN_FAULT);
  EXPECT_GE(count, 0);

  std::int16_t total = -1;
  EXPECT_EQ(KovrinGetTotalUSBPortsOnPC(kApp, &total), KOVRIN_SUCCESS);
  EXPECT_GE(total, 0);

  std::array<std::int16_t, KOVRIN_PORT_COUNT> ports{};
  EXPECT_EQ(KovrinGetSmartphoneList(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  EXPECT_EQ(KovrinGetUSBDeviceConnectedPorts(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  std::array<int, KOVRIN_MAX_RS232_PORTS> serial{};
  EXPECT_EQ(KovrinGetRS232Ports(kApp, &count, serial.data()), KOVRIN_SUCCESS);
  EXPECT_LE(count, KOVRIN_MAX_RS232_PORTS);
  int com = 0;
  const int modem = KovrinGetModemCommPort(kApp, &com);
  EXPECT_TRUE(modem == KOVRIN_SUCCESS || modem == KOVRIN_NOT_FOUND);
  EXPECT_EQ(KovrinWaitForDeviceEnum(kApp, 5000), KOVRIN_SUCCESS);

  const std::set<int> portCodes = {KOVRIN_SUCCESS, KOVRIN_NO_DESCRIPTORS, KOVRIN_NO_DEVICE_INTERFACE,
                                   KOVRIN_NO_ENDPOINT, KOVRIN_NO_MODEM_PORT};
  for (std::int16_t port = 0; port < KOVRIN_PORT_COUNT; ++port) {
    char text[KOVRIN_TEXT_SIZE];
    std::int16_t a = 0, b = 0;
    int flag = 0;
    const char* path = nullptr;
    EXPECT_TRUE(portCodes.count(KovrinGetDevDesc(kApp, port, text)));
    EXPECT_TRUE(portCodes.count(KovrinGetProductName(kApp, port, text)));
    EXPECT_TRUE(portCodes.count(KovrinIdentifyDevice(kApp, port, text)));
    EXPECT_TRUE(portCodes.count(KovrinGetIntfStringDesc(kApp, port, text, sizeof text)));
    EXPECT_TRUE(portCodes.count(KovrinGetVendorProductIDs(kApp, port, &a, &b)));
    EXPECT_TRUE(portCodes.count(KovrinGetBulkInEndpointMaxPacketSize(kApp, port, &a)));
    EXPECT_TRUE(portCodes.count(KovrinDeviceIsHub(kApp, port, &flag)));
    EXPECT_TRUE(portCodes.count(KovrinCheckTestCmdEPUsage(kApp, port, &flag)));
    EXPECT_TRUE(portCodes.count(KovrinGetModemCOMPortFromUSBPortID(kApp, port, &a, 0)));
    EXPECT_TRUE(portCodes.count(KovrinGetUSBDevInterfaceFromUSBPort(kApp, port, &path, 0)));
  }
}

TEST(RealTreeSmoke, NotificationThreadStartsAndEnds) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(KovrinInitialize(kApp), KOVRIN_SUCCESS);
    const int start = KovrinStart(kApp);
    // A machine without device announcements cannot register.
    EXPECT_TRUE(start == KOVRIN_SUCCESS || start == KOVRIN_REGISTRATION_FAILED);
    if (start == KOVRIN_SUCCESS) {
      EXPECT_EQ(KovrinStop(kApp), KOVRIN_SUCCESS);
    }
    EXPECT_EQ(KovrinStop(kApp), KOVRIN_NO_REGISTRATION);
    EXPECT_EQ(KovrinTerminate(kApp), KOVRIN_SUCCESS);
  }
  EXPECT_EQ(KovrinTerminate(kApp), KOVRIN_NOT_INITIALIZED);
}

}  // namespace
