// The program's worker threads as the main window starts them.
#include "shell/ui/main/worker_threads.h"

#include "engine/core/app_settings.h"
#include "engine/core/post_target.h"
#include "engine/core/thread_table.h"
#include "engine/processing/core_processing_thread.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell/remote/remote_io_thread.h"
#include "shell/script/script_runner.h"
#include "shell/ui/main/window_control.h"
#include "shell/userio/user_io_thread.h"

namespace {

// The user-I/O thread resumes the remote-I/O thread that the window created
// suspended; without one it reports the count a suspended thread would.
int ResumeRemoteIo() {
  platform::WorkerThread* remote = GetTargetThreadObject(PT_REMOTE_IO);
  return remote ? remote->Resume() : 1;
}

}  // namespace

WorkerThreadFactory ProgramWorkerThreads() {
  WorkerThreadFactory factory;
  factory.remoteIo = [] { return std::make_unique<CRemoteIOThread>(); };
  factory.preProcessing = [] {
    PreprocessingServices services;
    services.scriptRunner = MakeScriptRunnerFactory();
    return std::make_unique<CPreProcessingThread>(std::move(services));
  };
  factory.userIo = [] {
    UserIoSeams seams;
    seams.resumeRemoteIo = ResumeRemoteIo;
    seams.mainWindow = std::make_shared<QtMainWindowControl>();
    return std::make_unique<CUserIOThread>(GetAppSettings(), std::move(seams));
  };
  factory.core = [] { return std::make_unique<CCoreProcessingThread>(); };
  return factory;
}
