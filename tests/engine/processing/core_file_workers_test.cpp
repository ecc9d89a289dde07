// The core processing thread with the program's own file workers: image
// files loaded at the product's addresses, a missing one failing with 60
// until Retry finds it, and read-back images saved to files.

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core_thread_harness.h"
#include "engine/core/messages.h"

using namespace test_support;

namespace {

std::vector<SectorEntry> ProductSectors() {
  return {{0x10000, 0x10000, "CODE", 1}, {0x20000, 0x10000, "CODE", 0}, {0x30000, 0x10000, "DATA", 0}};
}

std::unique_ptr<FileJobPayload> FlashPayload(const std::string& file) {
  auto payload = std::make_unique<FileJobPayload>();
  payload->imageFileName = file;
  SectorList list;
  list.processorName = "HARROW";
  list.sectors = ProductSectors();
  payload->options.SetSectorList(list);
  return payload;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FileWorkersTest : public CoreThreadTest {
 protected:
  void Start() { StartCore({}, nullptr, {}, true); }
};

TEST_F(FileWorkersTest, LoadedImageReachesTheStarterWithItsRegions) {
  const std::string image = folder_.File("image.s19");
  WriteSRecordFile(image, {{0x10000, Pattern(300, 9)}, {0x20100, Pattern(40, 3)}}, 0x10000);
  Start();
  Queue(WM_FLASH, kCom1, FlashPayload(image));
  ASSERT_TRUE(WaitDispatched(kCom1, 1)) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitLog("File " + image + " successfully loaded into RAM"));
  EXPECT_EQ(dispatch_->Copy()[0].loadedRegions, 2u);
}

TEST_F(FileWorkersTest, MissingImageFailsWith60AndRetryLoadsItOnceItIsThere) {
  const std::string image = folder_.File("later.s19");
  Start();
  Queue(WM_FLASH, kCom2, FlashPayload(image));
  ASSERT_TRUE(shell_.WaitLog("Error Opening File " + image));
  ASSERT_TRUE(shell_.WaitLog("COM2> ERROR: "));
  EXPECT_TRUE(shell_.WaitStatus(kCom2, EVENT_STATUS_FILE_OPEN_FAILED));
  EXPECT_EQ(dispatch_->Total(), 0u);

  WriteSRecordFile(image, {{0x30000, Pattern(64, 1)}}, 0x30000);
  Post(WM_RETRY_DEVICE, kCom2);
  ASSERT_TRUE(WaitDispatched(kCom2, 1)) << shell_.AllLogs();
  EXPECT_EQ(dispatch_->Copy()[0].loadedRegions, 1u);
}

TEST_F(FileWorkersTest, ReadBackIsSavedAsAnSRecordFileBeforeTheItemFinishes) {
  Start();
  const std::string out = folder_.File("readback.s19");
  auto payload = std::make_unique<ReadBackPayload>();
  payload->outputFileName = out;
  payload->outputAddress = 0x10000;
  payload->readBaseAddress = 0x10000;
  payload->recordLength = 21;
  payload->regions = MakeRegionList();
  std::uint8_t* buffer = GetBufferRegistry().Allocate(32);
  for (int i = 0; i < 32; ++i) buffer[i] = static_cast<std::uint8_t>(i);
  payload->regions->Add(0x10000, 32, buffer);
  Queue(WM_REVERSE_FLASH, kCom1, std::move(payload));
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Post(WM_SAVE_READ_FILE, kCom1);  // what the read-back's done event posts
  ASSERT_TRUE(shell_.WaitLog("COM1> Item finished with sequence number 0")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(kCom1, EVENT_STATUS_READ_FILE_SAVED));
  const std::string text = ReadFile(out);
  EXPECT_EQ(text.rfind("S0", 0), 0u);
  EXPECT_NE(text.find("S3"), std::string::npos);
  EXPECT_NE(text.find("S7"), std::string::npos);
}

TEST_F(FileWorkersTest, RamDumpIsSavedAsBlocksOfAddressLengthAndData) {
  Start();
  const std::string out = folder_.File("dump.ram");
  auto payload = std::make_unique<RamDumpPayload>();
  payload->outputFileName = out;
  payload->regions = MakeRegionList();
  payload->regions->Add(0x20000000, 4, GetBufferRegistry().Allocate(4));
  payload->regions->Add(0x20001000, 8, GetBufferRegistry().Allocate(8));
  Queue(WM_RAM_DUMP, kCom1, std::move(payload));
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Post(WM_SAVE_READ_FILE, kCom1);
  ASSERT_TRUE(shell_.WaitLog("COM1> Item finished with sequence number 0")) << shell_.AllLogs();
  EXPECT_EQ(std::filesystem::file_size(out), 16u + 4u + 8u);
}

TEST_F(FileWorkersTest, AFailedSaveLeavesTheDeviceInErrorAndRetrySavesAgain) {
  Start();
  const std::filesystem::path blocked = folder_.Path() / "missing-folder" / "readback.s19";
  auto payload = std::make_unique<ReadBackPayload>();
  payload->outputFileName = blocked.string();
  payload->recordLength = 21;
  payload->regions = MakeRegionList();
  payload->regions->Add(0x10000, 16, GetBufferRegistry().Allocate(16));
  Queue(WM_REVERSE_FLASH, kCom3, std::move(payload));
  ASSERT_TRUE(WaitDispatched(kCom3, 1));
  Post(WM_SAVE_READ_FILE, kCom3);
  ASSERT_TRUE(shell_.WaitLog("COM3> ERROR: ")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(kCom3, EVENT_STATUS_READ_FILE_SAVE_FAILED));

  std::filesystem::create_directories(blocked.parent_path());
  Post(WM_RETRY_DEVICE, kCom3);
  ASSERT_TRUE(shell_.WaitLog("COM3> Item finished with sequence number 0")) << shell_.AllLogs();
  EXPECT_TRUE(std::filesystem::exists(blocked));
  EXPECT_EQ(dispatch_->Count(kCom3), 1u) << "Retry saved again without reading the radio again";
}

}  // namespace
