// The run status the core thread reports for the work of every device:
// ERROR with the failing device's name, ERROR "Cancelled" when a cancel
// drops a client's work, and STATUS RESET, which cancels only the work of
// the devices in error and says whether work remains.

#include "core_thread_harness.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/messages.h"

using namespace test_support;

namespace {

void QueueAccepted(std::uint32_t jobCode, DeviceNumber device) {
  auto request = std::make_unique<CJobRequest>(jobCode, JobPayload(std::make_unique<CJobOptions>()), 0, 0, 0);
  request->device = device;
  request->acceptedLine = 1;
  ASSERT_TRUE(PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request)));
}

bool HasReport(const ShellStandIn& shell, std::int32_t state, const std::string& text) {
  for (const StatusReport& r : shell.Reports()) {
    if (r.state == state && r.text == text) return true;
  }
  return false;
}

TEST_F(CoreThreadTest, AFailureOfAnyDeviceIsAnErrorNamingIt) {
  StartCore();
  for (DeviceNumber device : {kCom1, kCom3}) Queue(WM_COMM_CHECK, device, Options());
  ASSERT_TRUE(WaitDispatched(kCom3, 1));
  Fail(kCom3, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  ASSERT_TRUE(shell_.WaitLog("COM3> ERROR:"));
  ASSERT_TRUE(shell_.WaitUntil([&] {
    for (const StatusReport& r : shell_.Reports()) {
      if (r.state == STATUS_ERROR && r.text.rfind("COM3> ", 0) == 0 && r.text.size() > 6) return true;
    }
    return false;
  }));
}

// A cancel that drops a script or remote line's work reports it; a window's
// own job dropped by its Cancel does not.
class CoreCancelReport : public CoreThreadTest {
 protected:
  bool CancelledReported(bool accepted) {
    StartCore();
    if (accepted) {
      QueueAccepted(WM_COMM_CHECK, kCom2);
    } else {
      Queue(WM_COMM_CHECK, kCom2, Options());
    }
    EXPECT_TRUE(WaitDispatched(kCom2, 1));
    Fail(kCom2, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
    EXPECT_TRUE(shell_.WaitLog("COM2> ERROR:"));
    Post(WM_CANCEL_DEVICE, kCom2);
    EXPECT_TRUE(shell_.WaitRowReset(kCom2));
    Flush();
    return HasReport(shell_, STATUS_ERROR, "Cancelled");
  }
};

TEST_F(CoreCancelReport, OfAClientsWork) { EXPECT_TRUE(CancelledReported(true)); }
TEST_F(CoreCancelReport, NotOfTheWindowsOwnWork) { EXPECT_FALSE(CancelledReported(false)); }

// COM1 failed, COM2 still works: the reset cancels COM1's work alone, says
// work remains, and COM2's end is DONE. A reset with nothing left answers
// so and no DONE follows it.
TEST_F(CoreThreadTest, ResetCancelsTheDevicesInErrorAndTellsWhetherWorkRemains) {
  StartCore();
  QueueAccepted(WM_COMM_CHECK, kCom1);
  QueueAccepted(WM_RESET_TARGET, kCom1);
  QueueAccepted(WM_COMM_CHECK, kCom2);
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  ASSERT_TRUE(WaitDispatched(kCom2, 1));
  Fail(kCom1, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  ASSERT_TRUE(shell_.WaitLog("COM1> ERROR:"));
  Post(WM_RESET_RUN_STATUS, 0);
  ASSERT_TRUE(shell_.WaitResetAnswer(1));
  EXPECT_TRUE(shell_.ResetAnswers()[0]);
  EXPECT_TRUE(shell_.WaitLog("COM1> Cancelled by STATUS RESET"));
  EXPECT_TRUE(shell_.WaitLog("COM1> Cancelled 2 queued item(s)"));
  EXPECT_TRUE(shell_.WaitRowReset(kCom1));
  EXPECT_EQ(shell_.CountLogs("User-initiated Cancel"), 0u);
  EXPECT_FALSE(HasReport(shell_, STATUS_ERROR, "Cancelled"));
  const std::size_t mark = shell_.CompleteReports();
  Finish(kCom2, EVENT_COMM_CHECK_DONE);
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
  Flush();
  EXPECT_EQ(dispatch_->Count(kCom1), 1u);

  Post(WM_RESET_RUN_STATUS, 0);
  ASSERT_TRUE(shell_.WaitResetAnswer(2));
  EXPECT_FALSE(shell_.ResetAnswers()[1]);
  const std::size_t after = shell_.CompleteReports();
  Flush();
  EXPECT_EQ(shell_.CompleteReports(), after);
}

// A job queued after the reset is not touched by it.
TEST_F(CoreThreadTest, ResetLeavesTheWorkQueuedAfterIt) {
  StartCore();
  QueueAccepted(WM_COMM_CHECK, kCom1);
  ASSERT_TRUE(WaitDispatched(kCom1, 1));
  Fail(kCom1, EVENT_COMM_CHECK_FAILED, LINK_ERROR_REPLY_TIMEOUT);
  ASSERT_TRUE(shell_.WaitLog("COM1> ERROR:"));
  Post(WM_RESET_RUN_STATUS, 0);
  QueueAccepted(WM_RESET_TARGET, kCom1);
  ASSERT_TRUE(WaitDispatched(kCom1, 2));
  EXPECT_EQ(dispatch_->Copy()[1].jobCode, WM_RESET_TARGET);
  EXPECT_TRUE(shell_.WaitLog("COM1> Cancelled 1 queued item(s)"));
}

}  // namespace
