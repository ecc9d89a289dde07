#pragma once
// The four worker threads of the program: started by the main window in a
// fixed order and stopped when it closes, with a bounded wait for each.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/worker_thread.h"

// How each worker thread is made; an empty maker leaves that thread out
// (its messages then go nowhere, as posts to an absent thread do).
struct WorkerThreadFactory {
  using Make = std::function<std::unique_ptr<platform::WorkerThread>()>;
  Make remoteIo;
  Make userIo;
  Make preProcessing;
  Make core;
};

class IShellPromptService;

// The program's own threads; the user-I/O thread asks through the given
// prompt service (the installed one when null).
WorkerThreadFactory ProgramWorkerThreads(std::shared_ptr<IShellPromptService> prompts = nullptr);

class WorkerThreadSet {
 public:
  WorkerThreadSet() = default;
  ~WorkerThreadSet();
  WorkerThreadSet(const WorkerThreadSet&) = delete;
  WorkerThreadSet& operator=(const WorkerThreadSet&) = delete;

  // Makes the threads and puts every one into the target tables, then
  // starts them in order: remote-I/O (suspended; the user-I/O thread resumes
  // it), user-I/O, pre-processing, core. No thread runs before all are in
  // the tables, so nothing posted at start goes astray. Returns the names of
  // threads that could not start.
  std::vector<std::string> Start(const WorkerThreadFactory& factory);
  // Posts WM_QUIT_THREAD to the pre-processing, core, remote-I/O and user-I/O
  // threads, in that order, and waits for each to end within the bound. A
  // thread still held suspended is let go first. Returns the names of the
  // threads that did not end in time (they are left running, detached from
  // the tables, rather than block the program's end).
  std::vector<std::string> Stop(std::chrono::milliseconds bound);

  platform::WorkerThread* Thread(std::int32_t target) const;

 private:
  struct Entry {
    std::int32_t target;
    const char* name;
    std::unique_ptr<platform::WorkerThread> thread;
  };
  std::vector<Entry> entries_;
};
