#pragma once
// A worker thread with a message loop, after the framework's thread class.
//
// The queue exists from construction, so nothing posted before the thread
// runs is lost. Create() may leave the thread suspended until Resume().
// The loop calls OnIdle(count) with count 0, 1, ... while the queue is empty
// and OnIdle returns true: one such idle pass before the first message and
// one after each burst of messages is drained. The quit message ends the
// loop after everything queued before it; afterwards the queue is closed and
// posts to the thread fail.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/message_map.h"
#include "platform/message_queue.h"
#include "platform/target_registry.h"

namespace platform {

class WorkerThread {
 public:
  WorkerThread();
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts the thread; with suspended it waits for Resume() before
  // InitInstance. False when it was already created or cannot start.
  bool Create(bool suspended = false);
  // Lowers the suspend count by one and returns the count before the call
  // (0: the thread was not suspended). Returns -1 before Create().
  int Resume();
  // Raises the suspend count; a running loop holds before its next message.
  // Returns the count before the call.
  int Suspend();

  ThreadId Id() const { return registration_.handle(); }
  bool Post(std::uint32_t number, WParam w = 0, LParam l = 0);
  template <MessageId M>
    requires RecordMessage<M>
  bool Post(std::unique_ptr<PayloadOf<M>> record, LParam l = 0) {
    Message m = Message::Make<M>(std::move(record), l);
    return queue_->Post(m);
  }
  template <MessageId M>
    requires PlainMessage<M>
  bool Post(WParam w = 0, LParam l = 0) {
    Message m = Message::Make<M>(w, l);
    return queue_->Post(m);
  }
  // Posts the quit message behind everything already queued.
  bool PostQuit(int exitCode = 0);
  // Waits for the thread to end (it must have been told to quit).
  void Join();
  bool Running() const { return running_.load(); }
  int ExitCode() const { return exitCode_.load(); }

 protected:
  // Called on the thread before the loop; false ends the thread at once.
  virtual bool InitInstance() { return true; }
  // Called on the thread after the loop; its result is the exit code.
  virtual int ExitInstance() { return exitCode_.load(); }
  virtual bool OnIdle(long count) { (void)count; return false; }
  // Called for a message that no map entry covers.
  virtual void OnUnhandledMessage(Message& message) { (void)message; }

  MessageMap& Map() { return map_; }
  MessageQueue& Queue() { return *queue_; }

  // From the thread itself: takes exactly one message of the given number
  // range, leaving every other message queued in order.
  std::optional<Message> WaitForMessage(std::uint32_t first, std::uint32_t last,
                                        Milliseconds timeout = kInfinite);
  std::optional<Message> WaitForMessage(std::uint32_t number, Milliseconds timeout = kInfinite) {
    return WaitForMessage(number, number, timeout);
  }
  // From the thread itself: ends the loop after the messages already queued.
  void PostQuitMessage(int exitCode = 0) { PostQuit(exitCode); }

 private:
  void Main();
  void RunLoop();
  void HoldWhileSuspended();

  std::shared_ptr<MessageQueue> queue_;
  TargetRegistration registration_;
  MessageMap map_;
  std::thread thread_;
  std::mutex suspendMutex_;
  std::condition_variable resumed_;
  int suspendCount_ = 0;
  bool created_ = false;
  std::atomic<bool> running_{false};
  std::atomic<int> exitCode_{0};
};

}  // namespace platform
