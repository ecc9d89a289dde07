// Flash and erase, and the smart flash, against the simulated radio on a
// pseudo-terminal: what the radio's flash holds afterwards, the requests
// it took, the events, the injected faults and cancels.

#include <chrono>

#include "engine/core/region_list.h"
#include "ops_fixture.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSector = 0x10000;

class FlashTest : public KernelOpsSerial {
 protected:
  void SetUp() override {
    ServeRunningKernel();
    // Old contents everywhere the tests write, so only an erase clears them.
    ASSERT_TRUE(radio_->radio().SetFlash(0, Bytes(6 * kSector, 0x00)));
    first_ = Pattern(7000, 1);
    second_ = Pattern(5000, 2);
    image_.Add(kSector, static_cast<std::uint32_t>(first_.size()), first_.data());
    image_.Add(2 * kSector + 100, static_cast<std::uint32_t>(second_.size()), second_.data());
    erase_.Add(kSector, kSector);
    erase_.Add(2 * kSector, kSector);
  }
  Bytes Flash(std::uint32_t address, std::uint32_t length) { return radio_->radio().GetFlash(address, length); }
  // What the flash must hold in sectors 1 and 2 after the image.
  Bytes ExpectedSectors() const {
    Bytes expected(2 * kSector, 0xFF);
    std::copy(first_.begin(), first_.end(), expected.begin());
    std::copy(second_.begin(), second_.end(), expected.begin() + kSector + 100);
    return expected;
  }

  Bytes first_;
  Bytes second_;
  CRegionList image_;
  CRegionList erase_;
};

TEST_F(FlashTest, ErasesAndProgramsTheImageByteForByte) {
  ASSERT_EQ(kernel_->StartFlash(&erase_, &image_, kRunInline), 0);
  EXPECT_EQ(Flash(kSector, 2 * kSector), ExpectedSectors());
  EXPECT_EQ(Flash(0, kSector), Bytes(kSector, 0x00));          // not in the erase list
  EXPECT_EQ(Flash(3 * kSector, kSector), Bytes(kSector, 0x00));

  const auto events = recorder_.Events();
  const auto erase = EventsWithCode(events, EVENT_FLASH_ERASE_PROGRESS);
  ASSERT_EQ(erase.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(erase[static_cast<std::size_t>(i)].argument, i);
    EXPECT_EQ(erase[static_cast<std::size_t>(i)].total, 2);
  }
  const auto program = EventsWithCode(events, EVENT_FLASH_PROGRESS);
  ASSERT_EQ(program.size(), 1u + 3 + 2);  // 7000 in 3 blocks, 5000 in 2
  EXPECT_EQ(program.front().argument, 0);
  EXPECT_EQ(program[1].argument, 3072);
  EXPECT_EQ(program[3].argument, 7000);
  EXPECT_EQ(program.back().argument, 12000);
  EXPECT_EQ(program.back().total, 12000);
  EXPECT_EQ(events.back().code, EVENT_FLASH_DONE);
  EXPECT_EQ(RequestsStartingWith("01 07"), 2u);
  EXPECT_EQ(RequestsStartingWith("01 00"), 5u);
  EXPECT_EQ(radio_->radio().MagicKeysProgrammed(), 0);
}

TEST_F(FlashTest, AutoMagicKeyFollowsASuccessfulFlash) {
  ASSERT_EQ(kernel_->SetAutoMagicKey(1), 0);
  ASSERT_EQ(kernel_->StartFlash(&erase_, &image_, kRunInline), 0);
  EXPECT_EQ(radio_->radio().MagicKeysProgrammed(), 1);
  EXPECT_EQ(Closing().code, EVENT_FLASH_DONE);
  EXPECT_TRUE(EventsWithCode(events_, EVENT_MAGIC_KEY_DONE).empty());  // only its result counts
}

TEST_F(FlashTest, EraseOnlyClearsTheRangesAndSkipsEmptyEntries) {
  CRegionList erase;
  erase.Add(kSector, kSector);
  erase.Add(4 * kSector, 0);  // empty: nothing to erase, and no wrapped range
  erase.Add(3 * kSector, 2 * kSector);
  ASSERT_EQ(kernel_->StartFlash(&erase, nullptr, kRunInline), 0);
  EXPECT_EQ(Flash(kSector, kSector), Bytes(kSector, 0xFF));
  EXPECT_EQ(Flash(2 * kSector, kSector), Bytes(kSector, 0x00));
  EXPECT_EQ(Flash(3 * kSector, 2 * kSector), Bytes(2 * kSector, 0xFF));
  EXPECT_EQ(Flash(5 * kSector, kSector), Bytes(kSector, 0x00));
  EXPECT_EQ(RequestsStartingWith("01 07"), 2u);
  EXPECT_EQ(Requests().back(), "01 07 00 03 00 00 00 04 FF FF");
  const auto erase_events = EventsWithCode(recorder_.Events(), EVENT_FLASH_ERASE_PROGRESS);
  ASSERT_EQ(erase_events.size(), 4u);
  EXPECT_EQ(erase_events.back().argument, 3);
  EXPECT_TRUE(EventsWithCode(recorder_.Events(), EVENT_FLASH_PROGRESS).empty());
}

TEST_F(FlashTest, EmptyEraseListGoesStraightToProgramming) {
  CRegionList none;
  ASSERT_TRUE(radio_->radio().SetFlash(kSector, Bytes(3 * kSector, 0xFF)));
  ASSERT_EQ(kernel_->StartFlash(&none, &image_, kRunInline), 0);
  EXPECT_EQ(Flash(kSector, 2 * kSector), ExpectedSectors());
  EXPECT_TRUE(EventsWithCode(recorder_.Events(), EVENT_FLASH_ERASE_PROGRESS).empty());
  EXPECT_EQ(RequestsStartingWith("01 07"), 0u);
}

TEST_F(FlashTest, CancelDuringEraseSendsTheCurrentRequestAndNothingMore) {
  CancelAt([](const DeviceEvent& e) { return e.eventCode == EVENT_FLASH_ERASE_PROGRESS; });
  EXPECT_EQ(kernel_->StartFlash(&erase_, &image_, kRunInline), KERNEL_ERROR_CANCELLED);
  const auto& closing = Closing();
  EXPECT_EQ(closing.code, EVENT_FLASH_CANCELLED);
  EXPECT_EQ(closing.argument, KERNEL_ERROR_CANCELLED);
  EXPECT_EQ(RequestsStartingWith("01 07"), 1u);
  EXPECT_EQ(RequestsStartingWith("01 00"), 0u);
  EXPECT_TRUE(EventsWithCode(events_, EVENT_FLASH_PROGRESS).empty());
}

TEST_F(FlashTest, CancelDuringProgrammingStopsAfterTheCurrentBlock) {
  CancelAt([](const DeviceEvent& e) { return e.eventCode == EVENT_FLASH_PROGRESS && e.argument > 0; });
  EXPECT_EQ(kernel_->StartFlash(&erase_, &image_, kRunInline), KERNEL_ERROR_CANCELLED);
  EXPECT_EQ(Closing().code, EVENT_FLASH_CANCELLED);
  EXPECT_EQ(RequestsStartingWith("01 00"), 1u);
  EXPECT_EQ(Requests().back().substr(0, 5), "01 00");
}

TEST_F(FlashTest, CancelOnTheThreadEndsWithTheCancelledEvent) {
  CancelAt([](const DeviceEvent& e) { return e.eventCode == EVENT_FLASH_PROGRESS && e.argument > 0; });
  ASSERT_EQ(kernel_->StartFlash(&erase_, &image_, kRunOnThread), 0);
  EXPECT_EQ(kernel_->StartFlash(&erase_, &image_, kRunOnThread), KERNEL_ERROR_BUSY);
  ASSERT_TRUE(Eventually([&] { return kernel_->GetBusyState() == 0 && !recorder_.Events().empty() &&
                                      recorder_.Events().back().code == EVENT_FLASH_CANCELLED; }));
  EXPECT_EQ(RequestsStartingWith("01 00"), 1u);
}

struct FlashFault {
  const char* name;
  FaultKind kind;
  int request;
  bool eraseFirst;
  int error;
  std::uint32_t address;  // the failing address in the details, when the error names one
  std::uint16_t sector;
};

void PrintTo(const FlashFault& c, std::ostream* os) { *os << c.name; }

class FlashFaults : public FlashTest, public ::testing::WithParamInterface<FlashFault> {};

TEST_P(FlashFaults, EndInTheNamedError) {
  const auto& c = GetParam();
  radio_->radio().AddFault(Fault{c.kind, 1, c.request});
  CRegionList none;
  if (!c.eraseFirst) {
    ASSERT_TRUE(radio_->radio().SetFlash(kSector, Bytes(3 * kSector, 0xFF)));
  }
  EXPECT_EQ(kernel_->StartFlash(c.eraseFirst ? &erase_ : &none, &image_, kRunInline), c.error);
  const auto& closing = Closing();
  EXPECT_EQ(closing.code, EVENT_FLASH_FAILED);
  EXPECT_EQ(closing.argument, c.error);
  ASSERT_EQ(closing.details, &kernel_->GetErrorDetails());
  EXPECT_EQ(kernel_->GetErrorDetails().address, c.address);
  EXPECT_EQ(kernel_->GetErrorDetails().sector, c.sector);
  EXPECT_EQ(RequestsStartingWith("03 03"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FlashFaults,
    ::testing::Values(FlashFault{"EraseFailure", FaultKind::EraseFailure, 0x0107, true, 34, 0, 1},
                      FlashFault{"EraseProtected", FaultKind::ProtectedSector, 0x0107, true, 32, 0, 1},
                      FlashFault{"ProgramFailure", FaultKind::ProgramFailure, 0x0100, false, 29, kSector, 0},
                      FlashFault{"VerifyError", FaultKind::VerifyError, 0x0100, false, 26, kSector, 0},
                      FlashFault{"ProgramProtected", FaultKind::ProtectedSector, 0x0100, false, 28, kSector, 0}));

TEST_F(FlashTest, RegionWithoutItsBytesIsRefusedBeforeAnythingIsErased) {
  CRegionList image;
  image.Add(kSector, 100, nullptr);
  EXPECT_EQ(kernel_->StartFlash(&erase_, &image, kRunInline), KERNEL_ERROR_UNKNOWN);
  EXPECT_EQ(Closing().code, EVENT_FLASH_FAILED);
  EXPECT_EQ(kernel_->StartSmartFlash(&erase_, &image, kRunInline), KERNEL_ERROR_UNKNOWN);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(Flash(kSector, kSector), Bytes(kSector, 0x00));
}

TEST_F(FlashTest, ProgrammingOverDataThatWasNotErasedFailsVerification) {
  CRegionList none;
  EXPECT_EQ(kernel_->StartFlash(&none, &image_, kRunInline), 26);
  EXPECT_EQ(Closing().code, EVENT_FLASH_FAILED);
}

// ---- smart flash ---------------------------------------------------------------

class SmartFlashTest : public FlashTest {
 protected:
  void Serve(std::uint32_t writeRate, std::uint32_t stallLimitMs = 30000, std::uint32_t bufferSize = 0,
             int baudRate = 115200) {
    radiosim::RadioConfig config;
    config.powerOn = radiosim::PowerOnState::Kernel;
    config.smartWriteRate = writeRate;
    if (bufferSize != 0) config.smartBufferSize = bufferSize;
    // One radio on COM5 at a time: the old one goes first.
    kernel_.reset();
    radio_.reset();
    KernelOpsSerial::Serve(config, baudRate);
    kernel_->SetSmartFlashPacing(QuickPacing(stallLimitMs));
    ASSERT_TRUE(radio_->radio().SetFlash(0, Bytes(8 * kSector, 0x00)));
  }
  void SetUp() override { FlashTest::SetUp(); }
  // Whether the recorder's last event is one of the smart flash's closing events.
  bool HasClosingEvent() const {
    const auto events = recorder_.Events();
    if (events.empty()) return false;
    const auto code = events.back().code;
    return code == EVENT_SMART_FLASH_DONE || code == EVENT_SMART_FLASH_CANCELLED || code == EVENT_SMART_FLASH_FAILED;
  }

  // Deadline for a step of a flash on its own thread (sanitizer build, loaded machine).
  static constexpr std::chrono::milliseconds kSlowStep{60000};
};

TEST_F(SmartFlashTest, LeavesTheSameFlashAsThePlainFlash) {
  // A larger image, given out of address order, through a paced buffer; at
  // the fastest working speed, where its 320 KiB take seconds on the line.
  constexpr int kFastestRate = 460800;
  Bytes big = Pattern(5 * kSector - 300, 3);
  CRegionList image;
  image.Add(2 * kSector + 100, static_cast<std::uint32_t>(second_.size()), second_.data());
  image.Add(3 * kSector, static_cast<std::uint32_t>(big.size()), big.data());
  image.Add(kSector, static_cast<std::uint32_t>(first_.size()), first_.data());
  CRegionList erase;
  erase.Add(kSector, 7 * kSector);

  Serve(0, 30000, 0, kFastestRate);
  ASSERT_EQ(kernel_->StartFlash(&erase, &image, kRunInline), 0);
  const Bytes plain = radio_->radio().FlashImage();

  Serve(2'000'000, 30000, 0, kFastestRate);
  recorder_.Clear();
  ASSERT_EQ(kernel_->StartSmartFlash(&erase, &image, kRunInline), 0) << kernel_->GetErrorDetails().address;
  EXPECT_EQ(radio_->radio().FlashImage(), plain);
  EXPECT_FALSE(radio_->radio().SmartFlashActive());

  const auto events = recorder_.Events();
  EXPECT_EQ(events.back().code, EVENT_SMART_FLASH_DONE);
  EXPECT_EQ(EventsWithCode(events, EVENT_SMART_FLASH_ERASING).size(), 1u);
  const auto streaming = EventsWithCode(events, EVENT_SMART_FLASH_STREAMING);
  ASSERT_FALSE(streaming.empty());
  EXPECT_EQ(streaming.back().argument, streaming.back().total);
  EXPECT_EQ(streaming.back().total, static_cast<std::int32_t>(first_.size() + second_.size() + big.size()));
  const auto flashing = EventsWithCode(events, EVENT_SMART_FLASH_PROGRESS);
  ASSERT_FALSE(flashing.empty());
  EXPECT_EQ(flashing.back().argument, flashing.back().total);
  // Streamed in address order: the first program request is in the lowest
  // entry (past the erased bytes at its start).
  std::vector<std::string> programs;
  for (const auto& r : Requests())
    if (r.rfind("01 00 ", 0) == 0 && r != "01 00 00 00 00 00 00 00") programs.push_back(r);
  ASSERT_FALSE(programs.empty());
  EXPECT_EQ(programs.front().substr(0, 11), "01 00 00 01");
}

TEST_F(SmartFlashTest, ErasedPairsAtBlockStartsAreNotSent) {
  Serve(0);
  Bytes data(3072, 0xFF);
  std::fill(data.begin() + 100, data.end(), 0x42);
  CRegionList image;
  image.Add(kSector, static_cast<std::uint32_t>(data.size()), data.data());
  CRegionList erase;
  erase.Add(kSector, kSector);
  ASSERT_EQ(kernel_->StartSmartFlash(&erase, &image, kRunInline), 0);
  EXPECT_EQ(Flash(kSector, 3072), data);
  EXPECT_EQ(RequestsStartingWith("01 00 00 01 00 64 0B 9C"), 1u);  // 100 bytes on, 2972 long
}

TEST_F(SmartFlashTest, KernelThatNeverFreesItsBufferEndsTheFlashWithAnError) {
  Serve(100'000, 300);
  radio_->radio().AddFault(Fault{FaultKind::Stall, -1, 0x0600});
  Bytes big = Pattern(6 * kSector, 4);
  CRegionList image;
  image.Add(kSector, static_cast<std::uint32_t>(big.size()), big.data());
  EXPECT_EQ(kernel_->StartSmartFlash(nullptr, &image, kRunInline), 16);
  EXPECT_EQ(Closing().code, EVENT_SMART_FLASH_FAILED);
  EXPECT_EQ(Closing().argument, 16);
}

TEST_F(SmartFlashTest, CancelWhileWaitingForFreeSpaceSwitchesTheBufferOff) {
  // A small buffer, so the host reaches its wait for free space soon.
  Serve(100'000, 30000, 0x8000);
  radio_->radio().AddFault(Fault{FaultKind::Stall, -1, 0x0600});
  Bytes big = Pattern(6 * kSector, 5);
  CRegionList image;
  image.Add(kSector, static_cast<std::uint32_t>(big.size()), big.data());
  ASSERT_EQ(kernel_->StartSmartFlash(nullptr, &image, kRunOnThread), 0);
  // The buffer is filled first; only then does the host ask again and
  // again for free space.
  const auto polls = [&] { return radio_->transcript().Count("kernel request 06 00 00"); };
  ASSERT_TRUE(Eventually([&] { return polls() > 3 || kernel_->GetBusyState() == 0; }, kSlowStep));
  ASSERT_GT(polls(), 3u) << "the flash ended first, closing event " << Closing().code << " argument "
                         << Closing().argument;
  kernel_->Abort();
  // Busy clears just before the closing event goes out: wait for both.
  ASSERT_TRUE(Eventually([&] { return kernel_->GetBusyState() == 0 && HasClosingEvent(); }, kSlowStep));
  EXPECT_EQ(Closing().code, EVENT_SMART_FLASH_CANCELLED);
  EXPECT_TRUE(Eventually([&] { return !radio_->radio().SmartFlashActive(); }));
  EXPECT_EQ(Requests().back(), "05 01 00");
}

TEST_F(SmartFlashTest, ProtectedSectorEndsWithTheKernelsError) {
  Serve(0);
  radio_->radio().SetSectorProtected(2, true);
  CRegionList erase;
  erase.Add(kSector, 2 * kSector);
  EXPECT_EQ(kernel_->StartSmartFlash(&erase, &image_, kRunInline), 32);
  EXPECT_EQ(Closing().code, EVENT_SMART_FLASH_FAILED);
  EXPECT_EQ(kernel_->GetErrorDetails().sector, 2);
  EXPECT_TRUE(Eventually([&] { return !radio_->radio().SmartFlashActive(); }));
}

struct SmartFault {
  const char* name;
  int request;
  int error;
  bool switchesOff;  // the flash itself sends the switch-off
};

void PrintTo(const SmartFault& c, std::ostream* os) { *os << c.name; }

class SmartFlashFaults : public SmartFlashTest, public ::testing::WithParamInterface<SmartFault> {};

TEST_P(SmartFlashFaults, EndInTheNamedErrorBeforeAnyData) {
  const auto& c = GetParam();
  Serve(0);
  radio_->radio().AddFault(Fault{FaultKind::ErrorStatus, 1, c.request});
  EXPECT_EQ(kernel_->StartSmartFlash(&erase_, &image_, kRunInline), c.error);
  EXPECT_EQ(Closing().code, EVENT_SMART_FLASH_FAILED);
  EXPECT_EQ(Closing().argument, c.error);
  EXPECT_EQ(RequestsStartingWith("05 01 00"), c.switchesOff ? 1u : 0u);
  EXPECT_EQ(RequestsStartingWith("01 00"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Requests, SmartFlashFaults,
                         ::testing::Values(SmartFault{"SwitchOnRefused", 0x0501, 14, false},
                                           SmartFault{"FreeSpaceRefused", 0x0600, 16, true}));

}  // namespace
