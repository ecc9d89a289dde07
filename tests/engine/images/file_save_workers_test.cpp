// The read-back save workers: the S-record file and the RAM-dump file, their
// result events, and that a failed save leaves nothing under the target's
// name.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "engine/core/error_record.h"
#include "engine/core/finish_record.h"
#include "engine/core/region_list.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/images/file_save_workers.h"
#include "engine/images/srecord_file.h"
#include "image_test_support.h"
#include "platform/target_registry.h"

namespace {

using images_test::Bytes;
using images_test::Line;
using images_test::Ramp;
using images_test::TempDir;

constexpr DeviceNumber kDevice = 129;  // COM3

class FileSaveWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTargetThread(PT_CORE, core_.handle());
    regions_ = MakeRegionList();
  }
  void TearDown() override { SetTargetThread(PT_CORE, platform::kNoHandle); }

  void AddRegion(std::uint32_t address, const std::vector<std::uint8_t>& data) {
    std::uint8_t* buffer = GetBufferRegistry().Allocate(data.size());
    std::copy(data.begin(), data.end(), buffer);
    regions_->Add(address, static_cast<std::uint32_t>(data.size()), buffer);
  }

  std::unique_ptr<FileSaveRequest> Request(const std::string& path, std::uint32_t output, std::uint32_t base,
                                           std::uint8_t recordLength = 21) {
    auto request = std::make_unique<FileSaveRequest>();
    request->device = kDevice;
    request->outputFileName = path;
    request->outputAddress = output;
    request->readBaseAddress = base;
    request->recordLength = recordLength;
    request->data = regions_.get();
    return request;
  }

  // The one result the worker posted: "finished <event>" or "error <event> <code>".
  std::string Result() {
    auto message = core_.queue().TakeMatching(WM_JOB_FINISHED, WM_JOB_ERROR, std::chrono::seconds(5));
    if (!message) return "(none)";
    if (message->number == WM_JOB_FINISHED) {
      auto record = message->Take<WM_JOB_FINISHED>();
      if (!record || record->device != kDevice) return "(bad finish record)";
      return "finished " + std::to_string(record->eventCode);
    }
    auto record = message->Take<WM_JOB_ERROR>();
    if (!record || record->device != kDevice) return "(bad error record)";
    return "error " + std::to_string(record->eventCode) + " " + std::to_string(record->errorCode);
  }

  TempDir dir_;
  platform::RegisteredQueue core_;
  RegionListPtr regions_;
};

TEST_F(FileSaveWorkerTest, SRecordFileHoldsHeaderShiftedRegionsAndEnd) {
  AddRegion(0x00410000, Ramp(20));
  AddRegion(0x00420000, Ramp(3, 7));
  const std::string path = dir_.File("read.s19");
  EXPECT_EQ(SRecordSaveWorker(Request(path, 0x10000000, 0x00400000)), 1);
  EXPECT_EQ(Result(), "finished 58");
  const auto data = Ramp(20);
  EXPECT_EQ(images_test::ReadFile(path),
            Line(0, 0, Bytes("Quillon")) + "\r\n" +
                Line(3, 0x10010000, std::vector<std::uint8_t>(data.begin(), data.begin() + 16)) + "\r\n" +
                Line(3, 0x10010010, std::vector<std::uint8_t>(data.begin() + 16, data.end())) + "\r\n" +
                Line(3, 0x10020000, Ramp(3, 7)) + "\r\n" + Line(7, 0x10000000, {}) + "\r\n");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"read.s19"});
}

TEST_F(FileSaveWorkerTest, SRecordFileReadsBackThroughTheReader) {
  AddRegion(0x2000, Ramp(1000));
  const std::string path = dir_.File("read.s19");
  SRecordSaveWorker(Request(path, 0x2000, 0x2000, 40));
  EXPECT_EQ(Result(), "finished 58");
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeRead);
  std::vector<std::uint8_t> buffer(2000);
  std::uint32_t address, type, length;
  file.ReadSRecordBlock(buffer.data(), 2000, address, type, length);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + length), "Quillon");
  file.ReadSRecordBlock(buffer.data(), 2000, address, type, length);
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(address, 0x2000u);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + length), Ramp(1000));
}

TEST_F(FileSaveWorkerTest, FailedSRecordSaveLeavesTheTargetAsItWas) {
  AddRegion(0x1000, Ramp(100));
  const std::string path = dir_.File("keep.s19");
  images_test::WriteFile(path, "earlier read-back");
  // A record length with no room for a data byte is refused.
  SRecordSaveWorker(Request(path, 0x1000, 0x1000, 5));
  EXPECT_EQ(Result(), "error 59 205");
  EXPECT_EQ(images_test::ReadFile(path), "earlier read-back");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"keep.s19"});

  SRecordSaveWorker(Request(dir_.File("no/such/folder/x.s19"), 0x1000, 0x1000));
  EXPECT_EQ(Result(), "error 59 201");
}

TEST_F(FileSaveWorkerTest, RamDumpIsAddressLengthAndBytesPerRegion) {
  AddRegion(0x20000000, Ramp(5));
  AddRegion(0x20001000, Ramp(300, 9));
  const std::string path = dir_.File("dump.ram");
  EXPECT_EQ(BinarySaveWorker(Request(path, 0, 0)), 1);
  EXPECT_EQ(Result(), "finished 58");
  const std::string dump = images_test::ReadFile(path);
  ASSERT_EQ(dump.size(), 16u + 5 + 300);
  EXPECT_EQ(dump.substr(0, 8), std::string("\x20\x00\x00\x00\x00\x00\x00\x05", 8));
  EXPECT_EQ(dump.substr(8, 5), std::string(reinterpret_cast<const char*>(Ramp(5).data()), 5));
  EXPECT_EQ(dump.substr(13, 8), std::string("\x20\x00\x10\x00\x00\x00\x01\x2C", 8));
  const auto second = Ramp(300, 9);
  EXPECT_EQ(dump.substr(21), std::string(second.begin(), second.end()));
}

TEST_F(FileSaveWorkerTest, FailedRamDumpIsErrorCreatingFile) {
  AddRegion(0x20000000, Ramp(5));
  BinarySaveWorker(Request(dir_.File("missing/dump.ram"), 0, 0));
  EXPECT_EQ(Result(), "error 59 201");
  EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(FileSaveWorkerTest, StartedWorkersRunOnTheirOwnThreads) {
  AddRegion(0x1000, Ramp(10));
  StartSRecordSaveWorker(Request(dir_.File("a.s19"), 0x1000, 0x1000));
  EXPECT_EQ(Result(), "finished 58");
  StartBinarySaveWorker(Request(dir_.File("b.ram"), 0, 0));
  EXPECT_EQ(Result(), "finished 58");
  EXPECT_EQ(images_test::ReadFile(dir_.File("b.ram")).size(), 18u);
}

}  // namespace
