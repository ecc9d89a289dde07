// The simulated kernel's flash requests, exchanged byte by byte: erase to
// 0xFF by sectors, programming that only clears bits and is verified,
// protected sectors, the plain and run-coded read replies, and the
// failures each one reports through the status register.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "radio_bytes.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;
using radiosim::LinkKind;
using radiosim::RadioConfig;
using namespace radiotest;

// 8 sectors of 8 KiB, then 3 of 64 KiB, from 0x00400000.
RadioConfig SmallFlash(LinkKind link = LinkKind::Serial) {
  RadioConfig config;
  config.link = link;
  config.flashBase = 0x00400000;
  config.sectorLayout = {{0x2000, 8}, {0x10000, 3}};
  return config;
}

constexpr std::uint32_t kBase = 0x00400000;
constexpr std::uint32_t kBigSector = kBase + 0x10000;  // sector 8

class KernelFlash : public ::testing::TestWithParam<LinkKind> {
 protected:
  KernelHarness kernel_{SmallFlash(GetParam())};
};

TEST_P(KernelFlash, EraseProgramAndReadBack) {
  auto& radio = *kernel_.radio;
  ASSERT_EQ(radio.Sectors().size(), 11u);
  EXPECT_EQ(radio.Sectors()[8].address, kBigSector);
  EXPECT_EQ(radio.FlashImage().size(), 0x40000u);
  const Bytes old = Pattern(0x40000);
  ASSERT_TRUE(radio.SetFlash(kBase, old));

  // 01 07 first last: every sector the range touches becomes 0xFF.
  EXPECT_EQ(kernel_.Ask(EraseRequest(kBase + 0x2000, kBase + 0x5FFF)), (Bytes{0x01, 0x87, 0x00}));
  EXPECT_EQ(radio.GetFlash(kBase + 0x2000, 0x4000), Bytes(0x4000, 0xFF));
  EXPECT_EQ(radio.GetFlash(kBase, 0x2000), Bytes(old.begin(), old.begin() + 0x2000));
  EXPECT_EQ(radio.GetFlash(kBase + 0x6000, 0x2000), Bytes(old.begin() + 0x6000, old.begin() + 0x8000));

  // 01 00 address n data: written into the erased sector.
  const Bytes data = Pattern(3072, 13);
  EXPECT_EQ(kernel_.Ask(ProgramRequest(kBase + 0x2000, data)), (Bytes{0x01, 0x80, 0x00}));
  EXPECT_EQ(radio.GetFlash(kBase + 0x2000, 3072), data);

  // 01 06 address length flag: 01 86 status address N coding data.
  const Bytes plain = kernel_.Ask(ReadRequest(kBase + 0x2000, 64));
  EXPECT_EQ(plain, Concat(Concat({0x01, 0x86, 0x00}, Be32(kBase + 0x2000)),
                          Concat({0x00, 0x40, 0x00}, Bytes(data.begin(), data.begin() + 64))));
  // An erased block comes as a run: N = 3, coding 1, value, count.
  EXPECT_EQ(kernel_.Ask(ReadRequest(kBase + 0x4000, 1024)),
            Concat(Concat({0x01, 0x86, 0x00}, Be32(kBase + 0x4000)), {0x00, 0x03, 0x01, 0xFF, 0x04, 0x00}));
  // Without the run flag the same block comes raw.
  const Bytes raw = kernel_.Ask(ReadRequest(kBase + 0x4000, 64, 0x00));
  EXPECT_EQ(raw, Concat(Concat({0x01, 0x86, 0x00}, Be32(kBase + 0x4000)), Concat({0x00, 0x40, 0x00}, Bytes(64, 0xFF))));
  // A zero-length read is answered with no data.
  EXPECT_EQ(kernel_.Ask(ReadRequest(kBase, 0)), Concat(Concat({0x01, 0x86, 0x00}, Be32(kBase)), {0x00, 0x00, 0x00}));
}

TEST_P(KernelFlash, ProgrammingOnlyClearsBitsAndIsVerified) {
  auto& radio = *kernel_.radio;
  ASSERT_TRUE(radio.SetFlash(kBase, Bytes{0xF0, 0xFF, 0x0F, 0xFF}));
  // Clearing bits over data works: F0 & 30 = 30.
  EXPECT_EQ(kernel_.Ask(ProgramRequest(kBase, {0x30})), (Bytes{0x01, 0x80, 0x00}));
  // Setting a bit does not: 0F & FF stays 0F, the verify fails at kBase + 2.
  EXPECT_EQ(kernel_.Ask(ProgramRequest(kBase + 1, {0x12, 0xFF, 0x34})), (Bytes{0x01, 0x80, 0x01}));
  EXPECT_EQ(radio.GetFlash(kBase, 4), (Bytes{0x30, 0x12, 0x0F, 0x34}));
  EXPECT_EQ(kernel_.StatusDetails(), Concat({0x02, 0x02}, Be32(kBase + 2)));
}

INSTANTIATE_TEST_SUITE_P(Links, KernelFlash, ::testing::Values(LinkKind::Serial, LinkKind::Usb),
                         [](const auto& info) { return std::string(info.param == LinkKind::Usb ? "Usb" : "Serial"); });

struct FailureCase {
  const char* name;
  std::function<void(radiosim::RadioSimulator&)> setUp;
  Bytes request;
  Bytes status;  // status word and detail bytes the status request gives
  bool flashUnchanged;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class KernelFlashFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(KernelFlashFailure, RepliesStatusOneAndSetsTheStatusRegister) {
  const auto& c = GetParam();
  KernelHarness kernel(SmallFlash());
  auto& radio = *kernel.radio;
  ASSERT_TRUE(radio.SetFlash(kBase, Pattern(0x40000)));
  ASSERT_EQ(kernel.Ask(EraseRequest(kBigSector, kBigSector + 0xFFFF)), (Bytes{0x01, 0x87, 0x00}));
  const Bytes before = radio.FlashImage();
  if (c.setUp) c.setUp(radio);
  const Bytes reply = kernel.Ask(c.request);
  ASSERT_EQ(reply.size(), 3u);
  EXPECT_EQ(reply[2], 0x01);
  EXPECT_EQ(kernel.StatusDetails(), c.status);
  if (c.flashUnchanged) {
    EXPECT_EQ(radio.FlashImage(), before);
  }
}

auto WithFault(FaultKind kind, int request = -1) {
  return [kind, request](radiosim::RadioSimulator& radio) { radio.AddFault(Fault{kind, 1, request}); };
}

auto Protect(std::size_t sector) {
  return [sector](radiosim::RadioSimulator& radio) { radio.SetSectorProtected(sector, true); };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KernelFlashFailure,
    ::testing::Values(
        FailureCase{"EraseProtected", Protect(9), EraseRequest(kBigSector, kBase + 0x2FFFF),
                    {0x02, 0x08, 0x00, 0x09, 0x82}, true},
        FailureCase{"ProgramProtected", Protect(8), ProgramRequest(kBigSector + 4, Pattern(16)),
                    Concat({0x02, 0x04}, Concat(Be32(kBigSector + 4), {0x82})), true},
        FailureCase{"EraseNotOnBoundary", nullptr, EraseRequest(kBase + 0x100, kBase + 0x1FFF),
                    Concat({0x02, 0x0D}, Be32(kBase + 0x100)), true},
        FailureCase{"EraseBeyondTheFlash", nullptr, EraseRequest(kBase + 0x20000, kBase + 0x40000),
                    {0x02, 0x0B, 0x00, 0x0B}, true},
        FailureCase{"EraseBackwards", nullptr, EraseRequest(kBase + 0x2000, kBase + 0x1FFF),
                    {0x02, 0x09, 0x00, 0x00, 0x80}, true},
        FailureCase{"ProgramBeyondTheFlash", nullptr, ProgramRequest(kBase + 0x3FFF0, Pattern(32)),
                    Concat({0x02, 0x05}, Concat(Be32(kBase + 0x40000), {0x90})), true},
        FailureCase{"ProgramLengthMismatch", nullptr, Concat({0x01, 0x00}, Concat(Be32(kBigSector), {0x00, 0x10, 1, 2})),
                    {0x02, 0x09, 0x00, 0x00, 0x80}, true},
        FailureCase{"ReadBeyondTheFlash", nullptr, ReadRequest(kBase + 0x3FFC0, 0x80),
                    Concat({0x02, 0x0E}, Be32(kBase + 0x3FFC0)), true},
        FailureCase{"EraseFailureFault", WithFault(FaultKind::EraseFailure), EraseRequest(kBase + 0x4000, kBase + 0x5FFF),
                    {0x02, 0x0A, 0x00, 0x02, 0xA0}, true},
        FailureCase{"ProgramFailureFault", WithFault(FaultKind::ProgramFailure, 0x0100),
                    ProgramRequest(kBigSector, Pattern(64)), Concat({0x02, 0x05}, Concat(Be32(kBigSector), {0x90})), true},
        FailureCase{"VerifyErrorFault", WithFault(FaultKind::VerifyError), ProgramRequest(kBigSector + 8, Pattern(64)),
                    Concat({0x02, 0x02}, Be32(kBigSector + 8)), false},
        FailureCase{"ProtectedSectorFaultOnErase", WithFault(FaultKind::ProtectedSector, 0x0107),
                    EraseRequest(kBase, kBase + 0x1FFF), {0x02, 0x08, 0x00, 0x00, 0x82}, true},
        FailureCase{"ProtectedSectorFaultOnProgram", WithFault(FaultKind::ProtectedSector),
                    ProgramRequest(kBigSector, Pattern(8)), Concat({0x02, 0x04}, Concat(Be32(kBigSector), {0x82})), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KernelFlashFaults, FaultsHitOnlyTheirRequestAndCount) {
  KernelHarness kernel(SmallFlash());
  kernel.radio->AddFault(Fault{FaultKind::EraseFailure, 2, 0x0107});
  EXPECT_EQ(kernel.Ask(ProgramRequest(kBase, {0x00})), (Bytes{0x01, 0x80, 0x00}));
  EXPECT_EQ(kernel.Ask(EraseRequest(kBase, kBase + 0x1FFF)), (Bytes{0x01, 0x87, 0x01}));
  EXPECT_EQ(kernel.Ask(EraseRequest(kBase, kBase + 0x1FFF)), (Bytes{0x01, 0x87, 0x01}));
  EXPECT_EQ(kernel.Ask(EraseRequest(kBase, kBase + 0x1FFF)), (Bytes{0x01, 0x87, 0x00}));
  EXPECT_EQ(kernel.radio->GetFlash(kBase, 1), Bytes{0xFF});
}

TEST(KernelFlashFaults, WrongReadLengthSendsOneByteLess) {
  KernelHarness kernel(SmallFlash());
  kernel.radio->AddFault(Fault{FaultKind::WrongReadLength, 1, 0x0106});
  const Bytes reply = kernel.Ask(ReadRequest(kBase, 64));
  EXPECT_EQ(reply, Concat(Concat({0x01, 0x86, 0x00}, Be32(kBase)), Concat({0x00, 0x3F, 0x00}, Bytes(63, 0xFF))));
  EXPECT_EQ(kernel.Ask(ReadRequest(kBase, 64)).size(), 10u + 3u);  // the next one is a run again
}

TEST(KernelFlashState, FlashSurvivesResetAndPowerCycle) {
  KernelHarness kernel(SmallFlash());
  ASSERT_EQ(kernel.Ask(ProgramRequest(kBase, {0x11, 0x22})), (Bytes{0x01, 0x80, 0x00}));
  kernel.Send({0x03, 0x00});
  EXPECT_EQ(kernel.radio->Mode(), radiosim::RadioMode::BootLoader);
  kernel.radio->PowerCycle();
  EXPECT_EQ(kernel.radio->GetFlash(kBase, 3), (Bytes{0x11, 0x22, 0xFF}));
}

struct LayoutCase {
  const char* text;
  std::vector<radiosim::SectorGroup> groups;  // empty: refused
};

TEST(SectorLayout, ParsesGroupsAndRefusesNonsense) {
  const LayoutCase cases[] = {
      {"64Kx64", {{0x10000, 64}}},
      {"8Kx8,64Kx63", {{0x2000, 8}, {0x10000, 63}}},
      {"0x4000x4", {{0x4000, 4}}},
      {"1Mx2", {{0x100000, 2}}},
      {"64K", {}},
      {"64Kx0", {}},
      {"0x64", {}},
      {"x4", {}},
      {"64Kx4,", {}},
      {"1Mx300", {}},
  };
  for (const auto& c : cases) {
    auto parsed = radiosim::ParseSectorLayout(c.text);
    if (c.groups.empty()) {
      EXPECT_FALSE(parsed) << c.text;
      continue;
    }
    ASSERT_TRUE(parsed) << c.text;
    ASSERT_EQ(parsed->size(), c.groups.size()) << c.text;
    for (std::size_t i = 0; i < c.groups.size(); ++i) {
      EXPECT_EQ((*parsed)[i].size, c.groups[i].size) << c.text;
      EXPECT_EQ((*parsed)[i].count, c.groups[i].count) << c.text;
    }
  }
}

}  // namespace
