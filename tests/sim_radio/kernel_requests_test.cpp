// The simulated kernel's data-area queries, magic key, custom commands
// and text replies, exchanged byte by byte.

#include <gtest/gtest.h>

#include <algorithm>

#include "radio_bytes.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;
using radiosim::RadioConfig;
using namespace radiotest;

constexpr std::uint32_t kArea = 0x00020000;
constexpr std::uint32_t kUnit = 0x1000;
constexpr std::uint32_t kWindow = 0x60000000;

Bytes RegionQuery(std::uint32_t base, std::uint32_t unitSize, std::uint16_t count) {
  return Concat(Concat(Concat(Concat({0x07, 0x00}, Be32(base)), Be32(unitSize)), Be16(count)), Bytes(14, 0));
}

Bytes UnitQuery(std::uint32_t address, std::uint32_t unitSize, const Bytes& values) {
  return Concat(Concat(Concat(Concat({0x07, 0x01}, Be32(address)), Be32(unitSize)), values), Bytes(16, 0));
}

Bytes UnitReply(std::uint32_t kernelBase, std::uint32_t front, std::uint32_t backOffset, std::uint32_t back) {
  return Concat(Concat(Concat(Concat({0x07, 0x81, 0x00}, Be32(kernelBase)), Be32(front)), Be32(kernelBase + backOffset)),
                Be32(back));
}

class DataArea : public ::testing::Test {
 protected:
  DataArea() : kernel_(RadioConfig{}) {
    // Unit 0: 0x100 bytes used at the start, 0x20 at the end; unit 1 erased;
    // unit 2 full.
    Bytes area(3 * kUnit, 0xFF);
    for (std::uint32_t i = 0; i < 0x100; ++i) area[i] = static_cast<std::uint8_t>(i & 0x7F);
    for (std::uint32_t i = kUnit - 0x20; i < kUnit; ++i) area[i] = 0x3C;
    area[0x80] = 0xFF;  // a lone erased byte inside the used front part
    for (std::uint32_t i = 2 * kUnit; i < 3 * kUnit; ++i) area[i] = 0x00;
    kernel_.radio->SetFlash(kArea, area);
  }
  Bytes Values() {
    const Bytes reply = kernel_.Ask(RegionQuery(kArea, kUnit, 3));
    EXPECT_EQ(reply.size(), 7u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), (Bytes{0x07, 0x80, 0x00, 0x00, 0x03}));
    return Bytes(reply.begin() + 3, reply.end());
  }
  KernelHarness kernel_;
};

TEST_F(DataArea, UnitsReportTheirUsedFrontAndBackParts) {
  const Bytes values = Values();
  EXPECT_EQ(kernel_.Ask(UnitQuery(kArea, kUnit, values)), UnitReply(kWindow, 0x100, kUnit - 0x20, 0x20));
  const Bytes erased = kernel_.Ask(UnitQuery(kArea + kUnit, kUnit, values));
  EXPECT_EQ(Bytes(erased.begin() + 7, erased.begin() + 11), Be32(0));
  EXPECT_EQ(Bytes(erased.begin() + 15, erased.end()), Be32(0));
  EXPECT_EQ(kernel_.Ask(UnitQuery(kArea + 2 * kUnit, kUnit, values)),
            UnitReply(kWindow + 2 * kUnit, kUnit, kUnit, 0));
}

TEST_F(DataArea, RefusesQueriesOutsideTheSession) {
  const Bytes values = Values();
  const Bytes failed{0x07, 0x81, 0x01};
  EXPECT_EQ(kernel_.Ask(UnitQuery(kArea, kUnit, {0x00, 0x03, 0x00, 0x00})), failed);
  EXPECT_EQ(kernel_.StatusDetails(), (Bytes{0x02, 0x09, 0x00, 0x00, 0x80}));
  EXPECT_EQ(kernel_.Ask(UnitQuery(kArea + 0x10, kUnit, values)), failed);  // not a unit start
  EXPECT_EQ(kernel_.Ask(UnitQuery(kArea + 3 * kUnit, kUnit, values)), failed);  // past the last unit
  EXPECT_EQ(kernel_.StatusDetails(), Concat({0x02, 0x0D}, Be32(kArea + 3 * kUnit)));
  // A region beyond the flash is refused and ends the session.
  EXPECT_EQ(kernel_.Ask(RegionQuery(0x00400000 - kUnit, kUnit, 2)), (Bytes{0x07, 0x80, 0x01}));
  EXPECT_EQ(kernel_.Ask(UnitQuery(kArea, kUnit, values)), failed);
}

TEST_F(DataArea, OversizedFaultAnswersPartsBeyondTheUnit) {
  const Bytes values = Values();
  kernel_.radio->AddFault(Fault{FaultKind::OversizedFdi, 1, 0x0701});
  EXPECT_EQ(kernel_.Ask(UnitQuery(kArea, kUnit, values)), UnitReply(kWindow, kUnit + 0x1000, 4 * kUnit, 0x7FFFFFF0));
}

TEST(MagicKey, TwoStepsInOrder) {
  KernelHarness kernel(RadioConfig{});
  EXPECT_EQ(kernel.Ask({0x04, 0x01}), (Bytes{0x04, 0x81, 0x01}));
  EXPECT_EQ(kernel.radio->MagicKeysProgrammed(), 0);
  EXPECT_EQ(kernel.Ask({0x04, 0x00}), (Bytes{0x04, 0x80, 0x00}));
  EXPECT_EQ(kernel.Ask({0x04, 0x01}), (Bytes{0x04, 0x81, 0x00}));
  EXPECT_EQ(kernel.radio->MagicKeysProgrammed(), 1);
  kernel.radio->AddFault(Fault{FaultKind::ErrorStatus, 1, 0x0400});
  EXPECT_EQ(kernel.Ask({0x04, 0x00}), (Bytes{0x04, 0x80, 0x01}));
}

TEST(CustomCommand, ConfiguredRepliesAndTextReplies) {
  RadioConfig config;
  config.customReplies[{0x0A, 0x01, 0x02}] = radiosim::TextReply("OK");
  config.customReplies[{0x0A, 0x02}] = {0x0A, 0x82, 0x00, 0x55};
  KernelHarness kernel(config);
  EXPECT_EQ(kernel.Ask({0x0A, 0x01, 0x02}), (Bytes{0x03, 0x84, 0x00, 0x03, 'O', 'K', 0x00}));
  EXPECT_EQ(kernel.Ask({0x0A, 0x02}), (Bytes{0x0A, 0x82, 0x00, 0x55}));
  // Anything else is still an unknown group.
  EXPECT_EQ(kernel.Ask({0x0A, 0x01}), (Bytes{0x0A, 0x81, 0x01}));
  EXPECT_EQ(kernel.StatusDetails(), (Bytes{0x01, 0x00}));
}

TEST(TextReply, LongTextFaultRunsOnWithoutItsZero) {
  RadioConfig config;
  config.customReplies[{0x0A, 0x01}] = radiosim::TextReply("OK");
  KernelHarness kernel(config);
  kernel.radio->AddFault(Fault{FaultKind::LongText, 2, -1});
  for (const Bytes& request : {Bytes{0x03, 0x04, 0x01}, Bytes{0x0A, 0x01}}) {
    const Bytes reply = kernel.Ask(request);
    ASSERT_EQ(reply.size(), 4u + 600u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), (Bytes{0x03, 0x84, 0x00, 0x03}));
    EXPECT_EQ(std::count(reply.begin() + 4, reply.end(), 0), 0);
  }
  EXPECT_EQ(kernel.Ask({0x03, 0x04, 0x01}), radiosim::TextReply("VEXA20"));
  // A fault for the custom request leaves the name query alone.
  kernel.radio->AddFault(Fault{FaultKind::LongText, 1, 0x0A01});
  EXPECT_EQ(kernel.Ask({0x03, 0x04, 0x01}), radiosim::TextReply("VEXA20"));
  EXPECT_EQ(kernel.Ask({0x0A, 0x01}).size(), 604u);
}

}  // namespace
