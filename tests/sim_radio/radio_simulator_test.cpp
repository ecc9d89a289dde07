// The simulated radio's state machine, driven byte by byte: every exchange
// is written out here as the host would send it, and the radio's answer is
// compared byte for byte.

#include "radiosim/radio_simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using radiosim::BootLoaderType;
using radiosim::Fault;
using radiosim::FaultKind;
using radiosim::LinkKind;
using radiosim::RadioConfig;
using radiosim::RadioMode;
using radiosim::RadioSimulator;
using Bytes = std::vector<std::uint8_t>;

class CaptureLink : public radiosim::HostLink {
 public:
  void SendToHost(std::span<const std::uint8_t> bytes) override {
    received.insert(received.end(), bytes.begin(), bytes.end());
  }
  Bytes Take() {
    Bytes out;
    out.swap(received);
    return out;
  }
  Bytes received;
};

std::uint8_t Checksum(const Bytes& bytes) {
  unsigned sum = 0;
  for (auto b : bytes) sum += b;
  return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

// FF 22 L payload checksum, with L = payload + 1.
Bytes RequestFrame(const Bytes& payload) {
  Bytes frame{0xFF, 0x22, static_cast<std::uint8_t>((payload.size() + 1) >> 8),
              static_cast<std::uint8_t>(payload.size() + 1)};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(Checksum(frame));
  return frame;
}

Bytes ReplyFrame(const Bytes& payload) {
  Bytes frame = RequestFrame(payload);
  frame[1] = 0x23;
  frame.back() = Checksum(Bytes(frame.begin(), frame.end() - 1));
  return frame;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// 55 55 55 AA, address, [length high], length, speed 0, image, checksum.
Bytes DownloadMessage(std::uint32_t address, const Bytes& image, bool longLength,
                      std::uint32_t lengthField) {
  Bytes body{static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
             static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
  if (longLength) {
    body.push_back(static_cast<std::uint8_t>(lengthField >> 24));
    body.push_back(static_cast<std::uint8_t>(lengthField >> 16));
  }
  body.push_back(static_cast<std::uint8_t>(lengthField >> 8));
  body.push_back(static_cast<std::uint8_t>(lengthField));
  body.push_back(0);
  body.push_back(0);
  body.insert(body.end(), image.begin(), image.end());
  body.push_back(Checksum(body));
  return Concat({0x55, 0x55, 0x55, 0xAA}, body);
}

Bytes TestImage(std::size_t length) {
  Bytes image(length);
  for (std::size_t i = 0; i < length; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return image;
}

const Bytes kNameQuery{0x03, 0x04, 0x01};

class RadioFixture : public ::testing::Test {
 protected:
  void Make(RadioConfig config) {
    radio_ = std::make_unique<RadioSimulator>(config);
    radio_->AttachHost(&host_);
  }
  Bytes Exchange(const Bytes& bytes, std::uint32_t rate) {
    radio_->Receive(bytes, rate);
    return host_.Take();
  }
  void BootHarrowKernel() {
    Make({});
    Exchange(DownloadMessage(0x20000, TestImage(300), false, 300), 19200);
    ASSERT_EQ(radio_->Mode(), RadioMode::Kernel);
  }
  Bytes NameReply() const { return Concat({0x50}, ReplyFrame({0x03, 0x84, 0x00, 0x03, 'V', 'E', 'X', 'A', '2', '0', 0})); }

  CaptureLink host_;
  std::unique_ptr<RadioSimulator> radio_;
};

struct PingCase {
  BootLoaderType type;
  Bytes answer;
};

void PrintTo(const PingCase& c, std::ostream* os) { *os << radiosim::BootLoaderTypeName(c.type); }

class BootPing : public RadioFixture, public ::testing::WithParamInterface<PingCase> {};

TEST_P(BootPing, AnswersByBootLoaderType) {
  Make({.bootLoader = GetParam().type});
  EXPECT_EQ(Exchange({0x61, 0x41}, 19200), GetParam().answer);
  // Noise around the ping does not hide it.
  EXPECT_EQ(Exchange({0x00, 0x61, 0x61, 0x41, 0x13}, 19200), GetParam().answer);
  EXPECT_EQ(radio_->Mode(), RadioMode::BootLoader);
}

INSTANTIATE_TEST_SUITE_P(Types, BootPing,
                         ::testing::Values(PingCase{BootLoaderType::Harrow, {'Z'}},
                                           PingCase{BootLoaderType::Calder, {'l'}},
                                           PingCase{BootLoaderType::Bisel, {}}),
                         [](const auto& info) { return std::string(radiosim::BootLoaderTypeName(info.param.type)); });

struct DownloadCase {
  const char* name;
  BootLoaderType type;
  LinkKind link;
  bool longLength;      // 14-byte header with a 32-bit length
  int lengthBias;       // what the length field adds to the image length
  Bytes afterDownload;  // what the radio sends when the kernel starts
};

void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }

class BootDownload : public RadioFixture, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(BootDownload, TakesTheImageAndStartsTheKernel) {
  const auto& c = GetParam();
  Make({.bootLoader = c.type, .link = c.link});
  const Bytes image = TestImage(2500);
  const Bytes message =
      DownloadMessage(0x00801000, image, c.longLength, static_cast<std::uint32_t>(2500 + c.lengthBias));
  // The host sends header, chunks and checksum in separate writes.
  const std::size_t header = c.longLength ? 14 : 12;
  Bytes sent;
  std::size_t at = 0;
  for (std::size_t size : {header, std::size_t{1024}, std::size_t{1024}, std::size_t{452}, std::size_t{1}}) {
    Bytes piece(message.begin() + static_cast<long>(at), message.begin() + static_cast<long>(at + size));
    sent = Concat(sent, Exchange(piece, c.link == LinkKind::Serial ? 19200 : 0));
    at += size;
  }
  ASSERT_EQ(at, message.size());
  EXPECT_EQ(sent, c.afterDownload);
  EXPECT_EQ(radio_->Mode(), RadioMode::Kernel);
  EXPECT_EQ(radio_->NominalRate(), 115200u);
  ASSERT_EQ(radio_->Downloads().size(), 1u);
  const auto download = radio_->Downloads()[0];
  EXPECT_EQ(download.address, 0x00801000u);
  EXPECT_EQ(download.image, image);
  EXPECT_TRUE(download.checksumOk);
  EXPECT_EQ(radio_->KernelStarts(), 1);
  EXPECT_EQ(radio_->GetTranscript().Count("boot download complete length 2500 checksum ok"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BootDownload,
    ::testing::Values(DownloadCase{"HarrowSerial", BootLoaderType::Harrow, LinkKind::Serial, false, 0, {}},
                      DownloadCase{"BiselSerial", BootLoaderType::Bisel, LinkKind::Serial, false, 0, {}},
                      DownloadCase{"CalderSerial", BootLoaderType::Calder, LinkKind::Serial, true, 0, {}},
                      DownloadCase{"HarrowUsb", BootLoaderType::Harrow, LinkKind::Usb, false, 1, {0x50}},
                      DownloadCase{"CalderUsb", BootLoaderType::Calder, LinkKind::Usb, true, 0, {0x50}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RadioFixture, CalderTakesA32BitLength) {
  Make({.bootLoader = BootLoaderType::Calder, .ramSize = 1u << 20});
  const Bytes image = TestImage(0x10005);
  Exchange(DownloadMessage(0x1000, image, true, 0x10005), 19200);
  ASSERT_EQ(radio_->Downloads().size(), 1u);
  EXPECT_EQ(radio_->Downloads()[0].length, 0x10005u);
  EXPECT_EQ(radio_->Mode(), RadioMode::Kernel);
}

TEST_F(RadioFixture, WrongFormatOrChecksumLeavesTheBootLoaderRunning) {
  Make({.bootLoader = BootLoaderType::Calder});
  // A 12-byte header sent to the Calder loader is misread, so the checksum fails.
  Exchange(DownloadMessage(0x1000, TestImage(64), false, 64), 19200);
  Bytes bad = DownloadMessage(0x1000, TestImage(64), true, 64);
  bad.back() ^= 1;
  Exchange(bad, 19200);
  EXPECT_EQ(radio_->Mode(), RadioMode::BootLoader);
  EXPECT_EQ(radio_->KernelStarts(), 0);
  // It still answers the ping afterwards.
  EXPECT_EQ(Exchange({0x61, 0x41}, 19200), Bytes{'l'});
}

TEST_F(RadioFixture, OversizedDownloadIsRefused) {
  Make({.bootLoader = BootLoaderType::Calder, .ramSize = 4096});
  Exchange(DownloadMessage(0, {}, true, 0x00100000), 19200);
  EXPECT_EQ(radio_->GetTranscript().Count("boot download refused"), 1u);
  EXPECT_EQ(Exchange({0x61, 0x41}, 19200), Bytes{'l'});
}

TEST_F(RadioFixture, PartialDownloadIsAbandonedAfterAQuietGap) {
  Make({.resyncGapMs = 100});
  const auto start = RadioSimulator::Clock::now();
  Bytes message = DownloadMessage(0x1000, TestImage(64), false, 64);
  radio_->Receive(Bytes(message.begin(), message.begin() + 20), 19200, start);
  radio_->Receive(Bytes{0x61, 0x41}, 19200, start + std::chrono::milliseconds(500));
  EXPECT_EQ(host_.Take(), Bytes{'Z'});
  EXPECT_EQ(radio_->GetTranscript().Count("boot download abandoned"), 1u);
}

TEST_F(RadioFixture, TheQuietGapStartsWhenTheLineHasCarriedTheBytes) {
  // 960 bytes at 4800 bit/s spend two seconds on the line: a host that
  // takes them in at once and waits for them to leave writes the rest two
  // seconds later, and the download goes on.
  Make({.resyncGapMs = 100});
  const auto start = RadioSimulator::Clock::now();
  const Bytes image = TestImage(1024);
  const Bytes message = DownloadMessage(0x1000, image, false, 1024);
  const std::size_t first = 960;
  radio_->Receive(Bytes(message.begin(), message.begin() + first), 4800, start);
  radio_->Receive(Bytes(message.begin() + first, message.end()), 4800, start + std::chrono::milliseconds(2050));
  EXPECT_EQ(radio_->GetTranscript().Count("boot download abandoned"), 0u);
  ASSERT_EQ(radio_->Downloads().size(), 1u);
  EXPECT_EQ(radio_->Downloads()[0].image, image);
  // Past the line's time and the gap, the same pause abandons it.
  Make({.resyncGapMs = 100});
  radio_->Receive(Bytes(message.begin(), message.begin() + first), 4800, start);
  radio_->Receive(Bytes(message.begin() + first, message.end()), 4800, start + std::chrono::milliseconds(2150));
  EXPECT_EQ(radio_->GetTranscript().Count("boot download abandoned"), 1u);
  EXPECT_TRUE(radio_->Downloads().empty());
}

TEST_F(RadioFixture, KernelAnswersTheNameQueryInAFrame) {
  BootHarrowKernel();
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), NameReply());
}

TEST_F(RadioFixture, KernelNaksMalformedFramesAndKeepsGoing) {
  BootHarrowKernel();
  Bytes badChecksum = RequestFrame(kNameQuery);
  badChecksum.back() ^= 0x01;
  Bytes wrongType = RequestFrame(kNameQuery);
  wrongType[1] = 0x23;
  wrongType.back() = Checksum(Bytes(wrongType.begin(), wrongType.end() - 1));
  EXPECT_EQ(Exchange(badChecksum, 115200), Bytes{0x60});
  EXPECT_EQ(Exchange(wrongType, 115200), Bytes{0x60});
  EXPECT_EQ(Exchange({0xFF, 0x22, 0x00, 0x00}, 115200), Bytes{0x60});
  EXPECT_EQ(Exchange({0xF0}, 115200), Bytes{0x60});
  // Bytes that cannot start a frame are skipped.
  EXPECT_EQ(Exchange(Concat({0x12, 0x34}, RequestFrame(kNameQuery)), 115200), NameReply());
}

TEST_F(RadioFixture, PartialFrameIsAbandonedAfterAQuietGap) {
  Make({.powerOn = radiosim::PowerOnState::Kernel, .resyncGapMs = 100});
  const auto start = RadioSimulator::Clock::now();
  radio_->Receive(Bytes{0xFF, 0x22, 0x00}, 115200, start);
  radio_->Receive(RequestFrame(kNameQuery), 115200, start + std::chrono::milliseconds(300));
  EXPECT_EQ(host_.Take(), NameReply());
}

TEST_F(RadioFixture, SpeedSwitchAcknowledgesThenMovesTheKernel) {
  Make({.powerOn = radiosim::PowerOnState::Kernel, .divisor = 2, .strictRate = true});
  EXPECT_EQ(radio_->ExpectedHostRate(), 57600u);
  EXPECT_EQ(Exchange(RequestFrame({0x05, 0x00, 0x00, 0x01}), 57600), Bytes{0x50});
  EXPECT_EQ(radio_->NominalRate(), 230400u);
  // The old rate is no longer understood in strict mode.
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 57600), Bytes{});
  EXPECT_EQ(radio_->GetTranscript().Count("drop 57600 expected 115200"), 1u);
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), NameReply());
  // An unknown rate code changes nothing and is recorded in the status register.
  EXPECT_EQ(Exchange(RequestFrame({0x05, 0x00, 0x00, 0x07}), 115200), Bytes{0x50});
  EXPECT_EQ(radio_->NominalRate(), 230400u);
  EXPECT_EQ(radio_->GetStatusRegister().word, 0x0601);
}

TEST_F(RadioFixture, StrictBootLoaderIgnoresTheWrongRate) {
  Make({.divisor = 4, .strictRate = true});
  EXPECT_EQ(Exchange({0x61, 0x41}, 19200), Bytes{});
  EXPECT_EQ(Exchange({0x61, 0x41}, 4800), Bytes{'Z'});
}

TEST_F(RadioFixture, LenientRadioTakesAnyRate) {
  Make({.divisor = 4});
  EXPECT_EQ(Exchange({0x61, 0x41}, 9600), Bytes{'Z'});
}

TEST_F(RadioFixture, StatusRegisterReportsTheLastFailure) {
  BootHarrowKernel();
  // An unknown function group and an unknown opcode fail with status 1.
  EXPECT_EQ(Exchange(RequestFrame({0x0E, 0x00}), 115200), Concat({0x50}, ReplyFrame({0x0E, 0x80, 0x01})));
  EXPECT_EQ(Exchange(RequestFrame({0x03, 0x03}), 115200),
            Concat({0x50}, ReplyFrame({0x03, 0x83, 0x00, 0x01, 0x00})));
  EXPECT_EQ(Exchange(RequestFrame({0x03, 0x7F}), 115200), Concat({0x50}, ReplyFrame({0x03, 0xFF, 0x01})));
  EXPECT_EQ(radio_->GetStatusRegister().word, 0x0101);
  radio_->SetStatusRegister(0x0201, {0x00, 0x89, 0x88, 0x20, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(Exchange(RequestFrame({0x03, 0x03}), 115200),
            Concat({0x50}, ReplyFrame({0x03, 0x83, 0x00, 0x02, 0x01, 0x00, 0x89, 0x88, 0x20, 0x00, 0x00,
                                       0x00, 0x00})));
}

TEST_F(RadioFixture, ResetReturnsToTheBootLoader) {
  BootHarrowKernel();
  EXPECT_EQ(Exchange(RequestFrame({0x03, 0x00}), 115200), Bytes{0x50});
  EXPECT_EQ(radio_->Mode(), RadioMode::BootLoader);
  EXPECT_EQ(radio_->NominalRate(), 19200u);
  EXPECT_EQ(Exchange({0x61, 0x41}, 19200), Bytes{'Z'});
}

struct FaultCase {
  const char* name;
  FaultKind kind;
  Bytes answer;  // to the name query
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class KernelFault : public RadioFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(KernelFault, SpoilsOneExchangeThenRecovers) {
  BootHarrowKernel();
  radio_->AddFault({GetParam().kind, 1, 0x0304});
  // The fault waits for its request.
  EXPECT_EQ(Exchange(RequestFrame({0x03, 0x03}), 115200),
            Concat({0x50}, ReplyFrame({0x03, 0x83, 0x00, 0x00, 0x00})));
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), GetParam().answer);
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), NameReply());
}

Bytes Damaged(Bytes reply, std::size_t at, std::uint8_t value) {
  reply[at] = value;
  return reply;
}

const Bytes kNameFrame = ReplyFrame({0x03, 0x84, 0x00, 0x03, 'V', 'E', 'X', 'A', '2', '0', 0});

INSTANTIATE_TEST_SUITE_P(
    Kinds, KernelFault,
    ::testing::Values(
        FaultCase{"Nak", FaultKind::Nak, {0x60}}, FaultCase{"NoAck", FaultKind::NoAck, {}},
        FaultCase{"WrongAck", FaultKind::WrongAck, {0x3C}}, FaultCase{"NoReply", FaultKind::NoReply, {0x50}},
        FaultCase{"BadChecksum", FaultKind::BadChecksum,
                  Concat({0x50}, Damaged(kNameFrame, kNameFrame.size() - 1, kNameFrame.back() ^ 0x5A))},
        FaultCase{"BadHeader", FaultKind::BadHeader, Concat({0x50}, Damaged(kNameFrame, 0, 0x23))},
        FaultCase{"ZeroLength", FaultKind::ZeroLength,
                  Concat({0x50}, Damaged(Damaged(kNameFrame, 2, 0), 3, 0))},
        FaultCase{"OverlongLength", FaultKind::OverlongLength,
                  Concat({0x50}, Damaged(Damaged(kNameFrame, 2, 0xFF), 3, 0xFF))},
        FaultCase{"ShortReply", FaultKind::ShortReply, Concat({0x50}, Damaged(kNameFrame, 3, 12 + 10))},
        FaultCase{"ErrorStatus", FaultKind::ErrorStatus, Concat({0x50}, ReplyFrame({0x03, 0x84, 0x01}))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RadioFixture, FaultCountsAndForever) {
  BootHarrowKernel();
  radio_->AddFault({FaultKind::Nak, 2});
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), Bytes{0x60});
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), Bytes{0x60});
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), NameReply());
  radio_->AddFault({FaultKind::Nak, -1});
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), Bytes{0x60});
  radio_->ClearFaults();
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), NameReply());
}

TEST_F(RadioFixture, StatusUnavailableFault) {
  BootHarrowKernel();
  radio_->AddFault({FaultKind::StatusUnavailable});
  EXPECT_EQ(Exchange(RequestFrame({0x03, 0x03}), 115200), Concat({0x50}, ReplyFrame({0x03, 0x83, 0x01})));
}

TEST_F(RadioFixture, SilenceIgnoresEverything) {
  Make({});
  radio_->AddFault({FaultKind::Silence, -1});
  EXPECT_EQ(Exchange({0x61, 0x41}, 19200), Bytes{});
  Exchange(DownloadMessage(0x1000, TestImage(64), false, 64), 19200);
  EXPECT_EQ(radio_->Mode(), RadioMode::BootLoader);
  EXPECT_TRUE(radio_->Downloads().empty());
}

TEST_F(RadioFixture, KernelThatNeverStarts) {
  Make({});
  radio_->AddFault({FaultKind::KernelNeverStarts});
  Exchange(DownloadMessage(0x1000, TestImage(64), false, 64), 19200);
  EXPECT_EQ(radio_->Mode(), RadioMode::BootLoader);
  EXPECT_EQ(radio_->Downloads().size(), 1u);
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 115200), Bytes{});
  // The next download starts it.
  Exchange(DownloadMessage(0x1000, TestImage(64), false, 64), 19200);
  EXPECT_EQ(radio_->Mode(), RadioMode::Kernel);
}

TEST_F(RadioFixture, StateSurvivesUntilPowerCycle) {
  BootHarrowKernel();
  Exchange(RequestFrame({0x05, 0x00, 0x00, 0x02}), 115200);
  EXPECT_EQ(radio_->NominalRate(), 460800u);
  radio_->AttachHost(nullptr);  // the host closed its port
  radio_->AttachHost(&host_);
  EXPECT_EQ(Exchange(RequestFrame(kNameQuery), 460800), NameReply());
  radio_->PowerCycle();
  EXPECT_EQ(radio_->Mode(), RadioMode::BootLoader);
  EXPECT_EQ(radio_->NominalRate(), 19200u);
}

TEST_F(RadioFixture, UsbKernelUsesLengthPrefixedMessages) {
  Make({.link = LinkKind::Usb, .powerOn = radiosim::PowerOnState::Kernel});
  const Bytes reply{0x00, 0x0B, 0x03, 0x84, 0x00, 0x03, 'V', 'E', 'X', 'A', '2', '0', 0};
  EXPECT_EQ(Exchange({0x00, 0x03, 0x03, 0x04, 0x01}, 0), reply);
  // Split across transfers.
  radio_->Receive(Bytes{0x00}, 0);
  radio_->Receive(Bytes{0x03, 0x03}, 0);
  EXPECT_EQ(Exchange({0x04, 0x01}, 0), reply);
  radio_->AddFault({FaultKind::ZeroLength});
  EXPECT_EQ(Exchange({0x00, 0x03, 0x03, 0x04, 0x01}, 0), (Bytes{0x00, 0x00}));
  radio_->AddFault({FaultKind::OverlongLength});
  EXPECT_EQ(Exchange({0x00, 0x03, 0x03, 0x04, 0x01}, 0), Damaged(Damaged(reply, 0, 0xFF), 1, 0xFF));
  radio_->AddFault({FaultKind::ShortReply});
  EXPECT_EQ(Exchange({0x00, 0x03, 0x03, 0x04, 0x01}, 0), Damaged(reply, 1, 0x0B + 10));
  // Serial-only faults do not apply and stay queued.
  radio_->AddFault({FaultKind::Nak});
  EXPECT_EQ(Exchange({0x00, 0x03, 0x03, 0x04, 0x01}, 0), reply);
}

struct ParseCase {
  const char* text;
  bool ok;
  FaultKind kind;
  int count;
  int request;
};

TEST(FaultText, Parses) {
  const ParseCase cases[] = {
      {"nak", true, FaultKind::Nak, 1, -1},
      {"bad-checksum:3", true, FaultKind::BadChecksum, 3, -1},
      {"no-ack:-1@0304", true, FaultKind::NoAck, -1, 0x0304},
      {"kernel-never-starts", true, FaultKind::KernelNeverStarts, 1, -1},
      {"nak:0", false, FaultKind::Nak, 0, 0},
      {"nak:x", false, FaultKind::Nak, 0, 0},
      {"bogus", false, FaultKind::Nak, 0, 0},
      {"nak@12345", false, FaultKind::Nak, 0, 0},
  };
  for (const auto& c : cases) {
    auto fault = radiosim::ParseFault(c.text);
    ASSERT_EQ(fault.has_value(), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(fault->kind, c.kind) << c.text;
    EXPECT_EQ(fault->count, c.count) << c.text;
    EXPECT_EQ(fault->request, c.request) << c.text;
  }
}

}  // namespace
