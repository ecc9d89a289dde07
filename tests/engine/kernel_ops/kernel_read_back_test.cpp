// The reverse flash in its plain, run-coded and data-area forms against
// the simulated radio on a pseudo-terminal: what is read equals the
// radio's flash, in the block sizes of the link, and the radio's bad
// replies end in their named errors.

#include "engine/core/buffer_registry.h"
#include "engine/core/region_list.h"
#include "ops_fixture.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSector = 0x10000;

class ReadBackTest : public KernelOpsSerial {
 protected:
  void SetUp() override {
    ServeRunningKernel();
    flash_ = Pattern(4 * kSector, 7);
    ASSERT_TRUE(radio_->radio().SetFlash(kSector, flash_));
    list_ = MakeRegionList();
  }
  Bytes Read(const ImageRegion& region) const { return Bytes(region.buffer, region.buffer + region.length); }
  Bytes Flash(std::uint32_t address, std::uint32_t length) { return radio_->radio().GetFlash(address, length); }

  Bytes flash_;
  RegionListPtr list_;
};

TEST_F(ReadBackTest, RegionsReadEqualTheFlash) {
  list_->Add(kSector + 5, 3000);
  list_->Add(2 * kSector, kSector);  // holds runs of 0xFF, read run-coded
  ASSERT_EQ(kernel_->StartReverseFlash(list_.get(), kRunInline), 0);
  for (const auto& region : *list_) {
    ASSERT_NE(region.buffer, nullptr);
    EXPECT_EQ(GetBufferRegistry().ReferenceCount(region.buffer), 1);
    EXPECT_EQ(Read(region), Flash(region.address, region.length)) << std::hex << region.address;
  }
  const auto events = recorder_.Events();
  EXPECT_EQ(events.back().code, EVENT_REVERSE_FLASH_DONE);
  const auto progress = EventsWithCode(events, EVENT_REVERSE_FLASH_PROGRESS);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front().argument, 0);
  EXPECT_EQ(progress.back().argument, 3000 + static_cast<std::int32_t>(kSector));
  EXPECT_EQ(progress.back().total, progress.back().argument);
}

TEST_F(ReadBackTest, SerialReadsGoInBlocksOf64Bytes) {
  list_->Add(kSector, 200);
  ASSERT_EQ(kernel_->StartReverseFlash(list_.get(), kRunInline), 0);
  std::vector<std::string> reads;
  for (const auto& r : Requests())
    if (r.rfind("01 06", 0) == 0) reads.push_back(r);
  ASSERT_EQ(reads.size(), 4u);
  EXPECT_EQ(reads[0], "01 06 00 01 00 00 00 40 01");
  EXPECT_EQ(reads[2], "01 06 00 01 00 80 00 40 01");
  EXPECT_EQ(reads[3], "01 06 00 01 00 C0 00 08 01");
  EXPECT_EQ(Read((*list_)[0]), Flash(kSector, 200));
}

TEST_F(ReadBackTest, BuffersAlreadyInTheListAreReplacedNotLost) {
  std::uint8_t* old = GetBufferRegistry().Allocate(64);
  list_->Add(kSector, 64, old);
  std::vector<const std::uint8_t*> freed;
  GetBufferRegistry().SetFreeObserver([&](const std::uint8_t* b) { freed.push_back(b); });
  ASSERT_EQ(kernel_->StartReverseFlash(list_.get(), kRunInline), 0);
  GetBufferRegistry().SetFreeObserver(nullptr);
  EXPECT_EQ(freed, std::vector<const std::uint8_t*>{old});
  EXPECT_EQ(Read((*list_)[0]), Flash(kSector, 64));
}

struct ReadFault {
  const char* name;
  FaultKind kind;
  std::uint32_t address;
  int error;
};

void PrintTo(const ReadFault& c, std::ostream* os) { *os << c.name; }

class ReadFaults : public ReadBackTest, public ::testing::WithParamInterface<ReadFault> {};

TEST_P(ReadFaults, EndInTheNamedError) {
  const auto& c = GetParam();
  if (c.kind != FaultKind::Silence) radio_->radio().AddFault(Fault{c.kind, 1, 0x0106});
  list_->Add(c.address, 300);
  EXPECT_EQ(kernel_->StartReverseFlash(list_.get(), kRunInline), c.error);
  const auto& closing = Closing();
  EXPECT_EQ(closing.code, EVENT_REVERSE_FLASH_FAILED);
  EXPECT_EQ(closing.argument, c.error);
  EXPECT_EQ(closing.details, &kernel_->GetErrorDetails());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ReadFaults,
    ::testing::Values(ReadFault{"WrongReadLength", FaultKind::WrongReadLength, kSector, 17},
                      ReadFault{"OutsideTheFlash", FaultKind::Silence, 0x00400000 - 100, 38},
                      ReadFault{"ErrorStatus", FaultKind::ErrorStatus, kSector, 1}));

TEST_F(ReadBackTest, CancelStopsAfterTheCurrentBlock) {
  list_->Add(kSector, 64 * 10);
  CancelAt([](const DeviceEvent& e) { return e.eventCode == EVENT_REVERSE_FLASH_PROGRESS && e.argument == 128; });
  EXPECT_EQ(kernel_->StartReverseFlash(list_.get(), kRunInline), KERNEL_ERROR_CANCELLED);
  EXPECT_EQ(Closing().code, EVENT_REVERSE_FLASH_CANCELLED);
  EXPECT_EQ(RequestsStartingWith("01 06"), 2u);
}

TEST_F(ReadBackTest, RetriedReadRecoversFromADroppedReply) {
  radio_->radio().AddFault(Fault{FaultKind::NoReply, 1, 0x0106});
  list_->Add(kSector, 64);
  EXPECT_EQ(kernel_->StartReverseFlash(list_.get(), kRunInline), 0);
  EXPECT_EQ(Read((*list_)[0]), Flash(kSector, 64));
}

// ---- data area --------------------------------------------------------------------

class FdiReadBack : public ReadBackTest {
 protected:
  static constexpr std::uint32_t kBase = 0x00100000;
  static constexpr std::uint32_t kUnit = 0x2000;
  static constexpr std::uint32_t kUnits = 4;

  void SetUp() override {
    ReadBackTest::SetUp();
    // Each unit: a used front part, an erased gap, a used back part; the
    // third unit is erased throughout.
    for (std::uint32_t u = 0; u < kUnits; ++u) {
      Bytes unit(kUnit, 0xFF);
      if (u != 2) {
        const Bytes front = Pattern(0x100 + u * 0x40, 20 + u);
        const Bytes back = Pattern(0x20, 30 + u);
        std::copy(front.begin(), front.end(), unit.begin());
        std::transform(front.begin(), front.end(), unit.begin(), [](std::uint8_t b) { return b == 0xFF ? 0 : b; });
        std::transform(back.begin(), back.end(), unit.end() - 0x20, [](std::uint8_t b) { return b == 0xFF ? 1 : b; });
      }
      ASSERT_TRUE(radio_->radio().SetFlash(kBase + u * kUnit, unit));
    }
    ASSERT_EQ(kernel_->SetFdiRegion(kBase, kUnit, kUnits), 0);
  }
  // Lays the entries read over an erased area, as the saved image would.
  Bytes Overlay(std::uint32_t address, std::uint32_t length) const {
    Bytes image(length, 0xFF);
    for (const auto& region : *list_) {
      EXPECT_GE(region.address, address);
      EXPECT_LE(region.address + region.length, address + length);
      std::copy(region.buffer, region.buffer + region.length, image.begin() + (region.address - address));
    }
    return image;
  }
};

TEST_F(FdiReadBack, ReadsOnlyTheUsedPartsOfEachUnit) {
  list_->Add(kBase, kUnit * kUnits);
  ASSERT_EQ(kernel_->StartFdiReverseFlash(list_.get(), kRunInline), 0);
  // Three used units, each with a front and a back part; the erased unit
  // gives nothing.
  ASSERT_EQ(list_->Count(), 6u);
  EXPECT_EQ((*list_)[0].address, kBase);
  EXPECT_EQ((*list_)[0].length, 0x100u);
  EXPECT_EQ((*list_)[1].address, kBase + kUnit - 0x20);
  EXPECT_EQ((*list_)[1].length, 0x20u);
  EXPECT_EQ(Overlay(kBase, kUnit * kUnits), Flash(kBase, kUnit * kUnits));
  const auto progress = EventsWithCode(recorder_.Events(), EVENT_REVERSE_FLASH_PROGRESS);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().argument, static_cast<std::int32_t>(kUnit * kUnits));
  EXPECT_EQ(progress.back().total, static_cast<std::int32_t>(kUnit * kUnits));
  EXPECT_EQ(RequestsStartingWith("07 00"), 1u);
  EXPECT_EQ(RequestsStartingWith("07 01"), kUnits);
}

TEST_F(FdiReadBack, EntriesOutsideTheAreaAreReadPlainly) {
  list_->Add(kSector, 0x300);
  list_->Add(kBase + kUnit, kUnit);
  list_->Add(kBase, 0x1000);  // not a whole unit: plain
  ASSERT_EQ(kernel_->StartFdiReverseFlash(list_.get(), kRunInline), 0);
  ASSERT_EQ(list_->Count(), 4u);
  EXPECT_EQ(Read((*list_)[0]), Flash(kSector, 0x300));
  EXPECT_EQ(Read((*list_)[3]), Flash(kBase, 0x1000));
  EXPECT_EQ(RequestsStartingWith("07 01"), 1u);
}

TEST_F(FdiReadBack, UnitPartsBeyondTheUnitAreNotBelievedAndTheUnitIsReadWhole) {
  radio_->radio().AddFault(Fault{FaultKind::OversizedFdi, 1, 0x0701});
  list_->Add(kBase, 2 * kUnit);
  ASSERT_EQ(kernel_->StartFdiReverseFlash(list_.get(), kRunInline), 0);
  ASSERT_EQ(list_->Count(), 3u);
  EXPECT_EQ((*list_)[0].address, kBase);
  EXPECT_EQ((*list_)[0].length, kUnit);
  EXPECT_EQ(Overlay(kBase, 2 * kUnit), Flash(kBase, 2 * kUnit));
}

TEST_F(FdiReadBack, WithoutAnAreaEverythingIsReadPlainly) {
  ASSERT_EQ(kernel_->SetFdiRegion(0, 0, 0), 0);
  list_->Add(kBase, kUnit);
  ASSERT_EQ(kernel_->StartFdiReverseFlash(list_.get(), kRunInline), 0);
  ASSERT_EQ(list_->Count(), 1u);
  EXPECT_EQ(Read((*list_)[0]), Flash(kBase, kUnit));
  EXPECT_EQ(RequestsStartingWith("07"), 0u);
}

TEST_F(FdiReadBack, BuffersAlreadyInTheListAreReleasedOnceOnSuccess) {
  std::uint8_t* old = GetBufferRegistry().Allocate(kUnit);
  list_->Add(kBase, kUnit, old);
  std::vector<const std::uint8_t*> freed;
  GetBufferRegistry().SetFreeObserver([&](const std::uint8_t* b) { freed.push_back(b); });
  ASSERT_EQ(kernel_->StartFdiReverseFlash(list_.get(), kRunInline), 0);
  GetBufferRegistry().SetFreeObserver(nullptr);
  EXPECT_EQ(freed, std::vector<const std::uint8_t*>{old});
  // The list holds what was read (a new buffer may reuse the freed one's address).
  EXPECT_EQ(Overlay(kBase, kUnit), Flash(kBase, kUnit));
}

TEST_F(FdiReadBack, FailureKeepsTheRequestedEntriesAndFreesEveryBuffer) {
  std::uint8_t* old = GetBufferRegistry().Allocate(kUnits * kUnit);
  list_->Add(kBase, kUnits * kUnit, old);
  radio_->radio().AddFault(Fault{FaultKind::WrongReadLength, 1, 0x0106});
  const auto before = GetBufferRegistry().Size();
  EXPECT_EQ(kernel_->StartFdiReverseFlash(list_.get(), kRunInline), KERNEL_ERROR_READ_DECODE_FAILED);
  // The old buffer went once; nothing read half-way stays behind.
  EXPECT_EQ(GetBufferRegistry().Size(), before - 1);
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(old), 0);
  ASSERT_EQ(list_->Count(), 1u);
  EXPECT_EQ((*list_)[0].length, kUnits * kUnit);
  EXPECT_EQ((*list_)[0].buffer, nullptr);
}

}  // namespace
