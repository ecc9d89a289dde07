// The image-file load worker: plain images keep their addresses, flashpack,
// theme-pack and CSD files move into their allocations, and every failure
// ends in its result code with WM_FILE_LOADED posted back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "engine/core/job_options.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/images/file_load_worker.h"
#include "image_test_support.h"
#include "platform/target_registry.h"

namespace {

using images_test::Bytes;
using images_test::Line;
using images_test::Ramp;
using images_test::TempDir;

SectorList Sectors(std::vector<SectorEntry> entries) {
  SectorList list;
  list.sectors = std::move(entries);
  return list;
}

// The product: CODE 0x10000000-0x1003FFFF, FLASHPACK 0x10040000-0x1005FFFF,
// CSD 0x10060000-0x10060FFF, DATA 0x10061000-0x10061FFF.
SectorList ProductSectors(bool withThemePack = false) {
  std::vector<SectorEntry> entries;
  for (std::uint32_t i = 0; i < 4; ++i) entries.push_back({0x10000000 + i * 0x10000, 0x10000, "CODE", 0});
  entries.push_back({0x10040000, 0x10000, "FLASHPACK", 0});
  entries.push_back({0x10050000, 0x10000, "FLASHPACK", 0});
  entries.push_back({0x10060000, 0x1000, "CSD", 0});
  entries.push_back({0x10061000, 0x1000, "DATA", 0});
  if (withThemePack) entries.push_back({0x10070000, 0x8000, "THEMEPACK", 0});
  return Sectors(entries);
}

struct LoadedRegion {
  std::uint32_t address;
  std::vector<std::uint8_t> data;
  bool operator==(const LoadedRegion&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LoadedRegion& r) {
  return out << "{0x" << std::hex << r.address << std::dec << ", " << r.data.size() << " bytes}";
}

class FileLoadWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTargetThread(PT_CORE, core_.handle());
    SetTargetThread(PT_USER_IO, log_.handle());
    options_.SetSectorList(ProductSectors());
  }
  void TearDown() override {
    SetTargetThread(PT_CORE, platform::kNoHandle);
    SetTargetThread(PT_USER_IO, platform::kNoHandle);
  }

  std::string WriteImage(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    const std::string path = dir_.File("image.s19");
    images_test::WriteFile(path, text);
    return path;
  }

  // Runs the worker on a request for the file and takes the request back.
  std::unique_ptr<FileLoadRequest> Load(const std::string& path, int overrideChecksum = 0) {
    auto request = std::make_unique<FileLoadRequest>();
    request->fileName = path;
    request->sequenceNumber = 17;
    request->overrideChecksum = overrideChecksum;
    request->options = &options_;
    EXPECT_EQ(FileLoadWorker(std::move(request)), 1);
    auto message = core_.queue().TakeMatching(WM_FILE_LOADED, WM_FILE_LOADED, std::chrono::seconds(5));
    if (!message) {
      ADD_FAILURE() << "no WM_FILE_LOADED";
      return nullptr;
    }
    auto back = message->Take<WM_FILE_LOADED>();
    EXPECT_NE(back, nullptr);
    if (back) {
      EXPECT_EQ(back->sequenceNumber, 17);
    }
    return back;
  }

  static std::vector<LoadedRegion> Regions(const FileLoadRequest& request) {
    std::vector<LoadedRegion> regions;
    if (!request.image) return regions;
    for (const auto& r : *request.image) {
      regions.push_back({r.address, std::vector<std::uint8_t>(r.buffer, r.buffer + r.length)});
    }
    return regions;
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    while (auto message = log_.queue().TryGet()) {
      if (auto text = message->Take<WM_LOG_LINE>()) lines.push_back(*text);
    }
    return lines;
  }

  TempDir dir_;
  CJobOptions options_;
  platform::RegisteredQueue core_;
  platform::RegisteredQueue log_;
};

const std::string kPlainHeader = Line(0, 0, Bytes("Quillon firmware"));
const std::string kEnd = Line(7, 0, {});

TEST_F(FileLoadWorkerTest, PlainImageKeepsItsAddressesWithTheFlashTopBits) {
  auto request = Load(WriteImage({kPlainHeader, Line(3, 0x00001000, Ramp(32)), Line(3, 0x00001020, Ramp(16, 32)),
                                  Line(3, 0x10002000, Ramp(8)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);
  EXPECT_EQ(request->flashpack, 0);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x10001000, Ramp(48)}, {0x10002000, Ramp(8)}}));
  // Each region's buffer is a registry buffer with one reference, the loader's.
  for (const auto& r : *request->image) EXPECT_EQ(GetBufferRegistry().ReferenceCount(r.buffer), 1);
}

TEST_F(FileLoadWorkerTest, PlainImageWithoutHeaderLosesNoData) {
  auto request = Load(WriteImage({Line(3, 0x10000000, Ramp(200)), Line(3, 0x10000000 + 200, Ramp(100, 200)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x10000000, Ramp(300)}}));
}

TEST_F(FileLoadWorkerTest, ImageWithoutDataLoadsEmpty) {
  for (const auto& lines : {std::vector<std::string>{kPlainHeader, kEnd}, std::vector<std::string>{kEnd}}) {
    auto request = Load(WriteImage(lines));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->result, 0);
    EXPECT_TRUE(Regions(*request).empty());
  }
}

TEST_F(FileLoadWorkerTest, PlainDataAcrossAllocationsIsSplitAtTheirBoundary) {
  auto request = Load(WriteImage({kPlainHeader, Line(3, 0x1003FFF0, Ramp(32)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x1003FFF0, Ramp(16)}, {0x10040000, Ramp(16, 16)}}));
}

TEST_F(FileLoadWorkerTest, PlainImageOutsideEverySectorFailsWithTheAddress) {
  auto request = Load(WriteImage({kPlainHeader, Line(3, 0x00001000, Ramp(4)), Line(3, 0x00080000, Ramp(4)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, ADDRESS_OUT_OF_RANGE);
  EXPECT_EQ(static_cast<std::uint32_t>(request->resultDetail), 0x10080000u);
}

TEST_F(FileLoadWorkerTest, FlashPackFromAddressZeroGoesToTheFlashpackAllocation) {
  auto request = Load(WriteImage({Line(0, 0, Bytes("FlashPack v2")), Line(3, 0, Ramp(64)), Line(3, 0x100, Ramp(4)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);
  EXPECT_EQ(request->flashpack, 1);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x10040000, Ramp(64)}, {0x10040100, Ramp(4)}}));
}

TEST_F(FileLoadWorkerTest, RelocationIsAgainstTheFirstDataAddress) {
  auto request = Load(WriteImage({Line(0, 0, Bytes("CSD data")), Line(3, 0x00200000, Ramp(16)), Line(3, 0x00200400, Ramp(4)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);
  EXPECT_EQ(request->flashpack, 0);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x10060000, Ramp(16)}, {0x10060400, Ramp(4)}}));
}

TEST_F(FileLoadWorkerTest, ThemePackUsesItsOwnAllocationOrElseTheFlashpackOne) {
  const std::vector<std::string> lines = {Line(0, 0, Bytes("ThemePack")), Line(3, 0x500, Ramp(8)), kEnd};
  auto request = Load(WriteImage(lines));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->flashpack, 1);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x10040000, Ramp(8)}}));

  options_.SetSectorList(ProductSectors(true));
  request = Load(WriteImage(lines));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->flashpack, 1);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x10070000, Ramp(8)}}));
}

TEST_F(FileLoadWorkerTest, LaterHeaderOverridesAnEarlierOne) {
  auto request = Load(WriteImage({Line(0, 0, Bytes("FlashPack")), Line(0, 0, Bytes("Plain after all")),
                                  Line(3, 0x10000000, Ramp(4)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->flashpack, 0);
  EXPECT_EQ(Regions(*request), (std::vector<LoadedRegion>{{0x10000000, Ramp(4)}}));
}

TEST_F(FileLoadWorkerTest, RelocatedFileLongerThanItsAllocationFailsAtTheFirstAddressPastIt) {
  // 0x20000 bytes of FLASHPACK room; the file holds one record more.
  std::vector<std::string> lines = {Line(0, 0, Bytes("FlashPack"))};
  const auto chunk = Ramp(0x80);
  for (std::uint32_t at = 0; at < 0x20010; at += 0x80) lines.push_back(Line(3, at, chunk));
  lines.push_back(kEnd);
  auto request = Load(WriteImage(lines));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, ADDRESS_OUT_OF_RANGE);
  EXPECT_EQ(static_cast<std::uint32_t>(request->resultDetail), 0x10060000u);
  for (const auto& r : *request->image) EXPECT_LE(std::uint64_t{r.address} + r.length, 0x10060000u);
}

TEST_F(FileLoadWorkerTest, RelocatedDataBelowItsBaseFails) {
  auto request = Load(WriteImage({Line(0, 0, Bytes("CSD")), Line(3, 0x1000, Ramp(8)), Line(3, 0x0F00, Ramp(8)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, ADDRESS_OUT_OF_RANGE);
  EXPECT_EQ(static_cast<std::uint32_t>(request->resultDetail), 0x1005FF00u);
}

struct RecordTypeCase {
  std::string line;
  int result;
};

TEST_F(FileLoadWorkerTest, OnlyS3DataAndTheS7EndAreAccepted) {
  const RecordTypeCase cases[] = {
      {Line(1, 0x1000, Ramp(4)), 208}, {Line(2, 0x1000, Ramp(4)), 208}, {Line(8, 0, {}), 208},
      {Line(9, 0, {}), 208},           {Line(0, 0, Bytes("late")), 208}, {"S5030001FB", 210},
  };
  for (const auto& c : cases) {
    auto request = Load(WriteImage({kPlainHeader, Line(3, 0x10000000, Ramp(4)), c.line, kEnd}));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->result, c.result) << c.line;
    // Also behind a data record without data.
    request = Load(WriteImage({kPlainHeader, Line(3, 0x10000000, {}), c.line, kEnd}));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->result, c.result) << "after an empty record: " << c.line;
  }
  auto request = Load(WriteImage({kPlainHeader, Line(3, 0x10000000, {}), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);
  EXPECT_TRUE(Regions(*request).empty());
}

TEST_F(FileLoadWorkerTest, ReaderFailuresBecomeTheResult) {
  auto request = Load(dir_.File("missing.s19"));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 202);

  const std::vector<std::string> badChecksum = {kPlainHeader, Line(3, 0x10000000, Ramp(4), 1), kEnd};
  request = Load(WriteImage(badChecksum));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 211);
  request = Load(WriteImage(badChecksum), 1);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);

  request = Load(WriteImage({kPlainHeader, Line(3, 0x10000000, Ramp(4))}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 206);
}

TEST_F(FileLoadWorkerTest, MissingProductOrAllocationIsResultOneWithItsLogLine) {
  auto request = Load(WriteImage({Line(0, 0, Bytes("CSD")), Line(3, 0, Ramp(4)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, 0);

  options_.SetSectorList(Sectors({{0x10000000, 0x1000, "CODE", 0}}));
  request = Load(WriteImage({Line(0, 0, Bytes("CSD")), Line(3, 0, Ramp(4)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, KERNEL_ERROR_UNKNOWN);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"Error> No allocation for CSD in .qlp file"});

  options_.SetSectorList(SectorList{});
  request = Load(WriteImage({kPlainHeader, Line(3, 0, Ramp(4)), kEnd}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->result, KERNEL_ERROR_UNKNOWN);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"Error> No product is selected"});
}

TEST_F(FileLoadWorkerTest, StartedWorkerPostsTheRequestBackFromItsOwnThread) {
  auto request = std::make_unique<FileLoadRequest>();
  request->fileName = WriteImage({kPlainHeader, Line(3, 0x10000000, Ramp(4)), kEnd});
  request->sequenceNumber = 5;
  request->options = &options_;
  StartFileLoadWorker(std::move(request));
  auto message = core_.queue().TakeMatching(WM_FILE_LOADED, WM_FILE_LOADED, std::chrono::seconds(10));
  ASSERT_TRUE(message);
  auto back = message->Take<WM_FILE_LOADED>();
  ASSERT_TRUE(back);
  EXPECT_EQ(back->sequenceNumber, 5);
  EXPECT_EQ(back->result, 0);
  EXPECT_EQ(Regions(*back), (std::vector<LoadedRegion>{{0x10000000, Ramp(4)}}));
}

}  // namespace
