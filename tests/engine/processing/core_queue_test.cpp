// The core processing thread's queue, slots and scheduler, driven with
// WM_QUEUE_JOB as the shell drives it.

#include <filesystem>
#include <fstream>

#include "core_thread_harness.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/messages.h"

using namespace test_support;

namespace {

TEST_F(CoreThreadTest, TwoJobsForOnePortRunOneAfterTheOther) {
  StartCore();
  Queue(WM_COMM_CHECK, kCom3, Options());
  Queue(WM_RESET_TARGET, kCom3, Options());
  ASSERT_TRUE(shell_.WaitLog("COM3> Queueing item with sequence number 1"));
  ASSERT_TRUE(WaitDispatched(kCom3, 1));
  Flush();
  EXPECT_EQ(dispatch_->Count(kCom3), 1u);
  EXPECT_EQ(shell_.CountLogs("COM3> Queueing item with sequence number 0"), 1u);

  Finish(kCom3, EVENT_COMM_CHECK_DONE);
  ASSERT_TRUE(WaitDispatched(kCom3, 2));
  EXPECT_TRUE(shell_.WaitLog("COM3> Item finished with sequence number 0"));
  EXPECT_EQ(dispatch_->Copy()[1].jobCode, WM_RESET_TARGET);
  const std::size_t mark = shell_.CompleteReports();
  Finish(kCom3, EVENT_RESET_TARGET_DONE);
  ASSERT_TRUE(shell_.WaitLog("COM3> Item finished with sequence number 1"));
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
  EXPECT_TRUE(shell_.WaitStatus(kCom3, EVENT_RESET_TARGET_DONE));
  // The dispatcher saw the kernels that were read from the working folder.
  EXPECT_EQ(dispatch_->Copy()[0].harrowKernelLength, 2048u);
}

// The finish and the next request arrive together: the queue's length is
// the same at the next idle pass, and the new entry must start all the same.
TEST_F(CoreThreadTest, ARequestQueuedAsThePreviousJobEndsStillStarts) {
  StartCore();
  Queue(WM_COMM_CHECK, kCom3, Options());
  ASSERT_TRUE(WaitDispatched(kCom3, 1));
  Flush();
  Finish(kCom3, EVENT_COMM_CHECK_DONE);
  Queue(WM_RESET_TARGET, kCom3, Options());
  ASSERT_TRUE(WaitDispatched(kCom3, 2)) << shell_.AllLogs();
  EXPECT_EQ(dispatch_->Copy()[1].jobCode, WM_RESET_TARGET);
}

// "Processing Complete" tells that work ended: once when the queue has run
// empty after work, never for idle passes of a queue that had none (they
// would overwrite what a reset said).
TEST_F(CoreThreadTest, ProcessingCompleteOnceTheQueueRanEmptyAfterWork) {
  StartCore();
  Post(WM_CANCEL_DEVICE, kCom1);  // wakes the loop; the queue stays empty
  Flush();
  EXPECT_EQ(shell_.CompleteReports(), 0u);
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Finish(kCom1, EVENT_COMM_CHECK_DONE);
  ASSERT_TRUE(shell_.WaitProcessingComplete(0));
  const std::size_t mark = shell_.CompleteReports();
  Post(WM_CANCEL_DEVICE, kCom1);
  Flush();
  EXPECT_EQ(shell_.CompleteReports(), mark);
}

TEST_F(CoreThreadTest, DeviceIndependentEntryWaitsForTheHeadAndHoldsBackLaterWork) {
  StartCore();
  const std::string doomed = folder_.File("doomed.txt");
  std::ofstream(doomed) << "x";
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Queue(WM_DELETE_FILE, DEVICE_INDEPENDENT, std::make_unique<std::string>(doomed));
  Queue(WM_COMM_CHECK, kCom2, Options());
  ASSERT_TRUE(shell_.WaitLog("COM2> Queueing item with sequence number 2"));
  Flush();
  EXPECT_TRUE(std::filesystem::exists(doomed));
  EXPECT_EQ(dispatch_->Count(kCom2), 0u);

  Finish(kCom1, EVENT_COMM_CHECK_DONE);
  ASSERT_TRUE(shell_.WaitLog("Device Independent> Item finished with sequence number 1"));
  EXPECT_FALSE(std::filesystem::exists(doomed));
  EXPECT_TRUE(shell_.WaitLog("Deleting " + doomed));
  EXPECT_TRUE(WaitDispatched(kCom2, 1));
}

TEST_F(CoreThreadTest, RequestForEveryUsbDeviceLoadsTheImageOnceAndStartsEachDevice) {
  StartCore({3, 5, 7, 9, 11, 13, 15, 17});
  Queue(WM_FLASH, DEVICE_UNASSIGNED, FilePayload(folder_.File("image.s19")));
  for (DeviceNumber d : {3, 5, 7, 9, 11, 13, 15, 17}) ASSERT_TRUE(WaitDispatched(d, 1)) << d;
  ASSERT_TRUE(shell_.WaitLogCount("> Queueing item", 8));
  ASSERT_TRUE(shell_.WaitLog("successfully loaded into RAM"));
  Flush();
  EXPECT_EQ(loader_->Loads(), 1u);
  EXPECT_EQ(shell_.CountLogs("Starting read of file"), 1u);
  EXPECT_EQ(shell_.CountLogs("successfully loaded into RAM"), 1u);
  for (const auto& d : dispatch_->Copy()) {
    EXPECT_EQ(d.sequenceNumber, 0);
    EXPECT_EQ(d.loadedRegions, 1u);
  }
  EXPECT_EQ(dispatch_->Count(4), 0u);
  for (DeviceNumber d : {3, 5, 7, 9, 11, 13, 15, 17})
    EXPECT_TRUE(shell_.WaitStatus(d, EVENT_STATUS_SCANNING_FILE)) << "Scanning File... on " << d;
}

TEST_F(CoreThreadTest, RequestForEveryUsbDeviceWithNoneRefusedWithAnErrorLine) {
  StartCore();
  Queue(WM_ERASE, DEVICE_UNASSIGNED, Options());
  ASSERT_TRUE(shell_.WaitLog("Error> USB capable radio not detected"));
  ASSERT_TRUE(shell_.WaitUntil([&] {
    for (const auto& report : shell_.Reports()) {
      if (report.state == STATUS_ERROR && report.text.empty()) return true;
    }
    return false;
  }));
  // The main window learns that nothing was queued for it.
  EXPECT_TRUE(shell_.WaitRefusal(WM_ERASE, false));
  // The request used its sequence number all the same.
  Queue(WM_ERASE, kCom1, Options());
  EXPECT_TRUE(shell_.WaitLog("COM1> Queueing item with sequence number 1"));
}

TEST_F(CoreThreadTest, MissingImageFailsEveryWaitingEntryWith60AndRetryReloadsForAll) {
  StartCore({1, 2});
  const std::string image = folder_.File("missing.s19");
  loader_->failures[image] = 202;
  Queue(WM_FLASH, DEVICE_UNASSIGNED, FilePayload(image));
  ASSERT_TRUE(shell_.WaitLogCount("USB1> ERROR: ", 1));
  ASSERT_TRUE(shell_.WaitLogCount("USB2> ERROR: ", 1));
  EXPECT_EQ(shell_.CountLogs("Error Opening File " + image), 2u);
  EXPECT_TRUE(shell_.WaitStatus(1, EVENT_STATUS_FILE_OPEN_FAILED));
  EXPECT_TRUE(shell_.WaitStatus(2, EVENT_STATUS_FILE_OPEN_FAILED));
  EXPECT_EQ(dispatch_->Total(), 0u);

  {
    std::lock_guard lock(loader_->mutex);
    loader_->failures.clear();
  }
  Post(WM_RETRY_DEVICE, 1);
  ASSERT_TRUE(WaitDispatched(1, 1));
  EXPECT_EQ(loader_->Loads(), 2u);
  Post(WM_RETRY_DEVICE, 2);
  ASSERT_TRUE(WaitDispatched(2, 1));
  EXPECT_EQ(loader_->Loads(), 2u) << "the second device's entry was served by the same reload";
}

TEST_F(CoreThreadTest, CancelWhileRunningDropsTheDevicesEntriesAndReportsCompletion) {
  StartCore();
  Queue(WM_COMM_CHECK, kCom1, Options());
  Queue(WM_RESET_TARGET, kCom1, Options());
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  ASSERT_TRUE(shell_.WaitLog("COM1> Queueing item with sequence number 1"));
  Post(WM_CANCEL_DEVICE, kCom1);
  ASSERT_TRUE(shell_.WaitLog("COM1> User-initiated Cancel"));
  ASSERT_TRUE(shell_.WaitUntil([&] { return dispatch_->Aborts() == 1; }));
  const std::size_t mark = shell_.CompleteReports();
  CancelQueued(kCom1, EVENT_FLASH_CANCELLED);  // the operation reports that it was cancelled
  ASSERT_TRUE(shell_.WaitLog("COM1> Cancelled 2 queued item(s)"));
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
  Flush();
  EXPECT_EQ(dispatch_->Count(kCom1), 1u);
}

TEST_F(CoreThreadTest, CancelInErrorDropsEntriesResetsTheRowAndReportsCompletion) {
  StartCore();
  Queue(WM_COMM_CHECK, kCom2, Options());
  Queue(WM_COMM_CHECK, kCom2, Options());
  ASSERT_TRUE(WaitDispatched(kCom2, 1));
  Fail(kCom2, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  ASSERT_TRUE(shell_.WaitLog("COM2> ERROR: Serial bus reply timeout"));
  const std::size_t mark = shell_.CompleteReports();
  Post(WM_CANCEL_DEVICE, kCom2);
  ASSERT_TRUE(shell_.WaitRowReset(kCom2));
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
  Flush();
  EXPECT_EQ(dispatch_->Count(kCom2), 1u);
}

// Work queued behind an error waits for the user: the log (and with it the
// status bar) says so with the error's reason, and Cancel says how many
// items it dropped.
TEST_F(CoreThreadTest, WorkQueuedBehindAnErrorSaysItWaitsAndCancelCountsWhatItDrops) {
  StartCore();
  Queue(WM_COMM_CHECK, kCom2, Options());
  ASSERT_TRUE(WaitDispatched(kCom2, 1));
  Fail(kCom2, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  ASSERT_TRUE(shell_.WaitLog("COM2> ERROR: Serial bus reply timeout"));
  Queue(WM_COMM_CHECK, kCom2, Options());
  Queue(WM_RESET_TARGET, kCom2, Options());
  ASSERT_TRUE(shell_.WaitLogCount("COM2> ERROR: Serial bus reply timeout - waiting for Retry or Cancel", 2));
  Post(WM_CANCEL_DEVICE, kCom2);
  ASSERT_TRUE(shell_.WaitLog("COM2> Cancelled 3 queued item(s)"));
  ASSERT_TRUE(shell_.WaitRowReset(kCom2));
  Flush();
  EXPECT_EQ(dispatch_->Count(kCom2), 1u);
}

// An image that cannot be loaded is named in the device's error.
TEST_F(CoreThreadTest, AnImageThatCannotBeLoadedIsNamedInTheDevicesError) {
  StartCore();
  const std::string image = folder_.File("gone.s19");
  loader_->failures[image] = 202;
  Queue(WM_FLASH, kCom1, FilePayload(image));
  EXPECT_TRUE(shell_.WaitLog("COM1> ERROR: Error opening file: " + image));
}

TEST_F(CoreThreadTest, CancelOnAnIdleDeviceOnlyLogs) {
  StartCore();
  Post(WM_CANCEL_DEVICE, kCom1);
  ASSERT_TRUE(shell_.WaitLog("COM1> User-initiated Cancel"));
  Flush();
  EXPECT_EQ(dispatch_->Aborts(), 0u);
}

TEST_F(CoreThreadTest, RetryAfterAFailureStartsTheSameEntryAgain) {
  StartCore();
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Fail(kCom1, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  ASSERT_TRUE(shell_.WaitLog("COM1> ERROR:"));
  Post(WM_RETRY_DEVICE, kCom1);
  ASSERT_TRUE(WaitDispatched(kCom1, 2));
  EXPECT_EQ(dispatch_->Copy()[1].sequenceNumber, 0);
}

// The status records of Flash Software's read-back say so, also after its
// failure and on its Retry, so that its saved file (and no other
// read-back's) starts the update flash.
TEST_F(CoreThreadTest, TheUpdateReadBacksStatusRecordsAreMarkedThroughFailureAndRetry) {
  StartCore();
  auto mine = std::make_unique<ReadBackPayload>();
  mine->startsUpdateFlash = true;
  Queue(WM_REVERSE_FLASH, kCom1, std::make_unique<ReadBackPayload>());  // the user's own read-back first
  Queue(WM_REVERSE_FLASH, kCom1, std::move(mine));
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Fail(kCom1, 22, 46);
  ASSERT_TRUE(shell_.WaitStatus(kCom1, 22));
  Post(WM_RETRY_DEVICE, kCom1);
  ASSERT_TRUE(WaitDispatched(kCom1, 2));
  Finish(kCom1, 24);
  ASSERT_TRUE(WaitDispatched(kCom1, 3));
  Fail(kCom1, 22, 46);
  ASSERT_TRUE(shell_.WaitUntil([&] { return shell_.CountStatus(kCom1, 22) == 2; }));
  Post(WM_RETRY_DEVICE, kCom1);
  ASSERT_TRUE(WaitDispatched(kCom1, 4));
  Finish(kCom1, 24);
  ASSERT_TRUE(shell_.WaitUntil([&] { return shell_.CountStatus(kCom1, 24) == 2; }));
  std::vector<std::pair<std::int32_t, bool>> seen;
  for (const StatusSeen& s : shell_.Statuses()) {
    if (s.device == kCom1 && (s.code == 22 || s.code == 24)) seen.emplace_back(s.code, s.startsUpdateFlash);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<std::int32_t, bool>>{{22, false}, {24, false}, {22, true}, {24, true}}));
}

// A flash job's sender may say how its work ended: the core thread logs
// its note under the device's name when the job ends well, or its other
// note when the job is cancelled before its end.
TEST_F(CoreThreadTest, AJobsNotesAreLoggedWhenItEndsWellOrIsCancelled) {
  StartCore();
  auto noted = [&](const char* name) {
    auto payload = FilePayload(folder_.File(name));
    payload->finishedNote = std::string(name) + " ended well";
    payload->cancelledNote = std::string(name) + " was cancelled";
    return payload;
  };
  Queue(WM_FLASH, kCom1, noted("first.s19"));
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Finish(kCom1, 0);
  ASSERT_TRUE(shell_.WaitLog("COM1> first.s19 ended well"));
  Queue(WM_FLASH, kCom1, noted("second.s19"));
  Queue(WM_FLASH, kCom1, noted("third.s19"));
  ASSERT_TRUE(WaitDispatched(kCom1, 2));
  Fail(kCom1, 1, 46);
  ASSERT_TRUE(shell_.WaitLog("COM1> ERROR:"));
  Post(WM_CANCEL_DEVICE, kCom1);
  ASSERT_TRUE(shell_.WaitLog("COM1> third.s19 was cancelled"));
  ASSERT_TRUE(shell_.WaitLog("COM1> second.s19 was cancelled"));
  Flush();
  EXPECT_EQ(shell_.CountLogs("ended well"), 1u);
  EXPECT_EQ(shell_.CountLogs("was cancelled"), 2u);
}

TEST_F(CoreThreadTest, StrayFinishAndErrorRecordsChangeNothing) {
  StartCore();
  // Nothing runs on COM1: neither record may finish or fail anything.
  Finish(kCom1, EVENT_PHONE_COMMAND_SENT);
  Fail(kCom1, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  Queue(WM_COMM_CHECK, kCom2, Options());
  ASSERT_TRUE(WaitDispatched(kCom2, 1));
  Fail(kCom2, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  ASSERT_TRUE(shell_.WaitLog("COM2> ERROR:"));
  Finish(kCom2, EVENT_PHONE_COMMAND_SENT);  // a stray finish while the device waits in error
  Flush();
  EXPECT_EQ(shell_.CountLogs("Item finished"), 0u);
  EXPECT_EQ(shell_.CountLogs("COM1> ERROR"), 0u);
  Post(WM_RETRY_DEVICE, kCom2);  // the entry is still there to be retried
  EXPECT_TRUE(WaitDispatched(kCom2, 2));
}

TEST_F(CoreThreadTest, UnknownJobCodeLeavesTheDeviceFreeForItsNextEntry) {
  StartCore();
  Queue(kUnknownJobCode, kCom1, JobPayload());
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  EXPECT_EQ(dispatch_->Copy()[0].jobCode, WM_COMM_CHECK);
  const std::size_t mark = shell_.CompleteReports();
  Finish(kCom1, EVENT_COMM_CHECK_DONE);
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
}

struct BadDevice {
  DeviceNumber device;
};

class InvalidDeviceTest : public CoreThreadTest, public ::testing::WithParamInterface<DeviceNumber> {};

TEST_P(InvalidDeviceTest, RequestIsRefusedAndItsPayloadFreed) {
  StartCore();
  auto payload = std::make_unique<RamDumpPayload>();
  payload->regions = MakeRegionList();
  std::uint8_t* buffer = GetBufferRegistry().Allocate(64);
  payload->regions->Add(0, 64, buffer);
  Queue(WM_RAM_DUMP, GetParam(), std::move(payload));
  ASSERT_TRUE(shell_.WaitLog("Error> Request for invalid device number " + std::to_string(GetParam())));
  EXPECT_TRUE(shell_.WaitUntil([&] { return GetBufferRegistry().ReferenceCount(buffer) == 0; }));
  Queue(WM_COMM_CHECK, kCom1, Options());
  EXPECT_TRUE(shell_.WaitLog("COM1> Queueing item with sequence number 0"));
}

INSTANTIATE_TEST_SUITE_P(OutsideTheDeviceRange, InvalidDeviceTest, ::testing::Values(-2, -4, 147, 1000));

TEST_F(CoreThreadTest, SmartphoneRequestWithoutAPhoneIsRefused) {
  StartCore();
  Queue(WM_RALIX_FORMAT, DEVICE_SMARTPHONE, Options(), 1);
  ASSERT_TRUE(shell_.WaitLog("Error> Smartphone not detected"));
  ASSERT_TRUE(shell_.WaitUntil([&] { return !shell_.Prompts().empty(); }));
  EXPECT_EQ(shell_.Prompts().back().kind, PROMPT_ERROR);
  EXPECT_EQ(shell_.Prompts().back().wantReply, 0);
}

}  // namespace
