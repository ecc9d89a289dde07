// The smartphone slot against the smartphone simulator, through the
// terminal library stand-in, and the output callback piece by piece.

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "core_thread_harness.h"
#include "engine/core/messages.h"
#include "engine/processing/job_starters.h"
#include "engine/processing/smartphone_slot.h"
#include "ralix/ralix.h"
#include "smartphone_sim/smartphone_server.h"

using namespace test_support;

namespace {

class SmartphoneTest : public CoreThreadTest {
 protected:
  void Serve(smartphone_sim::SessionFaults faults = {}) {
    phone_ = std::make_unique<smartphone_sim::SmartphoneServer>(faults);
    const std::string socket = folder_.File("phone.sock");
    ASSERT_TRUE(phone_->Start(socket));
    ::setenv(kRalixSocketVariable, socket.c_str(), 1);
    StartCore({}, std::make_unique<CJobStarters>(), {1});
  }
  void TearDown() override {
    CoreThreadTest::TearDown();
    Func356();
    if (phone_) phone_->Stop();
    ::unsetenv(kRalixSocketVariable);
  }
  std::unique_ptr<FileJobPayload> PhoneFile(const std::string& name, const std::string& contents) {
    const std::string path = folder_.File(name);
    std::ofstream(path, std::ios::binary) << contents;
    return FilePayload(path);
  }

  std::unique_ptr<smartphone_sim::SmartphoneServer> phone_;
};

TEST_F(SmartphoneTest, FormatRunsToTheNextPromptAndDisconnectsWhenTheQueueIsDone) {
  Serve();
  Queue(WM_RALIX_FORMAT, DEVICE_SMARTPHONE, Options());
  ASSERT_TRUE(shell_.WaitLog("Smartphone> Item finished with sequence number 0")) << shell_.AllLogs();
  EXPECT_EQ(shell_.CountLogs("Smartphone> Ralix Connection succeeded"), 1u);
  EXPECT_EQ(shell_.CountLogs("Smartphone> Starting Ralix Command - format file system"), 1u);
  EXPECT_TRUE(shell_.WaitStatus(DEVICE_SMARTPHONE, EVENT_PHONE_FORMAT_PROGRESS));  // formatting at 0 percent
  EXPECT_TRUE(shell_.WaitUntil([&] { return shell_.Disconnects() == 1; }));
  EXPECT_FALSE(RalixConnected());
  ASSERT_FALSE(phone_->Session().Transcript().empty());
  EXPECT_EQ(phone_->Session().Transcript().back(), "format 1");
}

TEST_F(SmartphoneTest, TwoFileJobsShareOneConnectionAndStoreBothFiles) {
  Serve();
  // The phone holds its answer to the first file, so the second job is
  // queued while the first still runs on the connection.
  phone_->HoldAnswers();
  Queue(WM_RALIX_FLASH_FILE, DEVICE_SMARTPHONE, PhoneFile("one.bin", "first file"));
  ASSERT_TRUE(phone_->WaitAnswerHeld(std::chrono::seconds(10))) << shell_.AllLogs();
  Queue(WM_RALIX_FLASH_FILE, DEVICE_SMARTPHONE, PhoneFile("two.bin", "second"));
  phone_->ReleaseAnswers();
  ASSERT_TRUE(shell_.WaitLog("Smartphone> Item finished with sequence number 1")) << shell_.AllLogs();
  EXPECT_EQ(shell_.CountLogs("Ralix Connection succeeded"), 1u);
  EXPECT_EQ(shell_.CountLogs("Smartphone> Starting Ralix Command - Flash File: " + folder_.File("one.bin")), 1u);
  EXPECT_EQ(phone_->Session().Files().size(), 2u);
  EXPECT_TRUE(shell_.WaitUntil([&] { return shell_.Disconnects() == 1; }));
}

TEST_F(SmartphoneTest, AFailedTransferFailsTheJobWithTheRalixError) {
  Serve({.failTransfers = true});
  Queue(WM_RALIX_FLASH_FILE, DEVICE_SMARTPHONE, PhoneFile("bad.bin", "data"));
  ASSERT_TRUE(shell_.WaitLog("Smartphone> ERROR: Ralix Error - See log file for output")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitUntil([&] { return shell_.Disconnects() == 1; }));
  EXPECT_GT(shell_.CountLogs("<Ralix OUTPUT>"), 0u);
}

TEST_F(SmartphoneTest, AStaleDisconnectLeavesANewerConnectionAlone) {
  Serve();
  Queue(WM_RALIX_FORMAT, DEVICE_SMARTPHONE, Options());
  ASSERT_TRUE(shell_.WaitUntil([&] { return shell_.Disconnects() == 1; }));
  const std::uintptr_t stale = shell_.LastDisconnect();
  // The next job connects before the pre-processing thread handled the
  // first job's disconnect request.
  Queue(WM_RALIX_FLASH_FILE, DEVICE_SMARTPHONE, PhoneFile("late.bin", "late"));
  ASSERT_TRUE(shell_.WaitLogCount("Ralix Connection succeeded", 2));
  EXPECT_TRUE(RalixDisconnect(stale));
  ASSERT_TRUE(shell_.WaitLog("Smartphone> Item finished with sequence number 1")) << shell_.AllLogs();
  EXPECT_EQ(phone_->Session().Files().size(), 1u);
  EXPECT_TRUE(shell_.WaitUntil([&] { return shell_.Disconnects() == 2; }));
  EXPECT_TRUE(RalixDisconnect(shell_.LastDisconnect()));
}

TEST_F(SmartphoneTest, CancelEndsARunningCommandAndCutsTheLink) {
  Serve({.silent = true});  // the phone takes the command and never answers
  Queue(WM_RALIX_FORMAT, DEVICE_SMARTPHONE, Options());
  Queue(WM_RALIX_FORMAT, DEVICE_SMARTPHONE, Options());
  ASSERT_TRUE(shell_.WaitLog("Smartphone> Starting Ralix Command - format file system"));
  const std::size_t mark = shell_.CompleteReports();
  Post(WM_CANCEL_DEVICE, DEVICE_SMARTPHONE);
  ASSERT_TRUE(shell_.WaitLog("Smartphone> Cancelled 2 queued item(s)")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
  EXPECT_TRUE(shell_.WaitUntil([&] { return shell_.Disconnects() == 1; }));
  EXPECT_EQ(shell_.CountLogs("Starting Ralix Command"), 1u);
}

// The callback alone, with a recording target in place of the core thread.
class RalixOutput : public ::testing::Test {
 protected:
  RalixOutput() : core_(platform::TargetKind::Thread) {
    SetTargetThread(PT_CORE, core_.handle());
    ResetRalixOutputState();
  }
  ~RalixOutput() override { SetTargetThread(PT_CORE, platform::kNoHandle); }
  void Feed(const std::string& text) {
    for (char c : text) OnRalixOutput(std::string(1, c).c_str());
  }
  // The message that the prompt produced.
  std::uint32_t End() {
    auto m = core_.queue().TakeMatching(WM_JOB_FINISHED, WM_JOB_ERROR, std::chrono::seconds(5));
    return m ? m->number : 0;
  }

  ShellStandIn shell_;
  platform::RegisteredQueue core_;
};

TEST_F(RalixOutput, FailureWordsAreFoundCharacterByCharacter) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"Transfer failed\r>", WM_JOB_ERROR},
      {"erfailed>", WM_JOB_ERROR},
      {"eerror>", WM_JOB_FINISHED},
      {"ERROR 5\r>", WM_JOB_ERROR},
      {"all good\r>", WM_JOB_FINISHED},
  };
  for (auto [text, expected] : cases) {
    Feed(text);
    EXPECT_EQ(End(), expected) << text;
  }
}

TEST_F(RalixOutput, EveryCharacterOfALongerPieceCounts) {
  OnRalixOutput("Transfer fai");
  OnRalixOutput("led");
  OnRalixOutput(">");
  EXPECT_EQ(End(), WM_JOB_ERROR);
  OnRalixOutput("no problem\r");
  OnRalixOutput(">");
  EXPECT_EQ(End(), WM_JOB_FINISHED);
  EXPECT_TRUE(shell_.WaitLog("<Ralix OUTPUT>no problem"));
}

TEST_F(RalixOutput, APromptEndsTheCommandWithoutLoggingThePendingText) {
  Feed("half a line>");
  EXPECT_EQ(End(), WM_JOB_FINISHED);
  Feed("next\r");
  ASSERT_TRUE(shell_.WaitLog("<Ralix OUTPUT>next"));
  EXPECT_EQ(shell_.CountLogs("half a line"), 0u);
}

}  // namespace
