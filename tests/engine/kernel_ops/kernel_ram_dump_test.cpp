// The RAM dump through the radio's running firmware on a pseudo-terminal:
// every announced region read whole, the dump file's layout, and the
// firmware's refusals and bad replies in their named errors.

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/core/buffer_registry.h"
#include "engine/core/file_save_request.h"
#include "engine/core/region_list.h"
#include "engine/images/file_save_workers.h"
#include "ops_fixture.h"
#include "platform/temp_folder.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;
using Bytes = std::vector<std::uint8_t>;

class RamDumpTest : public KernelOpsSerial {
 protected:
  void ServeFirmware(std::vector<radiosim::RamRegionSpec> regions = {}) {
    radiosim::RadioConfig config;
    config.powerOn = radiosim::PowerOnState::Firmware;
    if (!regions.empty()) config.ramRegions = std::move(regions);
    Serve(config);
    list_ = MakeRegionList();
  }
  Bytes Read(const ImageRegion& region) const { return Bytes(region.buffer, region.buffer + region.length); }

  RegionListPtr list_;
};

TEST_F(RamDumpTest, EveryAnnouncedRegionIsReadWhole) {
  ServeFirmware();
  std::uint8_t* stale = GetBufferRegistry().Allocate(16);
  list_->Add(0x42, 16, stale);  // what an earlier dump left: freed, not kept
  ASSERT_EQ(kernel_->StartRamDump(list_.get(), kRunInline), 0);
  const auto regions = radio_->radio().RamRegions();
  ASSERT_EQ(list_->Count(), regions.size());
  std::int32_t total = 0;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    EXPECT_EQ((*list_)[i].address, regions[i].start);
    ASSERT_EQ((*list_)[i].length, regions[i].size);
    EXPECT_EQ(Read((*list_)[i]), radio_->radio().GetRam(regions[i].start, regions[i].size));
    total += static_cast<std::int32_t>(regions[i].size);
  }
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(stale), 0);
  const auto events = recorder_.Events();
  EXPECT_EQ(events.back().code, EVENT_RAM_DUMP_DONE);
  const auto progress = EventsWithCode(events, EVENT_RAM_DUMP_PROGRESS);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress[0].total, 0);
  EXPECT_EQ(progress[1].total, total);
  EXPECT_EQ(progress.back().argument, total);
  EXPECT_EQ(radio_->radio().RamDumpsAnnounced(), 1);
  EXPECT_EQ(radio_->radio().Downloads().size(), 0u);  // no kernel involved
}

TEST_F(RamDumpTest, DumpFileHoldsEachRegionAfterItsAddressAndLength) {
  ServeFirmware({{0x00100000, 0x300}, {0x00200000, 0x40}});
  ASSERT_EQ(kernel_->StartRamDump(list_.get(), kRunInline), 0);
  const std::string folder = platform::MakeTemporaryFolder("quillon-ramdump-");
  ASSERT_FALSE(folder.empty());
  auto request = std::make_unique<FileSaveRequest>();
  request->device = kernel_->Device();
  request->outputFileName = folder + "/dump.ram";
  request->data = list_.get();
  BinarySaveWorker(std::move(request));
  std::ifstream in(folder + "/dump.ram", std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Bytes expected{0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00};
  const Bytes first = radio_->radio().GetRam(0x00100000, 0x300);
  expected.insert(expected.end(), first.begin(), first.end());
  const Bytes secondHead{0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40};
  expected.insert(expected.end(), secondHead.begin(), secondHead.end());
  const Bytes second = radio_->radio().GetRam(0x00200000, 0x40);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(file.size(), 16u + 0x300 + 0x40);
  EXPECT_EQ(file, expected);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

TEST_F(RamDumpTest, FourRegionsWithoutAFourthAnswerAreDumpedAsTwo) {
  ServeFirmware({{0x00100000, 0x100}, {0x00200000, 0x80}, {0x00300000, 0x80}, {0x00400000, 0x80}});
  radio_->radio().AddFault(Fault{FaultKind::RefusedRegion, 1, 0x3203});
  ASSERT_EQ(kernel_->StartRamDump(list_.get(), kRunInline), 0);
  ASSERT_EQ(list_->Count(), 2u);
  EXPECT_EQ((*list_)[1].address, 0x00200000u);
}

struct RamFault {
  const char* name;
  FaultKind kind;
  int request;
  int error;
};

void PrintTo(const RamFault& c, std::ostream* os) { *os << c.name; }

class RamDumpFaults : public RamDumpTest, public ::testing::WithParamInterface<RamFault> {};

TEST_P(RamDumpFaults, EndInTheNamedErrorAndKeepNoHalfRegion) {
  const auto& c = GetParam();
  ServeFirmware();
  radio_->radio().AddFault(Fault{c.kind, 1, c.request});
  const auto before = GetBufferRegistry().Size();
  EXPECT_EQ(kernel_->StartRamDump(list_.get(), kRunInline), c.error);
  const auto& closing = Closing();
  EXPECT_EQ(closing.code, EVENT_RAM_DUMP_FAILED);
  EXPECT_EQ(closing.argument, c.error);
  EXPECT_TRUE(list_->Empty());
  EXPECT_EQ(GetBufferRegistry().Size(), before);
  if (c.error == 77) {
    EXPECT_EQ(kernel_->GetErrorDetails().detail1, 0x00100000u);
    EXPECT_EQ(kernel_->GetErrorDetails().detail2, 0x00100000u + 511);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RamDumpFaults,
    ::testing::Values(RamFault{"RefusedRegion", FaultKind::RefusedRegion, 0x3200, 75},
                      RamFault{"OversizedRegion", FaultKind::OversizedRegion, 0x3200, 76},
                      RamFault{"RefusedRead", FaultKind::RefusedRegion, 0x3300, 77},
                      RamFault{"WrongReadLength", FaultKind::WrongReadLength, 0x3300, 77}));

TEST_F(RamDumpTest, CancelStopsAfterTheCurrentRead) {
  ServeFirmware();
  CancelAt([](const DeviceEvent& e) { return e.eventCode == EVENT_RAM_DUMP_PROGRESS && e.argument == 1024; });
  EXPECT_EQ(kernel_->StartRamDump(list_.get(), kRunInline), KERNEL_ERROR_CANCELLED);
  EXPECT_EQ(Closing().code, EVENT_RAM_DUMP_CANCELLED);
  EXPECT_TRUE(list_->Empty());
  EXPECT_EQ(radio_->transcript().Count("firmware request 33"), 2u);
}

}  // namespace
