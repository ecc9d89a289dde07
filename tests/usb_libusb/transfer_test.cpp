// Bulk and control transfers through libusb's asynchronous URBs, submitted
// to and reaped from the test bed's usbdevfs handler: echo of every size,
// the radio's own answers, time-outs (discarded URBs), zero-length packets
// and the command pipe's setup packets.

#include <numeric>
#include <vector>

#include "libusb_fixture.h"
#include "radiosim/radio_simulator.h"
#include "usb_testbed/radio_bridge.h"

namespace usblibusb_test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using usbtestbed::RadioDevice;

class Transfers : public LibusbTest {
 protected:
  void SetUp() override {
    LibusbTest::SetUp();
    device_ = &testbed_->Plug(5, RadioDevice({"Corvane_Flash"}, 512, 512));
    InitLibusb();
    handle_ = Open(5);
    ASSERT_NE(handle_, nullptr);
    ASSERT_EQ(libusb_claim_interface(handle_, 0), 0);
  }
  void TearDown() override {
    CloseAll();
    echo_.reset();
    LibusbTest::TearDown();
  }

  int Write(const Bytes& bytes, int* sent, unsigned timeoutMs = 2000) {
    return libusb_bulk_transfer(handle_, 0x01, const_cast<unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()), sent, timeoutMs);
  }
  // Reads until n bytes came or a transfer fails.
  Bytes Read(std::size_t n, int* status, unsigned timeoutMs = 2000) {
    Bytes got;
    *status = 0;
    while (got.size() < n && *status == 0) {
      Bytes chunk(n - got.size());
      int moved = 0;
      *status = libusb_bulk_transfer(handle_, 0x81, chunk.data(), static_cast<int>(chunk.size()), &moved, timeoutMs);
      got.insert(got.end(), chunk.begin(), chunk.begin() + moved);
    }
    return got;
  }

  usbtestbed::UsbdevfsDevice* device_ = nullptr;
  libusb_device_handle* handle_ = nullptr;
  std::unique_ptr<usbtestbed::EchoBridge> echo_;
};

TEST_F(Transfers, BulkEchoOfEverySize) {
  echo_ = std::make_unique<usbtestbed::EchoBridge>(*device_);
  for (std::size_t size : {1u, 2u, 511u, 512u, 513u, 4096u, 65536u, 300000u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    Bytes out(size);
    std::iota(out.begin(), out.end(), static_cast<std::uint8_t>(size));
    int sent = 0;
    ASSERT_EQ(Write(out, &sent), 0);
    EXPECT_EQ(sent, static_cast<int>(size));
    int status = 0;
    EXPECT_EQ(Read(size, &status), out);
    EXPECT_EQ(status, 0);
  }
}

TEST_F(Transfers, ShortPacketEndsAReadEarly) {
  device_->SendToHost(0x81, Bytes(700, 0x5A));  // one full packet and one of 188
  Bytes buffer(4096);
  int moved = 0;
  ASSERT_EQ(libusb_bulk_transfer(handle_, 0x81, buffer.data(), 4096, &moved, 2000), 0);
  EXPECT_EQ(moved, 700);
}

TEST_F(Transfers, ReadTimesOutAndTheDiscardedUrbKeepsItsBytes) {
  Bytes buffer(1024);
  int moved = -1;
  EXPECT_EQ(libusb_bulk_transfer(handle_, 0x81, buffer.data(), 1024, &moved, 100), LIBUSB_ERROR_TIMEOUT);
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(device_->Counts().urbsDiscarded, 1);
  // 512 bytes are a whole packet: the URB waits for more, the time-out
  // ends it and libusb hands over what it had.
  device_->SendToHost(0x81, Bytes(512, 0x11));
  EXPECT_EQ(libusb_bulk_transfer(handle_, 0x81, buffer.data(), 1024, &moved, 200), LIBUSB_ERROR_TIMEOUT);
  EXPECT_EQ(moved, 512);
}

TEST_F(Transfers, ZeroLengthPackets) {
  echo_ = std::make_unique<usbtestbed::EchoBridge>(*device_);
  int sent = -1;
  EXPECT_EQ(Write({}, &sent), 0);
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(device_->Counts().zeroLengthOut, 1);
  // The echoed zero-length packet ends an IN transfer with no bytes.
  Bytes buffer(512);
  int moved = -1;
  EXPECT_EQ(libusb_bulk_transfer(handle_, 0x81, buffer.data(), 512, &moved, 2000), 0);
  EXPECT_EQ(moved, 0);
  // A transfer of whole packets asked to end with a zero-length packet.
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  Bytes out(1024, 0x33);
  int done = 0;
  libusb_fill_bulk_transfer(
      transfer, handle_, 0x01, out.data(), 1024, [](libusb_transfer* t) { *static_cast<int*>(t->user_data) = 1; },
      &done, 2000);
  transfer->flags = LIBUSB_TRANSFER_ADD_ZERO_PACKET;
  ASSERT_EQ(libusb_submit_transfer(transfer), 0);
  EXPECT_TRUE(HandleEventsUntil([&] { return done != 0; }));
  EXPECT_EQ(transfer->status, LIBUSB_TRANSFER_COMPLETED);
  libusb_free_transfer(transfer);
  EXPECT_EQ(device_->Counts().zeroPacketsAdded, 1);
}

TEST_F(Transfers, RadioAnswersOverBulkPipes) {
  radiosim::RadioConfig config;
  config.link = radiosim::LinkKind::Usb;
  radiosim::RadioSimulator radio(config);
  usbtestbed::RadioBridge bridge(radio, *device_);
  int sent = 0;
  ASSERT_EQ(Write({0x61, 0x41}, &sent), 0);  // the boot loader's ping
  int status = 0;
  EXPECT_EQ(Read(1, &status), Bytes{0x5A});
  EXPECT_EQ(status, 0);
}

TEST_F(Transfers, CommandHeaderTravelsAsSetupPacket) {
  // Host to device: the header is the setup packet, the rest its data.
  unsigned char data[4] = {1, 2, 3, 4};
  EXPECT_EQ(libusb_control_transfer(handle_, 0x41, 0x22, 0x3344, 0x0001, data, 4, 1000), 4);
  // Device to host: the queued reply is the data stage.
  device_->QueueCommandReply({9, 8, 7});
  unsigned char reply[16] = {};
  EXPECT_EQ(libusb_control_transfer(handle_, 0xC1, 0x23, 0, 0x0001, reply, 16, 1000), 3);
  EXPECT_EQ(reply[0], 9);
  EXPECT_EQ(reply[2], 7);
  // Nothing to answer: the request stalls.
  EXPECT_EQ(libusb_control_transfer(handle_, 0xC1, 0x23, 0, 0x0001, reply, 16, 1000), LIBUSB_ERROR_PIPE);
  const auto log = device_->ControlLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].setup.requestType, 0x41);
  EXPECT_EQ(log[0].setup.request, 0x22);
  EXPECT_EQ(log[0].setup.value, 0x3344);
  EXPECT_EQ(log[0].setup.index, 1);
  EXPECT_EQ(log[0].setup.length, 4);
  EXPECT_EQ(log[0].dataOut, (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(log[1].setup.length, 16);
}

}  // namespace
}  // namespace usblibusb_test
