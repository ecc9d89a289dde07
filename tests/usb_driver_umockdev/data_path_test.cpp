// The libusb driver moving data to a radio of the USB test bed, where the
// radio or the host misbehaves: an interface another program holds, a
// command whose data stage libusb cannot take, and a device that sends more
// than a packet. The driver is made here, over the real libusb code.

#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "access_reports.h"
#include "platform/target_registry.h"
#include "platform/temp_folder.h"
#include "pst_trace.h"
#include "quor_pst/quor_pst.h"
#include "usb_driver.h"
#include "usb_testbed/usb_testbed.h"

namespace usbdrivertest {
namespace {

using namespace std::chrono_literals;

constexpr int kRootPort = 1;  // the first port of the root hub: device id 0
constexpr std::uint16_t kId = 0;
constexpr std::uint8_t kBulkIn = 0x81;

class DataPath : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(usbtestbed::UsbTestbed::Preloaded()) << "run under umockdev's preload library (ctest sets LD_PRELOAD)";
    // The trace, to see what the driver says of libusb's failures.
    setenv(usb_driver::kTraceVariable, trace_.c_str(), 1);
    testbed_ = std::make_unique<usbtestbed::UsbTestbed>();
    device_ = &testbed_->Plug(kRootPort, usbtestbed::RadioDevice({"Corvane_Flash"}, 512, 512));
  }
  void TearDown() override {
    // libusb closes the device nodes before the test bed stops serving them.
    driver_.reset();
    if (other_) libusb_close(other_);
    if (otherContext_) libusb_exit(otherContext_);
    testbed_.reset();
    std::filesystem::remove_all(folder_);
  }

  // The driver with the radio served, its flash interface's handle in handle_.
  void StartDriver() {
    driver_ = std::make_unique<usb_driver::UsbDriver>();
    ASSERT_EQ(driver_->RegisterMonitorWindow(monitor_.handle()), PST_OK);
    std::uint16_t ids[4] = {};
    int count = 0;
    ASSERT_EQ(driver_->DeviceList(ids, 4, count), PST_OK);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(ids[0], kId);
    ASSERT_EQ(driver_->InterfaceHandleOf(kId, "Corvane_Flash", handle_), PST_OK);
  }

  // Another program opens the radio and claims its interface.
  void AnotherProgramClaims() {
    ASSERT_EQ(libusb_init(&otherContext_), LIBUSB_SUCCESS);
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(otherContext_, &list);
    int opened = LIBUSB_ERROR_NOT_FOUND;
    for (ssize_t i = 0; i < n && !other_; ++i) {
      if (libusb_get_port_number(list[i]) == kRootPort) opened = libusb_open(list[i], &other_);
    }
    libusb_free_device_list(list, 1);
    ASSERT_EQ(opened, LIBUSB_SUCCESS);
    ASSERT_TRUE(other_);
    ASSERT_EQ(libusb_claim_interface(other_, 0), LIBUSB_SUCCESS);
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    while (auto m = monitor_.queue().TakeMatching(usb_driver::kLogLineMessage, usb_driver::kLogLineMessage, 0ms)) {
      if (auto line = m->payload.Take<std::string>()) lines.push_back(*line);
    }
    return lines;
  }

  std::string Trace() const {
    std::ifstream in(trace_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  const std::string folder_ = platform::MakeTemporaryFolder("quillon-usbdriver-");
  const std::string trace_ = folder_ + "/trace.txt";
  std::unique_ptr<usbtestbed::UsbTestbed> testbed_;
  usbtestbed::UsbdevfsDevice* device_ = nullptr;
  platform::RegisteredQueue monitor_{platform::TargetKind::Window};
  std::unique_ptr<usb_driver::UsbDriver> driver_;
  int handle_ = 0;
  libusb_context* otherContext_ = nullptr;
  libusb_device_handle* other_ = nullptr;
};

TEST_F(DataPath, AnInterfaceAnotherProgramHoldsIsSaidOncePerPlugIn) {
  AnotherProgramClaims();
  StartDriver();
  const std::uint8_t bytes[4] = {1, 2, 3, 4};
  std::uint32_t moved = 0;
  EXPECT_EQ(driver_->Write(kId, handle_, PST_PIPE_BULK, bytes, 4, moved, 1000), PST_PIPE_BROKEN);
  EXPECT_EQ(driver_->Write(kId, handle_, PST_PIPE_BULK, bytes, 4, moved, 1000), PST_PIPE_BROKEN);
  EXPECT_EQ(LogLines(), std::vector<std::string>{usb_driver::InUseText(kId, testbed_->DevNode(kRootPort))});
  // Once the other program lets go, the radio is served.
  ASSERT_EQ(libusb_release_interface(other_, 0), LIBUSB_SUCCESS);
  EXPECT_EQ(driver_->Write(kId, handle_, PST_PIPE_BULK, bytes, 4, moved, 1000), PST_OK);
  EXPECT_EQ(moved, 4u);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(DataPath, ACommandDataStageLibusbCannotTakeIsABadParameter) {
  StartDriver();
  struct Case {
    const char* what;
    bool read;
    std::uint8_t requestType;
    std::uint16_t length;
  };
  const Case cases[] = {
      {"read of 4097 bytes", true, 0xC0, 4097},
      {"write of 4097 bytes", false, 0x40, 4097},
      {"read of 65535 bytes", true, 0xC0, 65535},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> buffer(8 + c.length);
    buffer[0] = c.requestType;
    buffer[1] = 0x01;
    buffer[6] = static_cast<std::uint8_t>(c.length & 0xFF);
    buffer[7] = static_cast<std::uint8_t>(c.length >> 8);
    std::uint32_t moved = 0;
    const int status = c.read ? driver_->Read(kId, handle_, PST_PIPE_COMMAND, buffer.data(),
                                              static_cast<std::uint32_t>(buffer.size()), moved, 1000)
                              : driver_->Write(kId, handle_, PST_PIPE_COMMAND, buffer.data(),
                                               static_cast<std::uint32_t>(buffer.size()), moved, 1000);
    EXPECT_EQ(status, PST_INVALID_PARAMETER) << c.what;
    EXPECT_EQ(moved, 0u) << c.what;
  }
  EXPECT_TRUE(device_->ControlLog().empty()) << "nothing reached the radio";
}

TEST_F(DataPath, ADeviceSendingMoreThanAPacketIsAnErrorAndTraced) {
  StartDriver();
  device_->SendOversizePacket(kBulkIn, std::vector<std::uint8_t>(600, 0x5A));
  std::vector<std::uint8_t> in(512);
  std::uint32_t moved = 0;
  EXPECT_EQ(driver_->Read(kId, handle_, PST_PIPE_BULK, in.data(), 512, moved, 2000), PST_PIPE_BROKEN);
  EXPECT_NE(Trace().find("LIBUSB_ERROR_OVERFLOW"), std::string::npos) << Trace();
  // The next packet is read as ever.
  const std::vector<std::uint8_t> next(16, 0x33);
  device_->SendToHost(kBulkIn, next);
  in.assign(16, 0);
  EXPECT_EQ(driver_->Read(kId, handle_, PST_PIPE_BULK, in.data(), 16, moved, 2000), PST_OK);
  EXPECT_EQ(in, next);
}

}  // namespace
}  // namespace usbdrivertest
