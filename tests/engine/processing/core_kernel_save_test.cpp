// Kernel images read for every request, and the read-back save that keeps
// its entry (and the data it writes) until it is done.

#include <filesystem>

#include "core_thread_harness.h"
#include "engine/core/messages.h"
#include "engine/images/srecord_error.h"

using namespace test_support;

namespace {

TEST_F(CoreThreadTest, MissingKernelFileRefusesTheRequestWithoutUsingASequenceNumber) {
  std::filesystem::remove(folder_.File("biselkrnl.s19"));
  StartCore();
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(shell_.WaitLog("Error> "));
  ASSERT_TRUE(shell_.WaitUntil([&] {
    for (const auto& r : shell_.Reports()) {
      if (r.state == STATUS_ERROR) return true;
    }
    return false;
  }));
  WriteKernelFiles(folder_);
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(shell_.WaitLog("COM1> Queueing item with sequence number 0"));
  EXPECT_TRUE(WaitDispatched(kCom1, 1));
}

TEST_F(CoreThreadTest, AMissingKernelFileIsNamedAndACancelledRetryTellsTheWindow) {
  std::filesystem::remove(folder_.File("harrowkrnl.s19"));
  StartCore();  // the stand-in answers the Retry/Cancel box with Cancel
  Queue(WM_REVERSE_FLASH, kCom1, Options(), 1);
  ASSERT_TRUE(shell_.WaitLog("Error> Error opening file " + folder_.File("harrowkrnl.s19")));
  ASSERT_TRUE(shell_.WaitRefusal(WM_REVERSE_FLASH, true));
  ASSERT_EQ(shell_.Prompts().size(), 1u);
  EXPECT_EQ(shell_.Prompts()[0].kind, PROMPT_RETRY_CANCEL);
}

// Every missing kernel file is named in one line and one box, not one
// file per retry.
TEST_F(CoreThreadTest, AllMissingKernelFilesAreNamedInOneBox) {
  std::filesystem::remove(folder_.File("calderkrnl.s19"));
  std::filesystem::remove(folder_.File("biselkrnl.s19"));
  StartCore();  // the stand-in answers the Retry/Cancel box with Cancel
  Queue(WM_REVERSE_FLASH, kCom1, Options(), 1);
  ASSERT_TRUE(shell_.WaitLog("Error> Error opening file " + folder_.File("calderkrnl.s19") + ", " +
                             folder_.File("biselkrnl.s19")));
  ASSERT_TRUE(shell_.WaitRefusal(WM_REVERSE_FLASH, true));
  EXPECT_EQ(shell_.Prompts().size(), 1u);
}

TEST_F(CoreThreadTest, InteractiveRequestRetriesTheKernelFilesWhenTheUserSaysRetry) {
  std::filesystem::remove(folder_.File("harrowkrnl.s19"));
  shell_.promptAnswer = [this] {
    WriteKernelFiles(folder_);
    return 4;
  };
  StartCore();
  Queue(WM_COMM_CHECK, kCom1, Options(), 1);
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  ASSERT_EQ(shell_.Prompts().size(), 1u);
  EXPECT_EQ(shell_.Prompts()[0].kind, PROMPT_RETRY_CANCEL);
  EXPECT_EQ(shell_.Prompts()[0].replyTarget, PT_CORE);
}

struct BadKernel {
  const char* name;
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> blocks;
};

class BadKernelTest : public CoreThreadTest, public ::testing::WithParamInterface<int> {};

// A kernel that does not fit its buffer or is not one block is refused, and
// the kernels read before stay in use.
TEST_P(BadKernelTest, IsAnErrorAndTheEarlierKernelsStay) {
  StartCore();
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Finish(kCom1, EVENT_COMM_CHECK_DONE);
  ASSERT_TRUE(shell_.WaitLog("Item finished"));

  const std::vector<BadKernel> cases = {
      {"too large", {{0x20000000u, Pattern(kKernelBufferSize + 16, 3)}}},
      {"two blocks", {{0x20000000u, Pattern(512, 3)}, {0x20010000u, Pattern(512, 4)}}},
  };
  const BadKernel& bad = cases[static_cast<std::size_t>(GetParam())];
  WriteSRecordFile(folder_.File("harrowkrnl.s19"), bad.blocks, 0x20000000u);
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(shell_.WaitLog("Error> ")) << bad.name;
  Flush();
  EXPECT_EQ(shell_.CountLogs("Queueing item with sequence number 1"), 0u) << bad.name;

  WriteKernelFiles(folder_, 4096);
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(WaitDispatched(kCom1, 2));
  EXPECT_EQ(dispatch_->Copy()[0].harrowKernelLength, 2048u);
  EXPECT_EQ(dispatch_->Copy()[1].harrowKernelLength, 4096u);
}

INSTANTIATE_TEST_SUITE_P(Kernels, BadKernelTest, ::testing::Values(0, 1));

std::unique_ptr<ReadBackPayload> ReadBack(const std::string& file, std::uint8_t** buffer) {
  auto payload = std::make_unique<ReadBackPayload>();
  payload->outputFileName = file;
  payload->regions = MakeRegionList();
  *buffer = GetBufferRegistry().Allocate(128);
  payload->regions->Add(0x1000, 128, *buffer);
  return payload;
}

TEST_F(CoreThreadTest, CancelDuringASaveSparesTheEntryUntilTheSaveEnds) {
  StartCore();
  std::uint8_t* buffer = nullptr;
  Queue(WM_REVERSE_FLASH, kCom1, ReadBack(folder_.File("read.s19"), &buffer));
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Post(WM_SAVE_READ_FILE, kCom1);  // the read-back is done
  ASSERT_TRUE(shell_.WaitUntil([&] { return loader_->Saves() == 1; }));
  ASSERT_TRUE(shell_.WaitLog("COM1> Starting file save " + folder_.File("read.s19")));

  Post(WM_CANCEL_DEVICE, kCom1);
  ASSERT_TRUE(shell_.WaitLog("COM1> User-initiated Cancel"));
  Flush();
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(buffer), 1) << "the save still reads the entry's data";
  {
    std::lock_guard lock(loader_->mutex);
    EXPECT_EQ(loader_->saves[0]->data->Count(), 1u);
    EXPECT_EQ((*loader_->saves[0]->data)[0].buffer, buffer);
  }
  Finish(kCom1, EVENT_STATUS_READ_FILE_SAVED);
  ASSERT_TRUE(shell_.WaitLog("COM1> Item finished with sequence number 0"));
  EXPECT_TRUE(shell_.WaitUntil([&] { return GetBufferRegistry().ReferenceCount(buffer) == 0; }));
}

TEST_F(CoreThreadTest, RetriedSaveKeepsTheDeviceBusyAndItsDataAlive) {
  StartCore();
  std::uint8_t* buffer = nullptr;
  Queue(WM_REVERSE_FLASH, kCom2, ReadBack(folder_.File("read.s19"), &buffer));
  Queue(WM_COMM_CHECK, kCom2, Options());
  ASSERT_TRUE(WaitDispatched(kCom2, 1));
  Post(WM_SAVE_READ_FILE, kCom2);
  ASSERT_TRUE(shell_.WaitUntil([&] { return loader_->Saves() == 1; }));
  Fail(kCom2, EVENT_STATUS_READ_FILE_SAVE_FAILED, SREC_CREATE_ERROR);  // the save failed
  ASSERT_TRUE(shell_.WaitLog("COM2> ERROR:"));

  Post(WM_RETRY_DEVICE, kCom2);
  ASSERT_TRUE(shell_.WaitUntil([&] { return loader_->Saves() == 2; }));
  // While the save runs again, a cancel neither frees its data nor lets the
  // next entry start.
  Post(WM_CANCEL_DEVICE, kCom2);
  ASSERT_TRUE(shell_.WaitLogCount("COM2> User-initiated Cancel", 1));
  Flush();
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(buffer), 1);
  EXPECT_EQ(dispatch_->Count(kCom2), 1u);
  Finish(kCom2, EVENT_STATUS_READ_FILE_SAVED);
  ASSERT_TRUE(WaitDispatched(kCom2, 2));
  EXPECT_EQ(dispatch_->Copy()[1].jobCode, WM_COMM_CHECK);
}

// A save that failed has ended: Cancel (or STATUS RESET) drops its entry
// with its data, and the device's next job starts.
class FailedSaveTest : public CoreThreadTest {
 protected:
  void DropAndRunNext(std::uint32_t cancel) {
    StartCore();
    std::uint8_t* buffer = nullptr;
    Queue(WM_REVERSE_FLASH, kCom2, ReadBack(folder_.File("read.s19"), &buffer));
    ASSERT_TRUE(WaitDispatched(kCom2, 1));
    Post(WM_SAVE_READ_FILE, kCom2);
    ASSERT_TRUE(shell_.WaitUntil([&] { return loader_->Saves() == 1; }));
    {
      std::lock_guard lock(loader_->mutex);
      loader_->saves.clear();  // the save worker has ended
    }
    Fail(kCom2, EVENT_STATUS_READ_FILE_SAVE_FAILED, SREC_CREATE_ERROR);
    ASSERT_TRUE(shell_.WaitLog("COM2> ERROR:"));
    Post(cancel, kCom2);
    ASSERT_TRUE(shell_.WaitLog("COM2> Cancelled 1 queued item(s)"));
    Queue(WM_COMM_CHECK, kCom2, Options());
    ASSERT_TRUE(WaitDispatched(kCom2, 2));
    EXPECT_EQ(dispatch_->Copy().back().jobCode, WM_COMM_CHECK);
    EXPECT_TRUE(shell_.WaitUntil([&] { return GetBufferRegistry().ReferenceCount(buffer) == 0; }));
  }
};

TEST_F(FailedSaveTest, DroppedByCancel) { DropAndRunNext(WM_CANCEL_DEVICE); }
TEST_F(FailedSaveTest, DroppedByStatusReset) { DropAndRunNext(WM_RESET_RUN_STATUS); }

}  // namespace
