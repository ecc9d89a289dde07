#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "test_support.h"

namespace platform {
namespace {

using testing::CountedPayload;
using testing::WaitUntil;

constexpr std::uint32_t kWork = 0x8100;
constexpr std::uint32_t kBlock = 0x8101;
constexpr std::uint32_t kReply = 0x8102;
constexpr std::uint32_t kAsk = 0x8103;
constexpr std::uint32_t kCounted = 0x8104;  // carries a CountedPayload

}  // namespace
}  // namespace platform

template <>
struct platform::MessagePayload<platform::kCounted> : platform::Carries<platform::testing::CountedPayload> {};
template <>
struct platform::MessagePayload<platform::kWork> : platform::CarriesNoRecord {};
template <>
struct platform::MessagePayload<platform::kBlock> : platform::CarriesNoRecord {};
template <>
struct platform::MessagePayload<platform::kAsk> : platform::CarriesNoRecord {};

namespace platform {
namespace {

// A worker that writes down what its loop does.
class RecordingThread : public WorkerThread {
 public:
  explicit RecordingThread(long idleRepeats = 0) : idleRepeats_(idleRepeats) {
    Map().On<kWork>([this](Message& m) { Record("msg" + std::to_string(m.wParam)); });
    Map().On<kBlock>([this] {
      Record("block");
      blocked.Set();
      release.Wait();
    });
    Map().On<kAsk>([this] {
      Record("ask");
      asked.Set();
      auto reply = WaitForMessage(kReply, std::chrono::seconds(10));
      Record(reply ? "reply" + std::to_string(reply->wParam) : "no reply");
    });
  }
  ~RecordingThread() override {
    PostQuit();
    Join();
  }

  std::vector<std::string> Log() {
    std::lock_guard lock(mutex_);
    return log_;
  }
  void Record(std::string s) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(s));
  }

  Event idleDone{Event::Reset::Auto};
  Event blocked{Event::Reset::Auto};
  Event release{Event::Reset::Auto};
  Event asked{Event::Reset::Auto};
  Event initialised{Event::Reset::Manual};

 protected:
  bool InitInstance() override {
    initialised.Set();
    return true;
  }
  bool OnIdle(long count) override {
    Record("idle" + std::to_string(count));
    bool more = count < idleRepeats_;
    if (!more) idleDone.Set();
    return more;
  }

 private:
  long idleRepeats_;
  std::mutex mutex_;
  std::vector<std::string> log_;
};

TEST(WorkerThread, MessagesFromEachOfSeveralSendersArriveInTheirOrder) {
  constexpr int kSenders = 6;
  constexpr int kPerSender = 2000;
  std::mutex m;
  std::vector<std::vector<int>> seen(kSenders);
  std::atomic<int> received{0};
  class Receiver : public WorkerThread {
   public:
    ~Receiver() override { PostQuit(); Join(); }
    using WorkerThread::Map;
  } receiver;
  receiver.Map().On<kWork>([&](Message& msg) {
    std::lock_guard lock(m);
    seen[msg.wParam].push_back(static_cast<int>(msg.lParam));
    ++received;
  });
  ASSERT_TRUE(receiver.Create());

  std::vector<std::thread> senders;
  for (int s = 0; s < kSenders; ++s)
    senders.emplace_back([&, s] {
      for (int i = 0; i < kPerSender; ++i) ASSERT_TRUE(PostThreadMessage(receiver.Id(), kWork, s, i));
    });
  for (auto& t : senders) t.join();
  ASSERT_TRUE(WaitUntil([&] { return received == kSenders * kPerSender; }));

  for (int s = 0; s < kSenders; ++s) {
    ASSERT_EQ(seen[s].size(), static_cast<std::size_t>(kPerSender));
    for (int i = 0; i < kPerSender; ++i) ASSERT_EQ(seen[s][i], i) << "sender " << s;
  }
}

TEST(WorkerThread, MessagesPostedBeforeTheThreadRunsAreKept) {
  RecordingThread t;
  ASSERT_TRUE(t.Post(kWork, 1));
  ASSERT_TRUE(PostThreadMessage(t.Id(), kWork, 2));
  ASSERT_TRUE(t.Create());
  ASSERT_TRUE(WaitUntil([&] {
    auto log = t.Log();
    return std::find(log.begin(), log.end(), "msg2") != log.end();
  }));
  t.PostQuit();
  t.Join();
  auto log = t.Log();
  std::erase_if(log, [](const std::string& s) { return s.rfind("idle", 0) == 0; });
  EXPECT_EQ(log, (std::vector<std::string>{"msg1", "msg2"}));
}

TEST(WorkerThread, OneIdlePassBeforeTheFirstMessageAndAfterEachDrainedBurst) {
  RecordingThread t(/*idleRepeats=*/2);  // OnIdle says "more" for counts 0 and 1
  ASSERT_TRUE(t.Create());
  ASSERT_TRUE(t.idleDone.Wait(std::chrono::seconds(10)));

  // A burst: the first message holds the loop while two more are queued.
  ASSERT_TRUE(t.Post(kBlock));
  ASSERT_TRUE(t.blocked.Wait(std::chrono::seconds(10)));
  ASSERT_TRUE(t.Post(kWork, 1));
  ASSERT_TRUE(t.Post(kWork, 2));
  t.release.Set();
  ASSERT_TRUE(t.idleDone.Wait(std::chrono::seconds(10)));

  ASSERT_TRUE(t.Post(kWork, 3));
  ASSERT_TRUE(t.idleDone.Wait(std::chrono::seconds(10)));

  EXPECT_EQ(t.Log(), (std::vector<std::string>{"idle0", "idle1", "idle2",          //
                                               "block", "msg1", "msg2",             //
                                               "idle0", "idle1", "idle2",           //
                                               "msg3", "idle0", "idle1", "idle2"}));
}

TEST(WorkerThread, FilteredWaitInsideAHandlerLeavesOtherMessagesQueuedInOrder) {
  RecordingThread t;
  ASSERT_TRUE(t.Create());
  ASSERT_TRUE(t.Post(kAsk));
  ASSERT_TRUE(t.asked.Wait(std::chrono::seconds(10)));
  ASSERT_TRUE(t.Post(kWork, 1));
  ASSERT_TRUE(t.Post(kWork, 2));
  ASSERT_TRUE(t.Post(kReply, 7));
  ASSERT_TRUE(t.Post(kWork, 3));
  ASSERT_TRUE(WaitUntil([&] {
    auto log = t.Log();
    return !log.empty() && std::find(log.begin(), log.end(), "msg3") != log.end();
  }));
  auto log = t.Log();
  std::erase_if(log, [](const std::string& s) { return s.rfind("idle", 0) == 0; });
  EXPECT_EQ(log, (std::vector<std::string>{"ask", "reply7", "msg1", "msg2", "msg3"}));
}

TEST(WorkerThread, QuitRunsEverythingQueuedBeforeItAndRefusesLaterPosts) {
  auto t = std::make_unique<RecordingThread>();
  for (int i = 1; i <= 5; ++i) ASSERT_TRUE(t->Post(kWork, i));
  ASSERT_TRUE(t->PostQuit());
  ASSERT_TRUE(t->Post(kWork, 6));                                     // queued behind the quit
  ASSERT_TRUE(t->Post<kCounted>(std::make_unique<CountedPayload>(7)));  // likewise, with a payload
  ASSERT_TRUE(t->Create());
  t->Join();
  EXPECT_FALSE(t->Running());

  auto log = t->Log();
  std::erase_if(log, [](const std::string& s) { return s.rfind("idle", 0) == 0; });
  EXPECT_EQ(log, (std::vector<std::string>{"msg1", "msg2", "msg3", "msg4", "msg5"}));
  EXPECT_EQ(CountedPayload::alive, 0);  // what came after the quit was dropped and freed

  // The ended thread refuses posts and the payload is freed, not lost.
  const ThreadId id = t->Id();
  EXPECT_FALSE(PostThreadMessage<kCounted>(id, std::make_unique<CountedPayload>(8)));
  EXPECT_EQ(CountedPayload::alive, 0);
  t.reset();
  EXPECT_FALSE(IsRegisteredThread(id));
  EXPECT_FALSE(PostThreadMessage<kCounted>(id, std::make_unique<CountedPayload>(9)));
  EXPECT_EQ(CountedPayload::alive, 0);
}

TEST(WorkerThread, ResumeReturnsThePreviousSuspendCount) {
  RecordingThread t;
  EXPECT_EQ(t.Resume(), -1);  // not created yet
  ASSERT_TRUE(t.Create(/*suspended=*/true));
  EXPECT_FALSE(t.initialised.Wait(Milliseconds(30)));
  EXPECT_EQ(t.Suspend(), 1);
  EXPECT_EQ(t.Resume(), 2);
  EXPECT_FALSE(t.initialised.IsSet());
  EXPECT_EQ(t.Resume(), 1);
  EXPECT_TRUE(t.initialised.Wait(std::chrono::seconds(10)));
  EXPECT_EQ(t.Resume(), 0);
  EXPECT_FALSE(t.Create());
}

TEST(TargetRegistry, PostsToUnknownStaleOrWrongKindHandlesDoNothing) {
  EXPECT_FALSE(PostThreadMessage(kNoHandle, kWork));
  EXPECT_FALSE(PostThreadMessage<kCounted>(0xFFFFFFF0u, std::make_unique<CountedPayload>(1)));
  EXPECT_EQ(CountedPayload::alive, 0);

  std::uint32_t stale;
  {
    RegisteredQueue q;
    stale = q.handle();
    EXPECT_TRUE(PostThreadMessage(stale, kWork, 5));
    EXPECT_FALSE(PostWindowMessage(stale, kWork, 5));  // a thread id is no window handle
    EXPECT_EQ(q.queue().Size(), 1u);
  }
  EXPECT_FALSE(PostThreadMessage<kCounted>(stale, std::make_unique<CountedPayload>(2)));
  EXPECT_EQ(CountedPayload::alive, 0);

  RegisteredQueue later;
  EXPECT_NE(later.handle(), stale);  // handles are never reused
}

}  // namespace
}  // namespace platform
