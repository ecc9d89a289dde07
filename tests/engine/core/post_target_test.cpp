#include "engine/core/post_target.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "engine/core/messages.h"
#include "platform/message_queue.h"
#include "platform/target_registry.h"
#include "platform/worker_thread.h"

namespace {

using namespace std::chrono_literals;

// A payload that counts how many of its kind are alive.
struct Counted {
  static inline std::atomic<int> alive{0};
  int value;
  explicit Counted(int v) : value(v) { ++alive; }
  ~Counted() { --alive; }
};

// A record message of this test's own, outside the program's block.
constexpr platform::MessageId kCountedMessage = WM_APP + 0x3F0;

}  // namespace

template <>
struct platform::MessagePayload<kCountedMessage> : platform::Carries<Counted> {};

namespace {

// Every test starts and ends with an empty target table.
class PostToTargetTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearTable(); Counted::alive = 0; }
  void TearDown() override { ClearTable(); }
  static void ClearTable() {
    for (int t = 0; t < kWorkerThreadTargetCount; ++t) SetTargetThread(t, platform::kNoHandle);
    ClearMainWindow();
    ClearSecondWindow();
  }
};

TEST_F(PostToTargetTest, WorkerThreadsReceiveThroughTheirTableEntries) {
  platform::RegisteredQueue queues[kWorkerThreadTargetCount];
  for (int t = 0; t < kWorkerThreadTargetCount; ++t) SetTargetThread(t, queues[t].handle());
  for (int t = 0; t < kWorkerThreadTargetCount; ++t) {
    EXPECT_EQ(GetTargetThreadId(t), queues[t].handle());
    EXPECT_NE(PostToTarget<WM_RECENT_FILE>(t, 10 + t, 20 + t), 0);
  }
  for (int t = 0; t < kWorkerThreadTargetCount; ++t) {
    auto m = queues[t].queue().TryGet();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->number, WM_RECENT_FILE);
    EXPECT_EQ(m->wParam, static_cast<platform::WParam>(10 + t));
    EXPECT_EQ(m->lParam, 20 + t);
    EXPECT_TRUE(queues[t].queue().Empty());
  }
}

TEST_F(PostToTargetTest, WindowsReceiveWindowMessages) {
  platform::RegisteredQueue main(platform::TargetKind::Window);
  platform::RegisteredQueue second(platform::TargetKind::Window);
  SetMainWindow(main.handle());
  SetSecondWindow(second.handle());
  EXPECT_NE(PostToTarget<WM_DEVICE_ATTACHED>(PT_MAIN_WINDOW, 5), 0);
  EXPECT_NE(PostToTarget<WM_FLASHPACK_REFRESH>(PT_SECOND_WINDOW, 6), 0);
  auto m = main.queue().TryGet();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, WM_DEVICE_ATTACHED);
  auto s = second.queue().TryGet();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->wParam, 6u);
}

TEST_F(PostToTargetTest, OutOfRangeTargetsPostNothingAndGiveZero) {
  platform::RegisteredQueue core;
  SetTargetThread(PT_CORE, core.handle());
  for (int target : {-1, 6, 7, -100, 1000}) {
    EXPECT_EQ(PostToTarget<WM_RECENT_FILE>(target, 1), 0) << target;
    EXPECT_EQ(GetTargetThreadId(target), platform::kNoHandle);
  }
  EXPECT_EQ(GetTargetThreadId(PT_MAIN_WINDOW), platform::kNoHandle);
  EXPECT_TRUE(core.queue().Empty());
}

TEST_F(PostToTargetTest, SecondWindowWhileClosedPostsNothing) {
  EXPECT_EQ(PostToTarget<WM_FLASHPACK_REFRESH>(PT_SECOND_WINDOW, 1), 0);
  platform::RegisteredQueue second(platform::TargetKind::Window);
  SetSecondWindow(second.handle());
  ClearSecondWindow();
  EXPECT_EQ(PostToTarget<WM_FLASHPACK_REFRESH>(PT_SECOND_WINDOW, 1), 0);
  EXPECT_TRUE(second.queue().Empty());
}

TEST_F(PostToTargetTest, ThreadHandleIsNotTakenAsWindow) {
  platform::RegisteredQueue thread;
  SetMainWindow(thread.handle());
  EXPECT_EQ(PostToTarget<WM_DEVICE_ATTACHED>(PT_MAIN_WINDOW, 1), 0);
  EXPECT_TRUE(thread.queue().Empty());
}

TEST_F(PostToTargetTest, OwnedPayloadArrivesAndIsTakenBack) {
  platform::RegisteredQueue core;
  SetTargetThread(PT_CORE, core.handle());
  ASSERT_NE(PostToTarget<kCountedMessage>(PT_CORE, std::make_unique<Counted>(42)), 0);
  auto m = core.queue().TryGet();
  ASSERT_TRUE(m);
  auto payload = m->Take<kCountedMessage>();
  ASSERT_TRUE(payload);
  EXPECT_EQ(payload->value, 42);
  EXPECT_EQ(reinterpret_cast<Counted*>(m->wParam), payload.get());
}

// Every failing post frees the record it was to hand over.
TEST_F(PostToTargetTest, FailedPostsFreeTheirPayload) {
  // Ended thread: its queue is gone from the registry.
  platform::ThreadId ended = platform::kNoHandle;
  {
    platform::RegisteredQueue gone;
    ended = gone.handle();
  }
  SetTargetThread(PT_USER_IO, ended);
  // Closed queue still registered.
  platform::RegisteredQueue closed;
  closed.queue().Close();
  SetTargetThread(PT_REMOTE_IO, closed.handle());

  struct Case {
    int target;
    const char* what;
  } cases[] = {
      {PT_PREPROCESSING, "entry not filled"}, {PT_USER_IO, "ended thread"},
      {PT_REMOTE_IO, "closed queue"},         {PT_MAIN_WINDOW, "no main window"},
      {PT_SECOND_WINDOW, "no second window"}, {-1, "below range"},
      {6, "above range"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PostToTarget<kCountedMessage>(c.target, std::make_unique<Counted>(1)), 0) << c.what;
    EXPECT_EQ(Counted::alive.load(), 0) << c.what;
  }
}

class Worker : public platform::WorkerThread {
 public:
  ~Worker() override {
    PostQuit();
    Join();
  }
};

// A worker thread whose loop has ended refuses the post; the record goes.
TEST_F(PostToTargetTest, EndedWorkerThreadFreesThePayload) {
  Worker worker;
  ASSERT_TRUE(worker.Create());
  SetTargetThread(PT_CORE, worker.Id());
  worker.PostQuit();
  worker.Join();
  EXPECT_EQ(PostToTarget<kCountedMessage>(PT_CORE, std::make_unique<Counted>(3)), 0);
  EXPECT_EQ(Counted::alive.load(), 0);
}

}  // namespace
