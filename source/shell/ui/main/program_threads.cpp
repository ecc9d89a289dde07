// The program's worker threads. The shell's threads are added here as they
// become part of the program.
#include "shell/ui/main/worker_threads.h"

#include "engine/processing/core_processing_thread.h"

WorkerThreadFactory ProgramWorkerThreads() {
  WorkerThreadFactory factory;
  factory.core = [] { return std::make_unique<CCoreProcessingThread>(); };
  return factory;
}
