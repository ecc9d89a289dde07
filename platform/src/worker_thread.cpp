#include "platform/worker_thread.h"

namespace platform {

WorkerThread::WorkerThread()
    : queue_(std::make_shared<MessageQueue>()), registration_(TargetKind::Thread, queue_) {}

WorkerThread::~WorkerThread() {
  // A derived class must have stopped its loop before its own members go;
  // this is the last line of defence for threads that were never told to quit.
  if (thread_.joinable()) {
    {
      std::lock_guard lock(suspendMutex_);
      suspendCount_ = 0;
    }
    resumed_.notify_all();
    PostQuit();
    thread_.join();
  }
  queue_->Close();
}

bool WorkerThread::Create(bool suspended) {
  {
    std::lock_guard lock(suspendMutex_);
    if (created_) return false;
    created_ = true;
    suspendCount_ = suspended ? 1 : 0;
  }
  try {
    running_ = true;
    thread_ = std::thread([this] { Main(); });
  } catch (const std::system_error&) {
    running_ = false;
    queue_->Close();
    return false;
  }
  return true;
}

int WorkerThread::Resume() {
  int previous;
  {
    std::lock_guard lock(suspendMutex_);
    if (!created_) return -1;
    previous = suspendCount_;
    if (suspendCount_ > 0) --suspendCount_;
  }
  resumed_.notify_all();
  return previous;
}

int WorkerThread::Suspend() {
  std::lock_guard lock(suspendMutex_);
  if (!created_) return -1;
  return suspendCount_++;
}

void WorkerThread::HoldWhileSuspended() {
  std::unique_lock lock(suspendMutex_);
  resumed_.wait(lock, [&] { return suspendCount_ == 0; });
}

bool WorkerThread::Post(std::uint32_t number, WParam w, LParam l) {
  Message m(number, w, l);
  return queue_->Post(m);
}

bool WorkerThread::PostQuit(int exitCode) { return Post<kQuitMessage>(static_cast<WParam>(exitCode)); }

void WorkerThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::optional<Message> WorkerThread::WaitForMessage(std::uint32_t first, std::uint32_t last,
                                                    Milliseconds timeout) {
  return queue_->TakeMatching(first, last, timeout);
}

void WorkerThread::Main() {
  HoldWhileSuspended();
  if (InitInstance()) RunLoop();
  // Later posts fail cleanly; whatever came after the quit is dropped.
  queue_->Close();
  queue_->Clear();
  exitCode_ = ExitInstance();
  running_ = false;
}

void WorkerThread::RunLoop() {
  bool idle = true;
  long idleCount = 0;
  for (;;) {
    while (idle && queue_->Empty()) {
      if (!OnIdle(idleCount++)) idle = false;
    }
    HoldWhileSuspended();
    std::optional<Message> m = queue_->Get();
    if (!m) return;
    if (m->number == kQuitMessage) {
      exitCode_ = static_cast<int>(m->wParam);
      return;
    }
    if (!map_.Dispatch(*m)) OnUnhandledMessage(*m);
    if (queue_->Empty()) {
      idle = true;
      idleCount = 0;
    }
  }
}

}  // namespace platform
