// Every exported query's answer on the reference tree.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "monitor_fixture.h"
#include "port_table.h"
#include "reference_tree.h"

namespace kovrin_test {
namespace {

using kovrin::MakeEntry;

class QueriesTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    ref_ = BuildReferenceTree(tree(), Pty(7), Pty(8));
    // The device list walks the tree afresh; the other queries read the table.
    int count = 0;
    std::array<int, KOVRIN_PORT_COUNT> entries{};
    KovrinGetDeviceList(kApp, &count, entries.data());
  }

  std::string Text(int (*query)(std::uint16_t, std::int16_t, char*), std::int16_t port, int expected) {
    char text[KOVRIN_TEXT_SIZE];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(query(kApp, port, text), expected) << "port " << port;
    return expected == KOVRIN_SUCCESS ? std::string(text) : std::string();
  }

  ReferenceTree ref_;
};

TEST_F(QueriesTest, DeviceListWritesOneEntryBeyondTheCountWhenAnUncountedDeviceIsPresent) {
  int count = -1;
  std::array<int, KOVRIN_PORT_COUNT> entries{};
  EXPECT_EQ(KovrinGetDeviceList(kApp, &count, entries.data()), KOVRIN_FAULT);
  EXPECT_EQ(count, 6);
  const std::vector<int> expected = {
      static_cast<int>(MakeEntry(0, 7, true, 1)),    static_cast<int>(MakeEntry(3, 0xFF, true, 2)),
      static_cast<int>(MakeEntry(4, 0xFF, true, 2)), static_cast<int>(MakeEntry(5, 0xFF, true, 2)),
      static_cast<int>(MakeEntry(6, 0xFF, true, 3)), static_cast<int>(MakeEntry(7, 0xFF, true, 4)),
      static_cast<int>(MakeEntry(10, 0xFF, true, 4))};
  EXPECT_EQ(std::vector<int>(entries.begin(), entries.begin() + 7), expected);
  EXPECT_EQ(entries[7], 0);
}

TEST_F(QueriesTest, DeviceListWithOnlyCountedDevicesSucceeds) {
  FakeUsbTree other;  // a fresh test bed replaces the reference tree
  auto root = other.AddRootHub(1, 3);
  other.AddDevice(root, "1-2", SimpleSpec("1d07", "0030", "Phone"));
  int count = -1;
  std::array<int, KOVRIN_PORT_COUNT> entries{};
  EXPECT_EQ(KovrinGetDeviceList(kApp, &count, entries.data()), KOVRIN_SUCCESS);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(entries[0], static_cast<int>(MakeEntry(1, 0xFF, true, 3)));
}

TEST_F(QueriesTest, DescriptionsProductNamesAndIdentities) {
  struct Row {
    std::int16_t port;
    int descCode;
    const char* description;
    int productCode;
    const char* product;
  };
  const Row rows[] = {
      {0, KOVRIN_SUCCESS, "Corvane Quor USB Modem", KOVRIN_SUCCESS, "Quor USB Modem"},
      {1, KOVRIN_NO_DESCRIPTORS, "", KOVRIN_NO_DESCRIPTORS, ""},
      {2, KOVRIN_NO_DESCRIPTORS, "", KOVRIN_NO_DESCRIPTORS, ""},
      {6, KOVRIN_SUCCESS, "Corvane Smartphone", KOVRIN_SUCCESS, "Smartphone X"},
      {7, KOVRIN_SUCCESS, "USB Composite Device", KOVRIN_SUCCESS, "Multi Radio"},
      {9, KOVRIN_SUCCESS, "Corvane Widget", KOVRIN_SUCCESS, "Widget"},
      {10, KOVRIN_SUCCESS, "Corvane Composite USB Device", KOVRIN_NO_DESCRIPTORS, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Text(KovrinGetDevDesc, row.port, row.descCode), row.description);
    EXPECT_EQ(Text(KovrinGetProductName, row.port, row.productCode), row.product);
  }
  EXPECT_EQ(Text(KovrinIdentifyDevice, 0, KOVRIN_SUCCESS), "USB\\Vid_1d07&Pid_0020&Rev_0001");
  Text(KovrinIdentifyDevice, 1, KOVRIN_NO_DEVICE_INTERFACE);
  Text(KovrinIdentifyDevice, 10, KOVRIN_NO_DESCRIPTORS);
}

TEST_F(QueriesTest, LongTextsAreCutToTheBuffer) {
  const std::string description = Text(KovrinGetDevDesc, 8, KOVRIN_SUCCESS);
  EXPECT_EQ(description.size(), KOVRIN_TEXT_SIZE - 1u);
  EXPECT_EQ(description, ("Realtek " + kLongProduct).substr(0, KOVRIN_TEXT_SIZE - 1));
  EXPECT_EQ(Text(KovrinGetProductName, 8, KOVRIN_SUCCESS), kLongProduct.substr(0, KOVRIN_TEXT_SIZE - 1));

  char small[6];
  EXPECT_EQ(KovrinGetIntfStringDesc(kApp, 7, small, sizeof small), KOVRIN_SUCCESS);
  EXPECT_STREQ(small, "Corva");
}

TEST_F(QueriesTest, ModemPortsAndInterfacePaths) {
  std::int16_t com = -1;
  EXPECT_EQ(KovrinGetModemCOMPortFromUSBPortID(kApp, 0, &com, 0), KOVRIN_SUCCESS);
  EXPECT_EQ(com, 7);
  EXPECT_EQ(KovrinGetModemCOMPortFromUSBPortID(kApp, 7, &com, 0), KOVRIN_SUCCESS);
  EXPECT_EQ(com, 8) << "the composite's modem on interface 2";
  EXPECT_EQ(KovrinGetModemCOMPortFromUSBPortID(kApp, 3, &com, 0), KOVRIN_NO_MODEM_PORT);
  EXPECT_EQ(KovrinGetModemCOMPortFromUSBPortID(kApp, 10, &com, 0), KOVRIN_NO_MODEM_PORT);

  const char* path = "stale";
  EXPECT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, 0, &path, 0), KOVRIN_SUCCESS);
  EXPECT_STREQ(path, ref_.modemTty.c_str());
  EXPECT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, 7, &path, 0), KOVRIN_SUCCESS);
  EXPECT_STREQ(path, ref_.compositeTty.c_str());
  EXPECT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, 3, &path, 0), KOVRIN_SUCCESS);
  EXPECT_STREQ(path, "/dev/bus/usb/001/007") << "a device without a tty is opened by its USB node";
  EXPECT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, 1, &path, 0), KOVRIN_NO_DEVICE_INTERFACE);
  EXPECT_EQ(path, nullptr);

  int modemCom = 0;
  EXPECT_EQ(KovrinGetModemCommPort(kApp, &modemCom), KOVRIN_SUCCESS);
  EXPECT_EQ(modemCom, 7);
  std::int16_t modemPort = -1;
  EXPECT_EQ(KovrinGetUSBMdmConnectedUSBPort(kApp, &modemPort), KOVRIN_SUCCESS);
  EXPECT_EQ(modemPort, 0);
}

TEST_F(QueriesTest, EndpointSizes) {
  struct Row {
    std::int16_t port;
    const char* interfaceText;  // null: the plain query
    bool in;
    int code;
    std::int16_t size;
  };
  const Row rows[] = {
      {0, nullptr, true, KOVRIN_SUCCESS, 64},
      {0, nullptr, false, KOVRIN_SUCCESS, 64},
      {7, nullptr, true, KOVRIN_SUCCESS, 512},
      {7, nullptr, false, KOVRIN_SUCCESS, 256},
      {7, "Corvane Test Command", true, KOVRIN_SUCCESS, 512},
      {7, "Corvane Test Command", false, KOVRIN_SUCCESS, 256},
      {7, "Corvane Data", true, KOVRIN_SUCCESS, 64},
      {7, "Corvane Data", false, KOVRIN_SUCCESS, 32},
      {7, "No Such Interface", true, KOVRIN_NO_ENDPOINT, -1},
      {8, nullptr, true, KOVRIN_NO_ENDPOINT, -1},
      {10, nullptr, true, KOVRIN_NO_DESCRIPTORS, -1},
      {1, nullptr, true, KOVRIN_NO_DESCRIPTORS, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.port) + (row.interfaceText ? row.interfaceText : "") + (row.in ? " in" : " out"));
    std::int16_t size = -1;
    int code;
    if (row.interfaceText) {
      code = row.in ? KovrinGetBulkInEndpointMaxPacketSizeEx(kApp, row.port, row.interfaceText, &size)
                    : KovrinGetBulkOutEndpointMaxPacketSizeEx(kApp, row.port, row.interfaceText, &size);
    } else {
      code = row.in ? KovrinGetBulkInEndpointMaxPacketSize(kApp, row.port, &size)
                    : KovrinGetBulkOutEndpointMaxPacketSize(kApp, row.port, &size);
    }
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(size, row.size);
  }
}

TEST_F(QueriesTest, PortListsAndCounts) {
  int count = -1;
  std::array<std::int16_t, KOVRIN_PORT_COUNT> ports{};
  EXPECT_EQ(KovrinGetSmartphoneList(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  EXPECT_EQ(std::vector<std::int16_t>(ports.begin(), ports.begin() + count), std::vector<std::int16_t>{6})
      << "the smartphone beyond the table's places is not listed";

  EXPECT_EQ(KovrinGetUSBDeviceConnectedPorts(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  EXPECT_EQ(std::vector<std::int16_t>(ports.begin(), ports.begin() + count),
            (std::vector<std::int16_t>{0, 3, 4, 5, 7, 9, 10}));

  std::int16_t total = 0;
  EXPECT_EQ(KovrinGetTotalUSBPortsOnPC(kApp, &total), KOVRIN_SUCCESS);
  EXPECT_EQ(total, 131);
}

TEST_F(QueriesTest, HubTestCommandStringsAndIds) {
  struct Row {
    std::int16_t port;
    int hubCode;
    int hub;
    int testCode;
    int test;
  };
  const Row rows[] = {
      {0, KOVRIN_SUCCESS, 0, KOVRIN_SUCCESS, 0},
      {2, KOVRIN_NO_DESCRIPTORS, -1, KOVRIN_NO_DESCRIPTORS, -1},  // the hub's first port is empty
      {7, KOVRIN_SUCCESS, 0, KOVRIN_SUCCESS, 1},
      {8, KOVRIN_SUCCESS, 1, KOVRIN_SUCCESS, 0},
      {10, KOVRIN_SUCCESS, 0, KOVRIN_NO_DESCRIPTORS, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.port);
    int hub = -1, test = -1;
    EXPECT_EQ(KovrinDeviceIsHub(kApp, row.port, &hub), row.hubCode);
    EXPECT_EQ(hub, row.hub);
    EXPECT_EQ(KovrinCheckTestCmdEPUsage(kApp, row.port, &test), row.testCode);
    EXPECT_EQ(test, row.test);
  }

  char text[KOVRIN_TEXT_SIZE];
  EXPECT_EQ(KovrinGetIntfStringDesc(kApp, 7, text, sizeof text), KOVRIN_SUCCESS);
  EXPECT_STREQ(text, "Corvane Test Command");
  EXPECT_EQ(KovrinGetIntfStringDesc(kApp, 0, text, sizeof text), KOVRIN_NO_DEVICE_INTERFACE);
  EXPECT_EQ(KovrinGetIntfStringDesc(kApp, 10, text, sizeof text), KOVRIN_NO_DESCRIPTORS);

  std::int16_t vid = 0, pid = 0;
  EXPECT_EQ(KovrinGetVendorProductIDs(kApp, 0, &vid, &pid), KOVRIN_SUCCESS);
  EXPECT_EQ(vid, 0x1d07);
  EXPECT_EQ(pid, 0x0020);
  EXPECT_EQ(KovrinGetVendorProductIDs(kApp, 10, &vid, &pid), KOVRIN_NO_DESCRIPTORS);
}

TEST_F(QueriesTest, DevicePathsFindTheirPorts) {
  struct Row {
    const char* path;
    int code;
    std::int16_t port;
  };
  const Row rows[] = {
      {"usb#vid_1d07&pid_0020#1-1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", KOVRIN_SUCCESS, 0},
      {"USB#VID_1D07&PID_0040#1-4.6#{other}", KOVRIN_SUCCESS, 7},
      {"usb#vid_1d07&pid_0030#1-4.5#", KOVRIN_NOT_FOUND, -1},  // no "{": 35 characters must agree
      {"1-4.2", KOVRIN_SUCCESS, 3},
      {"1-4.1", KOVRIN_NOT_FOUND, -1},
      {"", KOVRIN_NOT_FOUND, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    std::int16_t port = 99;
    EXPECT_EQ(KovrinGetDeviceUSBPortID(kApp, row.path, &port), row.code);
    EXPECT_EQ(port, row.port);
  }
}

TEST_F(QueriesTest, PortsOutsideTheTableAndMissingOutputsAreRefused) {
  for (std::int16_t port : {std::int16_t{-1}, std::int16_t{127}, std::int16_t{300}}) {
    SCOPED_TRACE(port);
    char text[KOVRIN_TEXT_SIZE];
    std::int16_t value = 0;
    int flag = 0;
    const char* path = nullptr;
    EXPECT_EQ(KovrinGetDevDesc(kApp, port, text), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinGetProductName(kApp, port, text), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinIdentifyDevice(kApp, port, text), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinGetIntfStringDesc(kApp, port, text, sizeof text), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinDeviceIsHub(kApp, port, &flag), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinCheckTestCmdEPUsage(kApp, port, &flag), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinGetBulkInEndpointMaxPacketSize(kApp, port, &value), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinGetVendorProductIDs(kApp, port, &value, &value), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinGetModemCOMPortFromUSBPortID(kApp, port, &value, 0), KOVRIN_NOT_FOUND);
    EXPECT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, port, &path, 0), KOVRIN_NOT_FOUND);
  }
  EXPECT_EQ(KovrinGetDevDesc(kApp, 0, nullptr), KOVRIN_FAULT);
  EXPECT_EQ(KovrinGetDeviceList(kApp, nullptr, nullptr), KOVRIN_FAULT);
  EXPECT_EQ(KovrinGetSmartphoneList(kApp, nullptr, nullptr), KOVRIN_FAULT);
  EXPECT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, 0, nullptr, 0), KOVRIN_FAULT);
  char text[4];
  EXPECT_EQ(KovrinGetIntfStringDesc(kApp, 7, text, 0), KOVRIN_FAULT);
}

TEST_F(QueriesTest, SerialPortsOfTheMachineAreListedByComNumber) {
  tree().AddSerialPort("ttyS0", Pty(1), "4");
  tree().AddSerialPort("ttyS1", "/dev/ttyS1", "0");  // a place without a port
  int count = -1;
  std::array<int, KOVRIN_MAX_RS232_PORTS> ports{};
  EXPECT_EQ(KovrinGetRS232Ports(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  EXPECT_EQ(std::vector<int>(ports.begin(), ports.begin() + count), std::vector<int>{1})
      << "the modems' ttys below USB are not serial ports of the machine";
}

TEST_F(QueriesTest, SerialPortListStopsAtItsCapacity) {
  // More ports than the list holds: each of three terminals under many
  // spellings of its device node ("/dev/pts/./././N").
  int added = 0;
  for (int com = 1; com <= 3; ++com) {
    const std::string node = Pty(com);
    const auto cut = node.rfind('/');
    std::string spelling = node.substr(0, cut);
    for (int i = 0; i < 95; ++i, ++added) {
      tree().AddSerialPort("ttyS" + std::to_string(added), spelling + node.substr(cut), "4");
      spelling += "/.";
    }
  }
  ASSERT_GT(added, KOVRIN_MAX_RS232_PORTS);
  int count = -1;
  std::array<int, KOVRIN_MAX_RS232_PORTS> ports{};  // exactly the room the export promises to respect
  EXPECT_EQ(KovrinGetRS232Ports(kApp, &count, ports.data()), KOVRIN_SUCCESS);
  EXPECT_EQ(count, KOVRIN_MAX_RS232_PORTS);
}

TEST_F(QueriesTest, EnumerationWaitTakesTheFreeLock) {
  EXPECT_EQ(KovrinWaitForDeviceEnum(kApp, 1000), KOVRIN_SUCCESS);
}

}  // namespace
}  // namespace kovrin_test
