// The simulated kernel's buffered flash mode, exchanged byte by byte:
// queued erase and program requests with no replies, the free space they
// take (8 + n bytes a program request, as the host counts), writing at a
// set rate, the completion state, overruns, failures and stalls.

#include <gtest/gtest.h>

#include <chrono>

#include "radio_bytes.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;
using radiosim::RadioConfig;
using namespace radiotest;
using Clock = radiosim::RadioSimulator::Clock;
using std::chrono::milliseconds;

const Bytes kOn{0x05, 0x01, 0x01};
const Bytes kOff{0x05, 0x01, 0x00};
const Bytes kFree{0x06, 0x00, 0x00};
const Bytes kCompletion{0x06, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kEndOfData{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

RadioConfig Smart(std::uint32_t buffer, std::uint32_t rate, radiosim::LinkKind link = radiosim::LinkKind::Serial) {
  RadioConfig config;
  config.link = link;
  config.sectorLayout = {{0x10000, 8}};
  config.smartBufferSize = buffer;
  config.smartWriteRate = rate;
  return config;
}

Bytes FreeReply(std::uint32_t free) { return Concat({0x06, 0x80, 0x00, 0x00}, Be32(free)); }
Bytes CompletionReply(std::uint8_t state) { return {0x06, 0x81, 0x00, 0x00, state}; }

class SmartFlash : public ::testing::TestWithParam<radiosim::LinkKind> {};

TEST_P(SmartFlash, QueuedRequestsGetNoReplyAndLeaveTheSameFlashAsPlainRequests) {
  KernelHarness kernel(Smart(0x40000, 0, GetParam()));
  auto& radio = *kernel.radio;
  ASSERT_TRUE(radio.SetFlash(0, Pattern(0x20000)));
  EXPECT_EQ(kernel.Ask(kOn), (Bytes{0x05, 0x81, 0x00}));
  EXPECT_TRUE(radio.SmartFlashActive());
  EXPECT_EQ(kernel.Ask(kFree), FreeReply(0x40000));

  const Bytes image = Pattern(7000, 11);
  const Bytes ack = GetParam() == radiosim::LinkKind::Serial ? Bytes{0x50} : Bytes{};
  EXPECT_EQ(kernel.Send(EraseRequest(0, 0x1FFFF)), ack);
  EXPECT_EQ(kernel.Send(ProgramRequest(0, Bytes(image.begin(), image.begin() + 3072))), ack);
  EXPECT_EQ(kernel.Send(ProgramRequest(3072, Bytes(image.begin() + 3072, image.begin() + 6144))), ack);
  EXPECT_EQ(kernel.Send(ProgramRequest(6144, Bytes(image.begin() + 6144, image.end()))), ack);
  EXPECT_EQ(kernel.Ask(kCompletion), CompletionReply(2));  // no end of data yet
  EXPECT_EQ(kernel.Send(kEndOfData), ack);
  EXPECT_EQ(kernel.Ask(kFree), FreeReply(0x40000));
  EXPECT_EQ(kernel.Ask(kCompletion), CompletionReply(0));
  EXPECT_EQ(kernel.Ask(kOff), (Bytes{0x05, 0x81, 0x00}));
  EXPECT_FALSE(radio.SmartFlashActive());

  EXPECT_EQ(radio.GetFlash(0, 7000), image);
  EXPECT_EQ(radio.GetFlash(7000, 0x20000 - 7000), Bytes(0x20000 - 7000, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(Links, SmartFlash, ::testing::Values(radiosim::LinkKind::Serial, radiosim::LinkKind::Usb),
                         [](const auto& info) { return std::string(info.param == radiosim::LinkKind::Usb ? "Usb" : "Serial"); });

TEST(SmartFlashPacing, EachRequestHoldsItsSizeUntilWrittenAtTheRate) {
  // 30800 bytes a second: one 3080-byte program request each 100 ms.
  KernelHarness kernel(Smart(0x40000, 30800));
  const auto t0 = Clock::now();
  ASSERT_EQ(kernel.Ask(kOn, t0), (Bytes{0x05, 0x81, 0x00}));
  for (std::uint32_t i = 0; i < 4; ++i) kernel.Send(ProgramRequest(i * 3072, Pattern(3072, i + 3)), t0);
  kernel.Send(kEndOfData, t0);
  EXPECT_EQ(kernel.radio->SmartFlashQueued(), 5u);
  EXPECT_EQ(kernel.Ask(kFree, t0), FreeReply(0x40000 - 4 * 3080 - 8));
  EXPECT_EQ(kernel.Ask(kFree, t0 + milliseconds(150)), FreeReply(0x40000 - 3 * 3080 - 8));
  EXPECT_EQ(kernel.Ask(kCompletion, t0 + milliseconds(250)), CompletionReply(2));
  EXPECT_EQ(kernel.Ask(kFree, t0 + milliseconds(250)), FreeReply(0x40000 - 2 * 3080 - 8));
  EXPECT_EQ(kernel.Ask(kFree, t0 + milliseconds(500)), FreeReply(0x40000));
  EXPECT_EQ(kernel.Ask(kCompletion, t0 + milliseconds(500)), CompletionReply(0));
  EXPECT_EQ(kernel.radio->GetFlash(3 * 3072, 3072), Pattern(3072, 6));
}

TEST(SmartFlashPacing, AnOverrunFailsTheStreamWithInsufficientMemory) {
  KernelHarness kernel(Smart(0x2000, 1));  // 8 KiB written at 1 byte a second
  const auto t0 = Clock::now();
  kernel.Ask(kOn, t0);
  kernel.Send(ProgramRequest(0, Pattern(3072)), t0);
  kernel.Send(ProgramRequest(3072, Pattern(3072)), t0);
  EXPECT_EQ(kernel.Ask(kFree, t0), FreeReply(0x2000 - 2 * 3080));
  kernel.Send(ProgramRequest(6144, Pattern(3072)), t0);  // 3080 > 2032 free
  EXPECT_EQ(kernel.Ask(kCompletion, t0), CompletionReply(1));
  EXPECT_EQ(kernel.StatusDetails(), (Bytes{0x01, 0x02}));
  EXPECT_EQ(kernel.radio->GetFlash(0, 4), Bytes(4, 0xFF));  // the queue was dropped
  EXPECT_EQ(kernel.radio->GetTranscript().Count("smart flash buffer overrun"), 1u);
}

TEST(SmartFlashFailure, TheFirstFailureEndsTheStreamAndTheStatusSaysWhy) {
  KernelHarness kernel(Smart(0x40000, 0));
  kernel.radio->SetSectorProtected(1, true);
  kernel.Ask(kOn);
  kernel.Send(EraseRequest(0, 0x1FFFF));  // sector 1 is protected
  kernel.Send(ProgramRequest(0, Pattern(16)));
  kernel.Send(kEndOfData);
  EXPECT_EQ(kernel.Ask(kFree), FreeReply(0x40000));
  EXPECT_EQ(kernel.Ask(kCompletion), CompletionReply(1));
  EXPECT_EQ(kernel.StatusDetails(), (Bytes{0x02, 0x08, 0x00, 0x01, 0x82}));
  EXPECT_EQ(kernel.radio->GetFlash(0, 16), Bytes(16, 0xFF));  // the program after it was not written
  // Switching on again starts a clean stream.
  kernel.Ask(kOn);
  kernel.Send(ProgramRequest(0, Pattern(16)));
  kernel.Send(kEndOfData);
  EXPECT_EQ(kernel.Ask(kCompletion), CompletionReply(0));
  EXPECT_EQ(kernel.radio->GetFlash(0, 16), Pattern(16));
}

TEST(SmartFlashFailure, ProgramFaultsApplyToQueuedRequests) {
  KernelHarness kernel(Smart(0x40000, 0));
  kernel.radio->AddFault(Fault{FaultKind::VerifyError, 1, 0x0100});
  kernel.Ask(kOn);
  kernel.Send(ProgramRequest(0x100, Pattern(64)));
  kernel.Send(kEndOfData);
  EXPECT_EQ(kernel.Ask(kCompletion), CompletionReply(1));
  EXPECT_EQ(kernel.StatusDetails(), Concat({0x02, 0x02}, Be32(0x100)));
}

TEST(SmartFlashStall, AStalledEngineWritesNothingUntilAQueryWithoutTheStall) {
  KernelHarness kernel(Smart(0x40000, 0));
  kernel.radio->AddFault(Fault{FaultKind::Stall, 2, 0x0600});
  kernel.Ask(kOn);
  EXPECT_EQ(kernel.Ask(kFree), FreeReply(0x40000));  // first stall
  kernel.Send(ProgramRequest(0, Pattern(100)));
  kernel.Send(kEndOfData);
  EXPECT_EQ(kernel.Ask(kFree), FreeReply(0x40000 - 108 - 8));  // second stall
  EXPECT_EQ(kernel.Ask(kCompletion), CompletionReply(2));
  EXPECT_EQ(kernel.Ask(kFree), FreeReply(0x40000));  // no stall: all written
  EXPECT_EQ(kernel.Ask(kCompletion), CompletionReply(0));
  EXPECT_EQ(kernel.radio->GetFlash(0, 100), Pattern(100));
}

TEST(SmartFlashSwitch, OffOrResetDropsWhatIsQueued) {
  KernelHarness kernel(Smart(0x40000, 1));
  const auto t0 = Clock::now();
  kernel.Ask(kOn, t0);
  kernel.Send(ProgramRequest(0, Pattern(64)), t0);
  EXPECT_EQ(kernel.radio->SmartFlashQueued(), 1u);
  EXPECT_EQ(kernel.Ask(kOff, t0), (Bytes{0x05, 0x81, 0x00}));
  EXPECT_EQ(kernel.radio->SmartFlashQueued(), 0u);
  EXPECT_EQ(kernel.radio->GetFlash(0, 64), Bytes(64, 0xFF));
  // Outside the mode a program request is answered again.
  EXPECT_EQ(kernel.Ask(ProgramRequest(0, {0x00}), t0), (Bytes{0x01, 0x80, 0x00}));
  EXPECT_EQ(kernel.radio->GetTranscript().Count("smart flash off, 1 queued requests dropped"), 1u);
}

}  // namespace
