#include "shell/ui/main/worker_threads.h"

#include <utility>
#include <thread>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/thread_table.h"

namespace {

bool EndsWithin(platform::WorkerThread& thread, std::chrono::steady_clock::time_point deadline) {
  // The thread offers no timed join, so its running flag is watched; the
  // join that follows returns at once.
  while (thread.Running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (thread.Running()) return false;
  thread.Join();
  return true;
}

}  // namespace

WorkerThreadSet::~WorkerThreadSet() { Stop(std::chrono::seconds(10)); }

std::vector<std::string> WorkerThreadSet::Start(const WorkerThreadFactory& factory) {
  struct Plan {
    std::int32_t target;
    const char* name;
    const WorkerThreadFactory::Make* make;
    bool suspended;
  };
  const Plan plans[] = {
      {PT_REMOTE_IO, "remote-I/O", &factory.remoteIo, true},
      {PT_USER_IO, "user-I/O", &factory.userIo, false},
      {PT_PREPROCESSING, "pre-processing", &factory.preProcessing, false},
      {PT_CORE, "core processing", &factory.core, false},
  };
  // Every thread goes into the target tables before any of them runs: the
  // user-I/O thread lets the remote client in at once, and a line it sends
  // must find the pre-processing and core threads to take its work (a post
  // to a thread that is not yet in the tables would be lost). Posts wait in
  // a thread's queue until it runs.
  std::vector<std::string> failed;
  std::vector<std::pair<Entry, bool>> made;  // with whether it starts suspended
  for (const Plan& plan : plans) {
    if (!*plan.make) continue;
    std::unique_ptr<platform::WorkerThread> thread = (*plan.make)();
    if (!thread) {
      failed.push_back(plan.name);
      continue;
    }
    SetTargetThread(plan.target, thread->Id());
    SetTargetThreadObject(plan.target, thread.get());
    made.push_back({Entry{plan.target, plan.name, std::move(thread)}, plan.suspended});
  }
  for (auto& [entry, suspended] : made) {
    if (!entry.thread->Create(suspended)) {
      SetTargetThread(entry.target, platform::kNoHandle);
      SetTargetThreadObject(entry.target, nullptr);
      failed.push_back(entry.name);
      continue;
    }
    entries_.push_back(std::move(entry));
  }
  return failed;
}

std::vector<std::string> WorkerThreadSet::Stop(std::chrono::milliseconds bound) {
  std::vector<std::string> late;
  if (entries_.empty()) return late;
  for (std::int32_t target : {PT_PREPROCESSING, PT_CORE, PT_REMOTE_IO, PT_USER_IO}) {
    for (auto& e : entries_) {
      if (e.target == target) e.thread->Post(WM_QUIT_THREAD);
    }
  }
  // A thread that was never resumed cannot see its quit message.
  for (auto& e : entries_) {
    while (e.thread->Resume() > 1) {
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (auto& e : entries_) {
    SetTargetThread(e.target, platform::kNoHandle);
    SetTargetThreadObject(e.target, nullptr);
    if (EndsWithin(*e.thread, deadline)) continue;
    // Told to quit in the framework's way as well, then left behind.
    e.thread->PostQuit();
    if (EndsWithin(*e.thread, std::chrono::steady_clock::now() + std::chrono::milliseconds(200))) continue;
    late.push_back(e.name);
    (void)e.thread.release();
  }
  entries_.clear();
  return late;
}

platform::WorkerThread* WorkerThreadSet::Thread(std::int32_t target) const {
  for (const auto& e : entries_) {
    if (e.target == target) return e.thread.get();
  }
  return nullptr;
}
