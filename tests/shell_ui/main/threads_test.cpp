// The worker threads: started in order, told to quit in order, joined with
// a bounded wait; and the window target's delivery on the GUI thread.
#include <QThread>
#include <atomic>
#include <mutex>

#include "engine/core/thread_table.h"
#include "main_window_fixture.h"
#include "shell/ui/main/window_target.h"

namespace maintest {
namespace {

// Notes when it starts and when it is told to quit.
class NotingThread : public platform::WorkerThread {
 public:
  NotingThread(std::string name, std::vector<std::string>& notes, std::mutex& lock)
      : name_(std::move(name)), notes_(notes), lock_(lock) {
    Map().On<WM_QUIT_THREAD>([this](platform::Message&) {
      Note("quit " + name_);
      PostQuitMessage(0);
    });
  }
  ~NotingThread() override {
    PostQuit();
    Join();
  }

 protected:
  bool InitInstance() override {
    Note("start " + name_);
    return true;
  }

 private:
  void Note(const std::string& text) {
    std::lock_guard guard(lock_);
    notes_.push_back(text);
  }
  std::string name_;
  std::vector<std::string>& notes_;
  std::mutex& lock_;
};

TEST_F(MainWindowTest, ThreadsStartInOrderAndQuitInOrderWhenTheWindowCloses) {
  std::vector<std::string> notes;
  std::mutex lock;
  std::vector<std::string> made;
  auto maker = [&](const char* name) -> WorkerThreadFactory::Make {
    return [&, name] {
      made.push_back(name);
      return std::make_unique<NotingThread>(name, notes, lock);
    };
  };
  WorkerThreadFactory factory{maker("remote"), maker("user"), maker("pre"), maker("core")};
  Open(std::move(factory));
  // The remote-I/O thread waits to be resumed (by the user-I/O thread).
  platform::WorkerThread* remote = GetTargetThreadObject(PT_REMOTE_IO);
  ASSERT_NE(remote, nullptr);
  EXPECT_NE(GetTargetThreadId(PT_USER_IO), userIo.handle());
  ASSERT_TRUE(PumpUntil([&] {
    std::lock_guard guard(lock);
    return notes.size() == 3;
  }));
  {
    std::lock_guard guard(lock);
    EXPECT_EQ(made, (std::vector<std::string>{"remote", "user", "pre", "core"}));
    std::sort(notes.begin(), notes.end());
    EXPECT_EQ(notes, (std::vector<std::string>{"start core", "start pre", "start user"}));
    notes.clear();
  }
  window->Shutdown();
  {
    std::lock_guard guard(lock);
    // The never-resumed remote thread is let go so that it can end too.
    const std::vector<std::string> expectedQuits{"quit pre", "quit core", "start remote", "quit remote", "quit user"};
    std::vector<std::string> quits;
    for (const auto& n : notes) quits.push_back(n);
    std::sort(quits.begin(), quits.end());
    auto sorted = expectedQuits;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(quits, sorted);
  }
  EXPECT_EQ(GetTargetThreadObject(PT_REMOTE_IO), nullptr);
  EXPECT_EQ(GetTargetThreadId(PT_CORE), platform::kNoHandle);
  // The fixture's queues take the entries back for its tear-down.
  SetTargetThread(PT_USER_IO, userIo.handle());
}

TEST_F(MainWindowTest, AThreadThatDoesNotEndIsLeftBehindWithinTheBound) {
  std::atomic<bool> release{false};
  class StuckThread : public platform::WorkerThread {
   public:
    explicit StuckThread(std::atomic<bool>& release) : release_(release) {
      Map().On<WM_QUIT_THREAD>([this](platform::Message&) {
        while (!release_) QThread::msleep(1);
        PostQuitMessage(0);
      });
    }

   private:
    std::atomic<bool>& release_;
  };
  WorkerThreadSet set;
  platform::WorkerThread* stuck = nullptr;
  WorkerThreadFactory factory;
  factory.core = [&] {
    auto t = std::make_unique<StuckThread>(release);
    stuck = t.get();
    return t;
  };
  ASSERT_TRUE(set.Start(factory).empty());
  const auto late = set.Stop(std::chrono::milliseconds(50));
  EXPECT_EQ(late, std::vector<std::string>{"core processing"});
  release = true;
  ASSERT_TRUE(PumpUntil([&] { return !stuck->Running(); }));
  stuck->Join();
  delete stuck;  // left behind by the set; ours to free now that it has ended
  SetTargetThread(PT_CORE, core.handle());
}

// The user-I/O thread lets the remote client in as soon as it runs, and the
// client's first line posts work to the pre-processing and core threads: no
// thread may run before every thread is in the target tables. The core
// thread is made slowly here, so that a thread that already ran would be
// seen.
TEST(WorkerThreadSet, NoThreadRunsBeforeEveryThreadIsInTheTables) {
  static constexpr std::int32_t kTargets[] = {PT_REMOTE_IO, PT_USER_IO, PT_PREPROCESSING, PT_CORE};
  std::vector<std::pair<platform::ThreadId, platform::WorkerThread*>> saved;
  for (std::int32_t target : kTargets) {
    saved.emplace_back(GetTargetThreadId(target), GetTargetThreadObject(target));
    SetTargetThread(target, platform::kNoHandle);
    SetTargetThreadObject(target, nullptr);
  }
  std::atomic<int> started{0};
  std::atomic<int> startedTooEarly{0};
  class CheckingThread : public platform::WorkerThread {
   public:
    CheckingThread(std::atomic<int>& started, std::atomic<int>& tooEarly) : started_(started), tooEarly_(tooEarly) {
      Map().On<WM_QUIT_THREAD>([this](platform::Message&) { PostQuitMessage(0); });
    }

   protected:
    bool InitInstance() override {
      for (std::int32_t target : kTargets) {
        if (GetTargetThreadId(target) == platform::kNoHandle) ++tooEarly_;
      }
      ++started_;
      return true;
    }

   private:
    std::atomic<int>& started_;
    std::atomic<int>& tooEarly_;
  };
  auto maker = [&](bool slowly) -> WorkerThreadFactory::Make {
    return [&, slowly] {
      // Gives a thread made earlier the time to run, should it be running.
      if (slowly) PumpUntil([&] { return started > 0; }, std::chrono::milliseconds(300));
      return std::make_unique<CheckingThread>(started, startedTooEarly);
    };
  };
  {
    WorkerThreadSet set;
    ASSERT_TRUE(set.Start(WorkerThreadFactory{maker(false), maker(false), maker(false), maker(true)}).empty());
    // The remote-I/O thread stays suspended; the other three run.
    EXPECT_TRUE(PumpUntil([&] { return started == 3; }));
    EXPECT_EQ(startedTooEarly, 0);
    set.Stop(std::chrono::seconds(5));
  }
  for (std::size_t i = 0; i < saved.size(); ++i) {
    SetTargetThread(kTargets[i], saved[i].first);
    SetTargetThreadObject(kTargets[i], saved[i].second);
  }
}

// A payload that counts its own destruction.
struct Counted {
  explicit Counted(std::atomic<int>& freed) : freed_(freed) {}
  ~Counted() { ++freed_; }
  std::atomic<int>& freed_;
};

class Receiver : public QObject {
 public:
  std::vector<platform::WParam> order;
  Qt::HANDLE thread = nullptr;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != WindowMessageEvent::EventType()) return QObject::event(e);
    order.push_back(static_cast<WindowMessageEvent*>(e)->message().wParam);
    thread = QThread::currentThreadId();
    return true;
  }
};

TEST(GuiWindowTarget, DeliversOnTheGuiThreadInOrderAndFreesPendingPayloadsOnce) {
  std::atomic<int> freed{0};
  auto receiver = std::make_unique<Receiver>();
  GuiWindowTarget target(receiver.get());
  std::thread poster([&] {
    for (platform::WParam i = 1; i <= 50; ++i) platform::PostWindowMessage(target.Handle(), 0x8001, i);
  });
  poster.join();
  ASSERT_TRUE(PumpUntil([&] { return receiver->order.size() == 50; }));
  for (std::size_t i = 0; i < 50; ++i) EXPECT_EQ(receiver->order[i], i + 1);
  EXPECT_EQ(receiver->thread, QThread::currentThreadId());

  // Pending when the receiver goes: freed with it, once.
  ASSERT_TRUE(platform::PostWindowMessage(target.Handle(), platform::Message::WithRecord(0x8002, std::make_unique<Counted>(freed))));
  target.Close();
  EXPECT_FALSE(platform::PostWindowMessage(target.Handle(), platform::Message::WithRecord(0x8003, std::make_unique<Counted>(freed))));
  EXPECT_EQ(freed.load(), 1);  // the refused one
  receiver.reset();
  EXPECT_EQ(freed.load(), 2);
}

}  // namespace
}  // namespace maintest
