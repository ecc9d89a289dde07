// The program's worker threads as the main window starts them.
#include "shell/ui/main/worker_threads.h"

#include <algorithm>

#include "engine/core/app_settings.h"
#include "engine/core/post_target.h"
#include "engine/core/thread_table.h"
#include "engine/core/job_payloads.h"
#include "engine/processing/core_processing_thread.h"
#include "shell/app/expand_shortcut.h"
#include "shell/custom_menu/custom_menu_store.h"
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

// The pre-processing thread queues a chosen custom-menu entry from the
// items current at that moment.
static_assert(kCustomCommandMaxBytes == CustomCommandPayload::kMaxCommandBytes);

bool LookUpCustomMenuItem(std::size_t index, CustomCommandPayload& item) {
  const auto found = GetCustomMenuItem(index);
  if (!found) return false;
  item.label = found->label;
  std::copy(found->command.begin(), found->command.end(), item.command.begin());
  item.commandLength = found->commandLength;
  item.flags = found->flags;
  return true;
}

}  // namespace

WorkerThreadFactory ProgramWorkerThreads(std::shared_ptr<IShellPromptService> prompts) {
  WorkerThreadFactory factory;
  factory.remoteIo = [] { return std::make_unique<CRemoteIOThread>(); };
  factory.preProcessing = [] {
    PreprocessingServices services;
    // FLASH, FLASHPACK_ADD and dropped files take a link's target.
    services.scriptRunner = MakeScriptRunnerFactory(ExpandShortcut);
    services.expandShortcut = ExpandShortcut;
    services.customMenuItem = LookUpCustomMenuItem;
    return std::make_unique<CPreProcessingThread>(std::move(services));
  };
  factory.userIo = [prompts] {
    UserIoSeams seams;
    seams.prompts = prompts;
    seams.resumeRemoteIo = ResumeRemoteIo;
    seams.mainWindow = std::make_shared<QtMainWindowControl>();
    return std::make_unique<CUserIOThread>(GetAppSettings(), std::move(seams));
  };
  factory.core = [] { return std::make_unique<CCoreProcessingThread>(); };
  return factory;
}
