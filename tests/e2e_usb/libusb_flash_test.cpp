// vexaload with the USB driver library over libusb (QUILLON_USB_DRIVER=
// libusb), started offscreen in a temporary folder with scripted prompts,
// against a simulated radio that the USB test bed plugs into a root-hub
// port: libusb in the program finds it through umockdev's sysfs and udev
// events and moves every byte in usbdevfs URBs that this process serves.
// Arrival gives the radio's row, FLASH over the remote port writes the
// image into the radio's flash, pulling the radio mid-flash ends its row
// with an error, and TERMINATE_APP ends the program cleanly while radios
// come and go.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "program_fixture.h"
#include "usb_testbed/radio_bridge.h"
#include "usb_testbed/usb_testbed.h"

namespace e2e {
namespace {

constexpr int kRootPort = 2;
constexpr std::uint32_t kImageAddress = 0x10000;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

class E2eLibusbRadio : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(usbtestbed::UsbTestbed::Preloaded()) << "run under umockdev's preload library (ctest sets LD_PRELOAD)";
    setenv("QUILLON_USB_DRIVER", "libusb", 1);
    testbed_ = std::make_unique<usbtestbed::UsbTestbed>();
    program_ = std::make_unique<Program>();
  }
  void TearDown() override {
    // The program closes its device nodes before the test bed stops
    // serving them.
    program_.reset();
    bridge_.reset();
    testbed_.reset();
    radio_.reset();
    unsetenv("QUILLON_USB_DRIVER");
  }

  bool StartWithUsb() {
    ProgramOptions options;
    options.commProtocol = 1;
    return program_->Start(options) && program_->WaitLog("USB> Driver successfully intialized on Windows XP");
  }

  usbtestbed::UsbdevfsDevice& PlugRadio() {
    radio_ = std::make_unique<radiosim::RadioSimulator>(ProductRadio(radiosim::LinkKind::Usb));
    auto& device = testbed_->Plug(kRootPort, usbtestbed::RadioDevice({"Corvane_Flash"}));
    bridge_ = std::make_unique<usbtestbed::RadioBridge>(*radio_, device);
    return device;
  }

  // The id of the radio whose arrival the log shows, or -1.
  int AttachedId() {
    int id = -1;
    static const std::string kSuffix = "> Device Attached";
    PollUntil([&] {
      for (const auto& line : program_->LogLines()) {
        if (line.rfind("USB", 0) != 0 || line.size() <= 3 + kSuffix.size()) continue;
        if (line.compare(line.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) continue;
        const std::string digits = line.substr(3, line.size() - 3 - kSuffix.size());
        if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos) id = std::stoi(digits);
      }
      return id >= 0;
    });
    return id;
  }

  std::vector<std::uint8_t> WriteImage(const std::string& name, std::size_t size, std::uint8_t seed) {
    auto image = Pattern(size, seed);
    test_support::WriteSRecordFile(program_->File(name), {{kImageAddress, image}}, kImageAddress);
    return image;
  }

  std::unique_ptr<usbtestbed::UsbTestbed> testbed_;
  std::unique_ptr<radiosim::RadioSimulator> radio_;
  std::unique_ptr<usbtestbed::RadioBridge> bridge_;
  std::unique_ptr<Program> program_;
};

TEST_F(E2eLibusbRadio, ArrivalGivesARowAndFlashWritesTheImage) {
  ASSERT_TRUE(StartWithUsb());
  auto& device = PlugRadio();
  const int id = AttachedId();
  ASSERT_GE(id, 0) << "no arrival of the plugged radio in the log";
  const std::string name = "USB" + std::to_string(id);
  const auto image = WriteImage("image.s19", 2 * kSectorSize, 21);
  LineClient client = program_->Connect();
  ASSERT_TRUE(client.Valid());
  ASSERT_TRUE(client.Send("FLASH image.s19"));
  EXPECT_TRUE(program_->WaitLog(name + "> Queueing item with sequence number 0"));
  EXPECT_TRUE(program_->WaitLog(name + "> Item finished with sequence number 0", std::chrono::seconds(120)));
  EXPECT_EQ(radio_->GetFlash(kImageAddress, static_cast<std::uint32_t>(image.size())), image);
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
  // Every byte went through usbdevfs URBs on the radio's bulk pipes.
  EXPECT_GT(device.Counts().bytesFromHost, image.size());
  EXPECT_EQ(device.Counts().claimedInterfaces, std::vector<int>{0});
  for (const auto& line : program_->LogLines()) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
}

TEST_F(E2eLibusbRadio, RemovalMidFlashEndsTheRowInError) {
  ASSERT_TRUE(StartWithUsb());
  auto& device = PlugRadio();
  const int id = AttachedId();
  ASSERT_GE(id, 0) << "no arrival of the plugged radio in the log";
  const std::string name = "USB" + std::to_string(id);
  const auto image = WriteImage("image.s19", 10 * kSectorSize, 22);
  LineClient client = program_->Connect();
  ASSERT_TRUE(client.Valid());
  ASSERT_TRUE(client.Send("FLASH image.s19"));
  // Pull the radio once the kernel is programming its flash.
  ASSERT_TRUE(device.WaitFor([](const usbtestbed::UsbdevfsCounts& c) { return c.bytesFromHost > 64 * 1024; },
                             60000));
  testbed_->Unplug(kRootPort);
  EXPECT_TRUE(program_->WaitLog(name + "> Device Removed"));
  EXPECT_TRUE(PollUntil([&] {
    for (const auto& line : program_->LogLines())
      if (line.rfind(name + "> ", 0) == 0 && line.find("ERROR") != std::string::npos) return true;
    return false;
  })) << "no error line for " << name;
  EXPECT_TRUE(PollUntil([&] {
    const auto status = client.Ask("STATUS");
    return status && status->rfind("ERROR", 0) == 0;
  })) << "STATUS does not report the failed flash";
  EXPECT_NE(radio_->GetFlash(kImageAddress, static_cast<std::uint32_t>(image.size())), image);
}

// The program unloads the driver library at its end while the change
// record of a radio plugged in a moment before may still be queued.
TEST_F(E2eLibusbRadio, TerminateAppWithARadioPluggedInWhileItRuns) {
  ASSERT_TRUE(StartWithUsb());
  PlugRadio();
  ASSERT_GE(AttachedId(), 0) << "no arrival of the plugged radio in the log";
  LineClient client = program_->Connect();
  ASSERT_TRUE(client.Valid());
  ASSERT_TRUE(client.Send("TERMINATE_APP"));
  testbed_->Plug(kRootPort + 1, usbtestbed::RadioDevice({"Corvane_Flash"}));
  EXPECT_EQ(program_->WaitForExit(), 0) << "the program did not end cleanly";
}

}  // namespace
}  // namespace e2e
