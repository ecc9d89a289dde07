// The channel's USB kinds over pellwick and the USB driver stand-in, with a
// scripted radio attached to the stand-in's data plane.

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/link/comm_channel.h"
#include "engine/link/usb_transport.h"
#include "pellwick/pellwick.h"
#include "platform/socket.h"
#include "platform/unix_socket.h"
#include "quor_pst/quor_sim_control.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kDevice = 5;

ISP_EXCEPTION ThrownBy(const std::function<void()>& action) {
  try {
    action();
  } catch (ISP_EXCEPTION e) {
    return e;
  }
  ADD_FAILURE() << "nothing thrown";
  return static_cast<ISP_EXCEPTION>(-1);
}

// A radio on the stand-in's data plane that answers by script: once the
// host has sent the number of bytes a step expects, the radio records them
// and sends the step's answer.
class ScriptedUsbRadio {
 public:
  ScriptedUsbRadio() {
    char path[256];
    if (QuorSim_SocketPath(path, sizeof path) <= 0) return;
    socket_ = platform::ConnectUnix(path);
    const std::string line = "ATTACH " + std::to_string(kDevice) + " Corvane_Flash,Corvane_Boot\n";
    if (!socket_.Valid() || !socket_.SendAll(line.data(), line.size())) return;
    std::string answer;
    char c = 0;
    while (answer.size() < 64 && socket_.Receive(&c, 1, 5s).status == platform::IoResult::Ok && c != '\n')
      answer.push_back(c);
    attached_ = answer == "OK";
    if (attached_) thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedUsbRadio() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    socket_.Shutdown();
  }
  ScriptedUsbRadio(const ScriptedUsbRadio&) = delete;
  ScriptedUsbRadio& operator=(const ScriptedUsbRadio&) = delete;

  bool attached() const { return attached_; }
  void Expect(std::size_t requestBytes, Bytes answer) {
    std::lock_guard lock(mutex_);
    steps_.push_back({requestBytes, std::move(answer)});
  }
  // What the host sent, step by step, waiting until `steps` are complete.
  std::vector<Bytes> Requests(std::size_t steps) {
    for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
      std::lock_guard lock(mutex_);
      if (requests_.size() >= steps) break;
    }
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // Every byte that came and was not taken by a step.
  Bytes Unclaimed() {
    std::lock_guard lock(mutex_);
    return pending_;
  }

 private:
  struct Step {
    std::size_t requestBytes;
    Bytes answer;
  };
  void Run() {
    std::uint8_t buffer[4096];
    while (!stop_) {
      auto got = socket_.Receive(buffer, sizeof buffer, 10ms);
      if (got.status == platform::IoResult::Timeout) continue;
      if (got.status != platform::IoResult::Ok) return;
      std::lock_guard lock(mutex_);
      pending_.insert(pending_.end(), buffer, buffer + got.count);
      while (!steps_.empty() && pending_.size() >= steps_.front().requestBytes) {
        const Step step = steps_.front();
        steps_.pop_front();
        requests_.emplace_back(pending_.begin(), pending_.begin() + static_cast<long>(step.requestBytes));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(step.requestBytes));
        if (!step.answer.empty()) socket_.SendAll(step.answer.data(), step.answer.size());
      }
    }
  }

  platform::Socket socket_;
  bool attached_ = false;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::deque<Step> steps_;
  std::vector<Bytes> requests_;
  Bytes pending_;
  std::thread thread_;
};

// The library opened as the program opens it, with one radio attached and listed.
class UsbChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QuorSim_Reset();
    ASSERT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLRegisterApp(&program_), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
    radio_ = std::make_unique<ScriptedUsbRadio>();
    ASSERT_TRUE(radio_->attached());
    std::uint16_t ids[PWL_MAX_DEVICES] = {};
    int count = 0;
    ASSERT_EQ(PWLGetDevicesEx(static_cast<std::uint16_t>(program_), PWL_INTERFACE_FLASH, &count, ids), PWL_RC_SUCCESS);
    ASSERT_EQ(count, 1);
  }
  void TearDown() override {
    radio_.reset();
    PWLDeregisterApp(static_cast<std::uint16_t>(program_));
    PWLTerminatePST();
    PWLTerminateEx(0);
    QuorSim_Reset();
  }
  std::unique_ptr<CCommChannel> Open(ChannelKind kind, std::uint16_t device = kDevice) {
    return std::make_unique<CCommChannel>(kind, "", 0, device, PWL_INTERFACE_FLASH);
  }

  std::int16_t program_ = -1;
  std::unique_ptr<ScriptedUsbRadio> radio_;
};

TEST_F(UsbChannelTest, TransactSendsTheLengthAndTakesThePayloadOfTheReply) {
  auto channel = Open(CHANNEL_USB);
  radio_->Expect(5, {0x00, 0x05, 0x03, 0x84, 0x00, 0x41, 0x00});
  const Bytes request{0x03, 0x04, 0x01};
  Bytes reply(8, 0xCC);
  channel->Transact(request.data(), request.size(), reply.data(), reply.size(), 500, 10);
  EXPECT_EQ(radio_->Requests(1).at(0), (Bytes{0x00, 0x03, 0x03, 0x04, 0x01}));
  EXPECT_EQ(reply, (Bytes{0x03, 0x84, 0x00, 0x41, 0x00, 0, 0, 0}));
}

TEST_F(UsbChannelTest, RepliesThatAreNoRepliesAreErrors) {
  const struct {
    const char* what;
    Bytes answer;
    ISP_EXCEPTION error;
  } cases[] = {
      {"length beyond the buffer", {0x00, 0x09, 1, 2, 3, 4, 5, 6, 7, 8, 9}, ISP_MESSAGE_NOT_SUPPORTED},
      {"length zero", {0x00, 0x00}, ISP_MESSAGE_NOT_SUPPORTED},
      {"fewer bytes than announced", {0x00, 0x06, 0x03, 0x84, 0x00}, ISP_READ_COUNT_MISMATCH},
      {"half a length", {0x00}, ISP_READ_COUNT_MISMATCH},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A fresh radio each time: what a refused reply leaves in the pipe must
    // not become the next case's reply.
    TearDown();
    SetUp();
    auto channel = Open(CHANNEL_USB);
    radio_->Expect(4, c.answer);
    const Bytes request{0x03, 0x03};
    Bytes reply(8, 0xCC);
    const ISP_EXCEPTION e =
        ThrownBy([&] { channel->Transact(request.data(), request.size(), reply.data(), reply.size(), 100, 3); });
    EXPECT_EQ(e, c.error) << CommErrorText(e);
    EXPECT_EQ(std::count(reply.begin(), reply.end(), 0xCC), 0);  // cleared before the transaction
  }
}

TEST_F(UsbChannelTest, SilentRadioIsTheUsbReadTimeout) {
  auto channel = Open(CHANNEL_USB);
  Bytes reply(4);
  EXPECT_EQ(ThrownBy([&] { channel->Receive(reply.data(), reply.size(), 50, 0); }), ISP_USB_READ_TIMEOUT);
}

TEST_F(UsbChannelTest, RawKindCarriesTheBytesAsTheyAre) {
  auto channel = Open(CHANNEL_USB_RAW);
  radio_->Expect(3, {0xAA, 0x55});
  const Bytes request{0x01, 0x02, 0x03};
  channel->Send(request.data(), request.size(), 0);
  Bytes reply(2);
  channel->Receive(reply.data(), reply.size(), 500, 0);
  EXPECT_EQ(radio_->Requests(1).at(0), request);
  EXPECT_EQ(reply, (Bytes{0xAA, 0x55}));
  // A Transact on the raw kind sends nothing.
  Bytes out(4, 0xCC);
  channel->Transact(request.data(), request.size(), out.data(), out.size(), 20, 1);
  EXPECT_EQ(out, Bytes(4, 0));
  EXPECT_TRUE(radio_->Unclaimed().empty());
}

TEST_F(UsbChannelTest, WriteThatTheDriverDoesNotTakeIsTheUsbWriteTimeout) {
  auto channel = Open(CHANNEL_USB);
  QuorSim_ForceStatus("Quor_PSTWriteData", 8, 1);  // the driver's write time-out
  const Bytes request{0x01, 0x02};
  EXPECT_EQ(ThrownBy([&] { channel->Send(request.data(), request.size(), 0); }), ISP_USB_WRITE_TIMEOUT);
  // The next write goes through.
  radio_->Expect(4, {});
  channel->Send(request.data(), request.size(), 0);
  EXPECT_EQ(radio_->Requests(1).at(0), (Bytes{0x00, 0x02, 0x01, 0x02}));
}

TEST_F(UsbChannelTest, ChannelLetsTheDeviceGoWhenDestroyed) {
  for (int round = 0; round < PWL_MAX_APPS + 2; ++round) {
    auto channel = Open(CHANNEL_USB);  // a device held by a lost channel would be busy here
  }
}

TEST_F(UsbChannelTest, FailedSelectionReleasesWhatWasTaken) {
  auto holder = Open(CHANNEL_USB);
  // The device is selected by the holder: every further channel is refused
  // as busy, and none of them keeps an application slot.
  for (int round = 0; round < PWL_MAX_APPS + 2; ++round) {
    EXPECT_EQ(ThrownBy([&] { Open(CHANNEL_USB); }), ISP_USB_DEVICE_BUSY);
  }
  holder.reset();
  auto again = Open(CHANNEL_USB);
}

TEST_F(UsbChannelTest, MissingInterfaceReleasesSelectionAndRegistration) {
  for (int round = 0; round < PWL_MAX_APPS + 2; ++round) {
    const ISP_EXCEPTION e = ThrownBy([] { CCommChannel c(CHANNEL_USB, "", 0, kDevice, "Corvane_Nothing"); });
    EXPECT_NE(e, ISP_USB_UNKNOWN_ERROR);  // slots running out would show as -1
    EXPECT_NE(e, ISP_USB_DEVICE_BUSY);    // a selection left behind
  }
  auto channel = Open(CHANNEL_USB);
}

TEST_F(UsbChannelTest, EveryDeviceIdHasAChannelOpenAtOnce) {
  // A job for every connected radio opens a link to each of them at the
  // same time, beside the program's own registration.
  for (std::uint16_t id = 0; id <= PWL_MAX_DEVICE_ID; ++id) {
    if (id == kDevice) continue;
    ASSERT_EQ(QuorSim_DefineDevice(id, QUOR_SIM_FLASH, 64, 64), 0);
    ASSERT_EQ(QuorSim_Plug(id), 0);
  }
  std::uint16_t ids[PWL_MAX_DEVICES] = {};
  int count = 0;
  ASSERT_EQ(PWLGetDevicesEx(static_cast<std::uint16_t>(program_), PWL_INTERFACE_FLASH, &count, ids), PWL_RC_SUCCESS);
  ASSERT_EQ(count, PWL_MAX_DEVICES);
  std::vector<std::unique_ptr<CCommChannel>> channels;
  for (std::uint16_t id = 0; id <= PWL_MAX_DEVICE_ID; ++id) channels.push_back(Open(CHANNEL_USB, id));
  // The link to the scripted radio works with all of them open.
  radio_->Expect(4, {});
  const Bytes request{0x01, 0x02};
  channels[kDevice]->Send(request.data(), request.size(), 0);
  EXPECT_EQ(radio_->Requests(1).at(0), (Bytes{0x00, 0x02, 0x01, 0x02}));
  channels.clear();
  // Every link gave its slot back.
  std::int16_t app = -1;
  int registered = 0;
  while (PWLRegisterApp(&app) == PWL_RC_SUCCESS) ++registered;
  EXPECT_EQ(registered, PWL_MAX_APPS - 1);
}

TEST(UsbErrorToException, MapsTheLibraryResults) {
  const struct {
    int result;
    ISP_EXCEPTION exception;
  } cases[] = {
      {0, ISP_USB_FAILED},           {-3, ISP_USB_INVALID_ID},          {-21, ISP_USB_INVALID_ID},
      {-4, ISP_USB_NO_CSR_SPACE},    {-7, ISP_USB_RADIO_NOT_DETECTED},  {-8, ISP_USB_READ_TIMEOUT},
      {-9, ISP_USB_WRITE_TIMEOUT},   {-10, ISP_USB_INVALID_INTERFACE},  {-12, ISP_USB_NOT_INITIALIZED},
      {-13, ISP_USB_INTERFACE_NOT_AVAILABLE}, {-16, ISP_READ_COUNT_MISMATCH}, {-20, ISP_USB_DEVICE_BUSY},
      {-1, ISP_USB_UNKNOWN_ERROR},   {-25, ISP_USB_UNKNOWN_ERROR},      {7, ISP_USB_UNKNOWN_ERROR},
  };
  for (const auto& c : cases) EXPECT_EQ(CUsbTransport::UsbErrorToException(c.result), c.exception) << c.result;
}

}  // namespace
