// Devices arriving and leaving while libusb runs: its udev monitor sees the
// test bed's events, the hot-plug callbacks fire, and a transfer in flight
// when the radio is pulled ends with "no device" instead of hanging.

#include <atomic>
#include <vector>

#include "libusb_fixture.h"

namespace usblibusb_test {
namespace {

using usbtestbed::RadioDevice;

struct HotplugEvents {
  std::atomic<int> arrived{0};
  std::atomic<int> left{0};
  std::atomic<int> lastPort{0};
};

int OnHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event, void* data) {
  auto* events = static_cast<HotplugEvents*>(data);
  std::uint8_t ports[8];
  if (libusb_get_port_numbers(device, ports, 8) >= 1) events->lastPort = ports[0];
  if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) ++events->arrived;
  if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT) ++events->left;
  return 0;
}

TEST_F(LibusbTest, HotplugArrivalAndRemoval) {
  ASSERT_TRUE(libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG));
  InitLibusb();
  HotplugEvents events;
  libusb_hotplug_callback_handle callback = 0;
  ASSERT_EQ(libusb_hotplug_register_callback(
                ctx_, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, 0, 0x1d07,
                LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, OnHotplug, &events, &callback),
            0);
  testbed_->Plug(6, RadioDevice({"Corvane_Flash"}));
  EXPECT_TRUE(HandleEventsUntil([&] { return events.arrived == 1; })) << "no arrival";
  EXPECT_EQ(events.lastPort, 6);
  testbed_->Unplug(6);
  EXPECT_TRUE(HandleEventsUntil([&] { return events.left == 1; })) << "no removal";
  EXPECT_EQ(FindAtPort(6), nullptr);
  libusb_hotplug_deregister_callback(ctx_, callback);
}

TEST_F(LibusbTest, UnplugEndsATransferInFlight) {
  auto& radio = testbed_->Plug(2, RadioDevice({"Corvane_Flash"}));
  InitLibusb();
  libusb_device_handle* handle = Open(2);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(libusb_claim_interface(handle, 0), 0);
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  std::vector<std::uint8_t> buffer(4096);
  int done = 0;
  libusb_fill_bulk_transfer(
      transfer, handle, 0x81, buffer.data(), 4096, [](libusb_transfer* t) { *static_cast<int*>(t->user_data) = 1; },
      &done, 0 /* no time-out: only the unplug can end it */);
  ASSERT_EQ(libusb_submit_transfer(transfer), 0);
  ASSERT_TRUE(radio.WaitFor([](const usbtestbed::UsbdevfsCounts& c) { return c.requests.count("SUBMITURB"); },
                            5000));
  testbed_->Unplug(2);
  EXPECT_TRUE(HandleEventsUntil([&] { return done != 0; })) << "the transfer hangs after the unplug";
  EXPECT_EQ(transfer->status, LIBUSB_TRANSFER_NO_DEVICE);
  EXPECT_EQ(radio.Counts().urbsEndedByUnplug, 1);
  libusb_free_transfer(transfer);
  // Later transfers fail at once.
  int moved = 0;
  EXPECT_EQ(libusb_bulk_transfer(handle, 0x01, buffer.data(), 16, &moved, 1000), LIBUSB_ERROR_NO_DEVICE);
}

}  // namespace
}  // namespace usblibusb_test
