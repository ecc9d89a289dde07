// libusb finds the test bed's radio as it finds a real one: on its bus and
// port, with the maker's descriptors and interface strings, and its
// interfaces claimed one owner at a time.

#include <string>

#include "libusb_fixture.h"

namespace usblibusb_test {
namespace {

using usbtestbed::RadioDevice;

std::string InterfaceString(libusb_device_handle* handle, int number) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(libusb_get_device(handle), &config) != 0) return "(no configuration)";
  std::string text;
  if (number < config->bNumInterfaces) {
    const std::uint8_t index = config->interface[number].altsetting[0].iInterface;
    unsigned char buffer[128] = {};
    const int n = libusb_get_string_descriptor_ascii(handle, index, buffer, sizeof buffer);
    if (n >= 0) text.assign(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
  }
  libusb_free_config_descriptor(config);
  return text;
}

TEST_F(LibusbTest, FindsTheRadioWithItsDescriptors) {
  testbed_->Plug(3, RadioDevice({"Corvane_Flash", "Corvane_Test_Command"}, 512, 64));
  InitLibusb();
  libusb_device* device = FindAtPort(3);
  ASSERT_NE(device, nullptr) << "libusb does not list the device at port 3";
  libusb_device_descriptor desc{};
  ASSERT_EQ(libusb_get_device_descriptor(device, &desc), 0);
  EXPECT_EQ(desc.idVendor, 0x1d07);
  EXPECT_EQ(desc.idProduct, 0x0021);
  EXPECT_EQ(libusb_get_device_speed(device), LIBUSB_SPEED_HIGH);
  EXPECT_EQ(libusb_get_max_packet_size(device, 0x01), 512);
  EXPECT_EQ(libusb_get_max_packet_size(device, 0x82), 64);
  libusb_config_descriptor* config = nullptr;
  ASSERT_EQ(libusb_get_active_config_descriptor(device, &config), 0);
  ASSERT_EQ(config->bNumInterfaces, 2);
  const auto& flash = config->interface[0].altsetting[0];
  EXPECT_EQ(flash.bInterfaceClass, 0xFF);
  ASSERT_EQ(flash.bNumEndpoints, 2);
  EXPECT_EQ(flash.endpoint[0].bEndpointAddress, 0x01);
  EXPECT_EQ(flash.endpoint[0].bmAttributes & 3, LIBUSB_TRANSFER_TYPE_BULK);
  EXPECT_EQ(flash.endpoint[1].bEndpointAddress, 0x81);
  libusb_free_config_descriptor(config);
  libusb_unref_device(device);
}

TEST_F(LibusbTest, ReadsTheInterfaceStringsOverEndpointZero) {
  auto& radio = testbed_->Plug(2, RadioDevice({"Corvane_Boot", "Corvane_Test_Command"}));
  InitLibusb();
  libusb_device_handle* handle = Open(2);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(InterfaceString(handle, 0), "Corvane_Boot");
  EXPECT_EQ(InterfaceString(handle, 1), "Corvane_Test_Command");
  unsigned char text[64] = {};
  ASSERT_GT(libusb_get_string_descriptor_ascii(handle, 2, text, sizeof text), 0);
  EXPECT_STREQ(reinterpret_cast<char*>(text), "Vexa radio");
  // Strings come as control URBs submitted and reaped.
  EXPECT_GE(radio.Counts().requests["SUBMITURB"], 3);
  EXPECT_GE(radio.Counts().requests["REAPURBNDELAY"], 3);
}

TEST_F(LibusbTest, ClaimsInterfacesOneOwnerAtATime) {
  auto& radio = testbed_->Plug(1, RadioDevice({"Corvane_Flash"}));
  InitLibusb();
  libusb_device_handle* first = Open(1);
  libusb_device_handle* second = Open(1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(libusb_kernel_driver_active(first, 0), 0);
  EXPECT_EQ(libusb_claim_interface(first, 0), 0);
  EXPECT_EQ(radio.ClaimedInterfaces(), std::vector<int>{0});
  EXPECT_EQ(libusb_claim_interface(second, 0), LIBUSB_ERROR_BUSY);
  EXPECT_EQ(libusb_claim_interface(first, 1), LIBUSB_ERROR_NOT_FOUND);
  EXPECT_EQ(libusb_release_interface(first, 0), 0);
  EXPECT_EQ(libusb_claim_interface(second, 0), 0);
  // Closing the file gives the interface up, as the kernel does (umockdev
  // sees the close a moment later).
  Close(second);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int claimed = LIBUSB_ERROR_BUSY;
  while (claimed == LIBUSB_ERROR_BUSY && std::chrono::steady_clock::now() < deadline)
    claimed = libusb_claim_interface(first, 0);
  EXPECT_EQ(claimed, 0);
}

TEST_F(LibusbTest, ListsOnlyConnectedDevices) {
  testbed_->Plug(1, RadioDevice({"Corvane_Flash"}));
  testbed_->Plug(4, RadioDevice({"Corvane_Flash"}));
  testbed_->Unplug(1);
  InitLibusb();
  EXPECT_EQ(FindAtPort(1), nullptr);
  libusb_device* device = FindAtPort(4);
  EXPECT_NE(device, nullptr);
  if (device) libusb_unref_device(device);
}

}  // namespace
}  // namespace usblibusb_test
