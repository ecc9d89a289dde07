// The USB front end against a device socket that speaks the stand-in's
// attach protocol: the attach line, the answer, and then raw bulk bytes.

#include "radiosim/usb_front_end.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/temp_folder.h"
#include "platform/unix_socket.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::Milliseconds;

class DeviceSocket : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("radiosim-usb-");
    ASSERT_FALSE(folder_.empty());
    path_ = folder_ + "/devices.sock";
    listener_ = platform::UnixListener::Listen(path_);
    ASSERT_TRUE(listener_.Valid());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Accepts the radio's connection and reads its attach line.
  std::string AcceptAttach() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!peer_ && std::chrono::steady_clock::now() < deadline) {
      peer_ = listener_.Accept();
      if (!peer_) std::this_thread::yield();
    }
    if (!peer_) return {};
    std::string line;
    char c = 0;
    while (peer_->Receive(&c, 1, Milliseconds(5000)).status == platform::IoResult::Ok && c != '\n') line += c;
    return line;
  }

  Bytes ReadFromRadio(std::size_t count) {
    Bytes bytes(count);
    std::size_t got = 0;
    while (got < count) {
      auto r = peer_->Receive(bytes.data() + got, count - got, Milliseconds(5000));
      if (r.status != platform::IoResult::Ok) break;
      got += r.count;
    }
    bytes.resize(got);
    return bytes;
  }

  std::string folder_, path_;
  platform::UnixListener listener_;
  std::optional<platform::Socket> peer_;
};

TEST_F(DeviceSocket, AttachesAndCarriesKernelMessages) {
  radiosim::RadioSimulator radio({.bootLoader = radiosim::BootLoaderType::Calder,
                                  .link = radiosim::LinkKind::Usb,
                                  .powerOn = radiosim::PowerOnState::Kernel});
  radiosim::UsbFrontEnd usb(radio);
  std::string attachLine;
  std::thread accept([&] {
    attachLine = AcceptAttach();
    peer_->SendAll("OK\n", 3);
  });
  std::string error;
  const bool attached = usb.Attach(path_, 7, radiosim::UsbInterfacesFor(radio.Config().bootLoader), &error);
  accept.join();
  ASSERT_TRUE(attached) << error;
  EXPECT_EQ(attachLine, "ATTACH 7 Corvane_Boot");

  const Bytes query{0x00, 0x03, 0x03, 0x04, 0x01};
  ASSERT_TRUE(peer_->SendAll(query.data(), query.size()));
  EXPECT_EQ(ReadFromRadio(13), (Bytes{0x00, 0x0B, 0x03, 0x84, 0x00, 0x03, 'V', 'E', 'X', 'A', '2', '0', 0}));

  usb.Detach();
  char c;
  EXPECT_EQ(peer_->Receive(&c, 1, Milliseconds(5000)).status, platform::IoResult::Closed);
}

TEST_F(DeviceSocket, FlashKeepsItsContentAcrossUnplugAndReattach) {
  radiosim::RadioSimulator radio({.link = radiosim::LinkKind::Usb, .powerOn = radiosim::PowerOnState::Kernel});
  radiosim::UsbFrontEnd usb(radio);
  auto attach = [&] {
    peer_.reset();
    std::thread accept([&] {
      AcceptAttach();
      peer_->SendAll("OK\n", 3);
    });
    const bool attached = usb.Attach(path_, 5, {"Corvane_Flash"});
    accept.join();
    return attached;
  };
  ASSERT_TRUE(attach());
  // 01 00 address 0x100, 4 bytes.
  const Bytes program{0x00, 0x0C, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x04, 0xDE, 0xAD, 0xBE, 0xEF};
  ASSERT_TRUE(peer_->SendAll(program.data(), program.size()));
  EXPECT_EQ(ReadFromRadio(5), (Bytes{0x00, 0x03, 0x01, 0x80, 0x00}));
  usb.Detach();

  ASSERT_TRUE(attach());
  const Bytes read{0x00, 0x09, 0x01, 0x06, 0x00, 0x00, 0x01, 0x00, 0x00, 0x04, 0x00};
  ASSERT_TRUE(peer_->SendAll(read.data(), read.size()));
  EXPECT_EQ(ReadFromRadio(16), (Bytes{0x00, 0x0E, 0x01, 0x86, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x04, 0x00, 0xDE,
                                      0xAD, 0xBE, 0xEF}));
  usb.Detach();
}

TEST_F(DeviceSocket, RefusalIsReported) {
  radiosim::RadioSimulator radio({.link = radiosim::LinkKind::Usb});
  radiosim::UsbFrontEnd usb(radio);
  std::thread accept([&] {
    AcceptAttach();
    peer_->SendAll("ERROR busy\n", 11);
  });
  std::string error;
  EXPECT_FALSE(usb.Attach(path_, 3, {"Corvane_Flash"}, &error));
  accept.join();
  EXPECT_EQ(error, "ERROR busy");
  EXPECT_FALSE(usb.Attached());
}

TEST(DeviceSocketMissing, AttachFailsCleanly) {
  radiosim::RadioSimulator radio({.link = radiosim::LinkKind::Usb});
  radiosim::UsbFrontEnd usb(radio);
  std::string error;
  EXPECT_FALSE(usb.Attach("/nonexistent-radiosim/devices.sock", 3, {"Corvane_Flash"}, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
