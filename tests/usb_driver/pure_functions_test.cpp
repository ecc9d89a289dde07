// The driver's pieces that need no device: the command header as a setup
// packet, the maker's interfaces and endpoint sizes from raw descriptors, the
// device ids from the USB monitor's port numbering, and driver statuses.

#include <libusb.h>

#include <gtest/gtest.h>

#include "command_setup.h"
#include "descriptor_bytes.h"
#include "device_ids.h"
#include "device_inventory.h"
#include "quor_pst/quor_pst.h"
#include "transfer_status.h"

namespace usbdrivertest {
namespace {

using usb_driver::BusAddress;

TEST(CommandHeader, IsTheSetupPacketByteForByte) {
  const std::uint8_t header[8] = {0xC1, 0x05, 0x34, 0x12, 0x02, 0x00, 0x10, 0x00};
  const auto setup = usb_driver::ReadSetupPacket(header);
  EXPECT_EQ(setup.requestType, 0xC1);
  EXPECT_EQ(setup.request, 0x05);
  EXPECT_EQ(setup.value, 0x1234);
  EXPECT_EQ(setup.index, 0x0002);
  EXPECT_EQ(setup.length, 0x0010);
  EXPECT_TRUE(setup.DeviceToHost());
}

TEST(CommandHeader, ReadsAndWritesNeedRoomForTheirDataStage) {
  struct Case {
    std::uint8_t requestType;
    std::uint16_t wLength;
    std::uint32_t total;
    bool read;
    bool fits;
  };
  const Case cases[] = {
      {0xC0, 8, 16, true, true},    // exactly the room after the header
      {0xC0, 9, 16, true, false},   // one byte more than the room
      {0xC0, 0, 8, true, true},     // the header alone
      {0xC0, 0, 7, true, false},    // shorter than the header
      {0x40, 4, 12, false, true},   // host to device with its data
      {0x40, 5, 12, false, false},  // data stage beyond the buffer
      {0xC0, 0, 8, false, false},   // a write cannot take data from the device
      {0x40, 0, 8, true, true},     // a read may send a request without data
      {0xC0, 4096, 8 + 4096, true, true},    // the largest data stage libusb takes
      {0xC0, 4097, 8 + 4097, true, false},   // more than libusb takes, with room for it
      {0x40, 4097, 8 + 4097, false, false},  // the same for a write
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> buffer(std::max<std::uint32_t>(c.total, 8), 0);
    buffer[0] = c.requestType;
    buffer[6] = static_cast<std::uint8_t>(c.wLength & 0xFF);
    buffer[7] = static_cast<std::uint8_t>(c.wLength >> 8);
    const auto setup = c.read ? usb_driver::CommandReadSetup(buffer.data(), c.total)
                              : usb_driver::CommandWriteSetup(buffer.data(), c.total);
    EXPECT_EQ(setup.has_value(), c.fits) << int(c.requestType) << " " << c.wLength << " " << c.total;
  }
  EXPECT_FALSE(usb_driver::CommandReadSetup(nullptr, 16));
}

TEST(MakerInterfaces, AreFoundByTheirStringsWithTheirBulkEndpoints) {
  auto node = DeviceNode("1-2", "/dev/bus/usb/001/004",
                         {{0, 0, "Corvane_Boot", {{0x83, 3, 16}, {0x02, 2, 64}, {0x82, 2, 32}}},
                          {1, 0, "Vendor Diagnostics", {{0x04, 2, 512}}},
                          {2, 0, "Corvane_Flash", {{0x81, 2, 512}, {0x01, 2, 512}}},
                          {2, 1, "", {{0x85, 2, 8}, {0x05, 2, 8}}},
                          {3, 0, "Corvane_Test_Command", {}}});
  const auto found = usb_driver::FindMakerInterfaces(node, 7);
  ASSERT_EQ(found.size(), 3u);
  // In the order the notices go out: flash, boot, test command.
  EXPECT_STREQ(found[0].name->text, "Corvane_Flash");
  EXPECT_EQ(found[0].number, 2);
  EXPECT_EQ(found[0].name->driverKind, PST_KIND_FLASH);
  ASSERT_TRUE(found[0].bulkOut && found[0].bulkIn);
  EXPECT_EQ(found[0].bulkOut->address, 0x01);
  EXPECT_EQ(found[0].bulkIn->address, 0x81);
  EXPECT_EQ(found[0].bulkIn->maxPacketSize, 512);  // alternate 1 does not count
  EXPECT_STREQ(found[1].name->text, "Corvane_Boot");
  EXPECT_EQ(found[1].name->driverKind, PST_KIND_BOOT);
  EXPECT_EQ(found[1].bulkOut->maxPacketSize, 64);  // the interrupt endpoint is passed over
  EXPECT_EQ(found[1].bulkIn->maxPacketSize, 32);
  EXPECT_EQ(found[2].name->driverKind, PST_KIND_TEST_COMMAND);
  EXPECT_FALSE(found[2].bulkOut);
  // Handles are above 0, distinct, and name the device.
  EXPECT_EQ(found[0].handle, 0x1000 + 7 * 4 + 1);
  EXPECT_EQ(found[1].handle, 0x1000 + 7 * 4 + 2);
  EXPECT_EQ(found[2].handle, 0x1000 + 7 * 4 + 3);
  EXPECT_EQ(usb_driver::FirstBulkPacketSize(node, false), 64);
  EXPECT_EQ(usb_driver::FirstBulkPacketSize(node, true), 32);
}

TEST(MakerInterfaces, MalformedDescriptorsLeaveTheInterfacesWithoutEndpoints) {
  auto node = DeviceNode("1-3", "/dev/bus/usb/001/005", FlashAndBoot());
  node.descriptors.resize(20);
  const auto found = usb_driver::FindMakerInterfaces(node, 1);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_FALSE(found[0].bulkIn);
  EXPECT_FALSE(usb_driver::FirstBulkPacketSize(node, true));
}

TEST(DeviceNodes, GiveTheBusAndAddress) {
  EXPECT_EQ(usb_driver::BusAddressOf("/dev/bus/usb/003/017"), (BusAddress{3, 17}));
  EXPECT_FALSE(usb_driver::BusAddressOf("/dev/ttyUSB0"));
  EXPECT_FALSE(usb_driver::BusAddressOf("/dev/bus/usb/003"));
  EXPECT_FALSE(usb_driver::BusAddressOf("/dev/bus/usb/003/017x"));
  EXPECT_FALSE(usb_driver::BusAddressOf(""));
}

platform::UsbHubPort Port(int number, std::unique_ptr<platform::UsbDeviceNode> device = nullptr) {
  platform::UsbHubPort port;
  port.number = number;
  port.device = std::move(device);
  return port;
}

std::unique_ptr<platform::UsbDeviceNode> Owned(platform::UsbDeviceNode node) {
  return std::make_unique<platform::UsbDeviceNode>(std::move(node));
}

// Two root hubs; a hub on bus 1 with a radio below it; an unreadable device;
// another maker's device; a radio on bus 2.
std::vector<platform::UsbDeviceNode> TwoBuses() {
  std::vector<platform::UsbDeviceNode> roots(2);
  roots[0].sysname = "usb1";
  roots[0].maxChild = 4;
  roots[0].ports.push_back(Port(1));  // empty: 0
  auto hub = Owned(DeviceNode("1-2", "/dev/bus/usb/001/002", {}));
  hub->maxChild = 3;
  hub->ports.push_back(Port(1));  // empty: 1
  hub->ports.push_back(Port(2, Owned(DeviceNode("1-2.2", "/dev/bus/usb/001/007", FlashAndBoot()))));  // 2
  hub->ports.push_back(Port(3, Owned(DeviceNode("1-2.3", "/dev/bus/usb/001/008",
                                                {{0, 0, "Keyboard", {{0x81, 3, 8}}}}))));  // 3
  roots[0].ports.push_back(Port(2, std::move(hub)));  // a hub: no number
  auto unreadable = Owned(DeviceNode("1-3", "/dev/bus/usb/001/003", FlashAndBoot()));
  unreadable->idsReadable = false;
  roots[0].ports.push_back(Port(3, std::move(unreadable)));  // no number
  roots[0].ports.push_back(Port(4));  // empty: 4
  roots[1].sysname = "usb2";
  roots[1].maxChild = 2;
  roots[1].ports.push_back(Port(1, Owned(DeviceNode("2-1", "/dev/bus/usb/002/005",
                                                    {{0, 0, "Corvane_Boot", {{0x01, 2, 64}, {0x81, 2, 64}}}}))));  // 5
  roots[1].ports.push_back(Port(2));  // 6
  return roots;
}

TEST(DeviceIds, AreTheUsbMonitorsPortNumbers) {
  const auto inventory = usb_driver::TakeInventory(TwoBuses());
  ASSERT_EQ(inventory.devices.size(), 2u);
  EXPECT_EQ(inventory.devices[0].id, 2);
  EXPECT_EQ(inventory.devices[0].sysname, "1-2.2");
  EXPECT_EQ(inventory.devices[0].where, (BusAddress{1, 7}));
  EXPECT_EQ(inventory.devices[0].interfaces.size(), 2u);
  EXPECT_EQ(inventory.devices[0].outPacketSize, 512);
  EXPECT_EQ(inventory.devices[1].id, 5);
  EXPECT_EQ(inventory.devices[1].sysname, "2-1");
  EXPECT_EQ(inventory.devices[1].interfaces[0].handle, 0x1000 + 5 * 4 + 2);
  // The hub and the keyboard are seen but are not the maker's.
  EXPECT_EQ(inventory.seen.size(), 4u);
  EXPECT_TRUE(inventory.incomplete.empty());
}

TEST(DeviceIds, AHubIsWholeWhenItsDescriptorsAre) {
  auto roots = TwoBuses();
  const BusAddress hub{1, 2};
  EXPECT_FALSE(usb_driver::AnyIncomplete(usb_driver::TakeInventory(roots), {hub, {1, 7}, {1, 8}, {2, 5}}));
  roots[0].ports[1].device->descriptors.clear();  // not read yet
  const auto inventory = usb_driver::TakeInventory(roots);
  EXPECT_EQ(inventory.incomplete, std::vector<BusAddress>{hub});
  EXPECT_EQ(inventory.devices.size(), 2u) << "the devices below it are served meanwhile";
  EXPECT_TRUE(usb_driver::AnyIncomplete(inventory, {hub}));
  EXPECT_TRUE(usb_driver::AnyIncomplete(inventory, {{1, 9}})) << "a device libusb has and the tree not yet";
}

TEST(DeviceIds, ANewDeviceTakesItsPortNumberWhenFreeElseTheLowestFreeId) {
  struct Case {
    const char* what;
    std::vector<int> portNumbers;
    std::set<std::uint16_t> taken;
    std::vector<std::optional<std::uint16_t>> ids;
  };
  const Case cases[] = {
      {"free port numbers", {3, 7}, {}, {3, 7}},
      {"a number a served device holds", {2}, {2}, {0}},
      {"the lowest id no device holds", {2}, {0, 1, 2}, {3}},
      {"a free number is never lost to one that needs another id", {5, 0}, {5}, {1, 0}},
      {"two new devices on one number", {4, 4}, {}, {4, 0}},
      {"every id held", {9}, [] {
         std::set<std::uint16_t> all;
         for (std::uint16_t id = 0; id <= 126; ++id) all.insert(id);
         return all;
       }(), {std::nullopt}},
  };
  for (const auto& c : cases) EXPECT_EQ(usb_driver::ChooseDeviceIds(c.portNumbers, c.taken), c.ids) << c.what;
}

TEST(DeviceIds, AnotherIdMovesTheInterfaceHandles) {
  const auto inventory = usb_driver::TakeInventory(TwoBuses());
  const auto moved = usb_driver::WithId(inventory.devices[1], 9);
  EXPECT_EQ(moved.id, 9);
  EXPECT_EQ(moved.interfaces[0].handle, 0x1000 + 9 * 4 + 2);
  EXPECT_EQ(moved.where, inventory.devices[1].where);
}

TEST(DeviceIds, WaitForEveryInterfaceTheConfigurationDeclares) {
  // The system shows a device before its interfaces; until the last one is
  // there the device is not served.
  auto radio = DeviceNode("1-1", "/dev/bus/usb/001/004", FlashAndBoot());
  radio.interfaces.pop_back();
  EXPECT_FALSE(usb_driver::ShowsAllInterfaces(radio));
  std::vector<platform::UsbDeviceNode> roots(1);
  roots[0].sysname = "usb1";
  roots[0].ports.push_back(Port(1, Owned(std::move(radio))));
  auto inventory = usb_driver::TakeInventory(roots);
  EXPECT_TRUE(inventory.devices.empty());
  EXPECT_EQ(inventory.incomplete, (std::vector<BusAddress>{{1, 4}}));
  // Both interfaces there, one without its string yet.
  auto unnamed = DeviceNode("1-1", "/dev/bus/usb/001/004", FlashAndBoot());
  unnamed.interfaces[1].text.clear();
  EXPECT_FALSE(usb_driver::ShowsAllInterfaces(unnamed));
  roots[0].ports[0].device = Owned(DeviceNode("1-1", "/dev/bus/usb/001/004", FlashAndBoot()));
  inventory = usb_driver::TakeInventory(roots);
  EXPECT_EQ(inventory.devices.size(), 1u);
  EXPECT_TRUE(inventory.incomplete.empty());
}

TEST(DeviceIds, StopAtTheHighestId) {
  std::vector<platform::UsbDeviceNode> roots(1);
  roots[0].sysname = "usb1";
  for (int n = 1; n <= 127; ++n) roots[0].ports.push_back(Port(n));
  roots[0].ports.push_back(Port(128, Owned(DeviceNode("1-128", "/dev/bus/usb/001/002", FlashAndBoot()))));
  auto configuring = DeviceNode("1-129", "/dev/bus/usb/001/003", {});
  roots[0].ports.push_back(Port(129, Owned(std::move(configuring))));
  const auto inventory = usb_driver::TakeInventory(roots);
  EXPECT_TRUE(inventory.devices.empty());
  EXPECT_EQ(inventory.unnumbered, std::vector<std::string>{"1-128"});
  EXPECT_EQ(inventory.incomplete, (std::vector<BusAddress>{{1, 3}}));
}

TEST(Statuses, FollowTheStandInsTable) {
  struct Case {
    const char* what;
    int status;
    int expected;
  };
  const Case cases[] = {
      {"read all", usb_driver::BulkReadStatus(LIBUSB_SUCCESS, 10, 10), PST_OK},
      {"read part, time-out", usb_driver::BulkReadStatus(LIBUSB_ERROR_TIMEOUT, 10, 4), PST_READ_SHORT},
      {"read part, unplugged", usb_driver::BulkReadStatus(LIBUSB_ERROR_NO_DEVICE, 10, 4), PST_READ_SHORT},
      {"read nothing", usb_driver::BulkReadStatus(LIBUSB_ERROR_TIMEOUT, 10, 0), PST_READ_TIMEOUT},
      {"read, unplugged", usb_driver::BulkReadStatus(LIBUSB_ERROR_NO_DEVICE, 10, 0), PST_NO_DEVICE},
      {"read, stall", usb_driver::BulkReadStatus(LIBUSB_ERROR_PIPE, 10, 0), PST_PIPE_BROKEN},
      {"read all, overflow", usb_driver::BulkReadStatus(LIBUSB_ERROR_OVERFLOW, 10, 10), PST_PIPE_BROKEN},
      {"read part, overflow", usb_driver::BulkReadStatus(LIBUSB_ERROR_OVERFLOW, 10, 4), PST_PIPE_BROKEN},
      {"command read, overflow", usb_driver::CommandReadStatus(LIBUSB_ERROR_OVERFLOW), PST_PIPE_BROKEN},
      {"write all", usb_driver::BulkWriteStatus(LIBUSB_SUCCESS), PST_OK},
      {"write time-out", usb_driver::BulkWriteStatus(LIBUSB_ERROR_TIMEOUT), PST_WRITE_TIMEOUT},
      {"write, unplugged", usb_driver::BulkWriteStatus(LIBUSB_ERROR_NO_DEVICE), PST_PIPE_BROKEN},
      {"write, I/O error", usb_driver::BulkWriteStatus(LIBUSB_ERROR_IO), PST_PIPE_BROKEN},
      {"command read time-out", usb_driver::CommandReadStatus(LIBUSB_ERROR_TIMEOUT), PST_READ_TIMEOUT},
      {"command read, unplugged", usb_driver::CommandReadStatus(LIBUSB_ERROR_NO_DEVICE), PST_NO_DEVICE},
      {"command read, refused", usb_driver::CommandReadStatus(LIBUSB_ERROR_PIPE), PST_PIPE_BROKEN},
      {"command write time-out", usb_driver::CommandWriteStatus(LIBUSB_ERROR_TIMEOUT), PST_WRITE_TIMEOUT},
  };
  for (const auto& c : cases) EXPECT_EQ(c.status, c.expected) << c.what;
}

}  // namespace
}  // namespace usbdrivertest
