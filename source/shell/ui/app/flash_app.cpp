#include "shell/ui/app/flash_app.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/prompt/prompt_service.h"
#include "platform/process_signals.h"
#include "shell/app/command_line.h"
#include "shell/app/early_switches.h"
#include "shell/app/working_folder.h"
#include "shell/log/log_file.h"
#include "shell/log/post_log_line.h"
#include "shell/prompt/engine_box_adapter.h"
#include "shell/prompt/scripted_prompt_service.h"
#include "shell/prompt/unattended_prompt_service.h"
#include "shell/ui/app/main_dialog.h"
#include "shell/ui/app/program_icon.h"
#include "shell/ui/app/startup_only_dialog.h"
#include "shell/ui/dialogs/shell_dialogs.h"
#include "shell/ui/help/error_report_action.h"
#include "shell/ui/help/online_help_window.h"
#include "shell/ui/prompt/qt_prompt_service.h"

namespace {

// A start that cannot go on: the reason on standard error and in a box;
// the program ends when the box is closed. Where no one can answer, the
// prompt service itself tells standard error and the box is not shown.
int RefuseStart(const std::string& reason, const std::shared_ptr<IShellPromptService>& prompts,
                const std::string& caption, bool unattended) {
  if (!unattended) std::fprintf(stderr, "vexaload: %s\n", reason.c_str());
  auto box = std::make_shared<PromptCall>();
  box->kind = kMessageBoxPrompt;
  box->caption = caption;
  box->text = reason;
  box->style = kStyleOk | kIconStop;
  ShowPromptAndWait(prompts, std::move(box));
  return 1;
}

// The last error line of the log that the user-I/O thread keeps in the
// working folder; empty before that thread has opened it.
std::string LastLogError(const CAppSettings& settings) {
  const std::string folder = settings.GetAppString(APP_STRING_WORKING_DIRECTORY);
  if (folder.empty()) return {};
  const std::string path = folder + settings.GetAppString(APP_STRING_WINDOW_TITLE) + ".log";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return {};
  return CLogFile(path).GetLastLogError();
}

std::shared_ptr<IShellPromptService> MakeUnattendedPrompts(const CAppSettings& settings) {
  CUnattendedPromptService::Outlets outlets;
  outlets.log = [](const std::string& line) { PostLogLine(line); };
  outlets.lastLogError = [&settings] { return LastLogError(settings); };
  outlets.standardError = [](const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  };
  return std::make_shared<CUnattendedPromptService>(std::move(outlets));
}

}  // namespace

int CFlashApp::Run(int argc, char** argv) {
  // The usage, the version and a missing display are answered before the
  // window system starts (it would abort without a display).
  if (const std::optional<EarlyAnswer> early =
          AnswerEarlySwitches(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc))) {
    std::fputs(early->out.c_str(), stdout);
    std::fputs(early->err.c_str(), stderr);
    return early->exitCode;
  }
  // Sockets report a vanished peer as an error instead of ending the process.
  platform::IgnoreBrokenPipe();
  QApplication app(argc, argv);
  // Every window and dialog, message boxes and file dialogs included.
  QApplication::setWindowIcon(ProgramIcon());

  CAppSettings& settings = GetAppSettings();
  CFlashCommandLineInfo commandLine;
  commandLine.ParseArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (commandLine.HasTitle()) settings.SetAppString(APP_STRING_WINDOW_TITLE, commandLine.Title());
  // Listening on every address is not what was asked for: stop instead.
  if (commandLine.RemoteAddressMissing()) {
    std::fputs("vexaload: -remote_address needs the local address to listen on, "
               "for example -remote_address 127.0.0.1\n",
               stderr);
    return 2;
  }
  if (commandLine.HasRemoteAddress()) settings.SetAppString(APP_STRING_REMOTE_ADDRESS, commandLine.RemoteAddress());

  COnlineHelpDlg helpWindow;
  std::shared_ptr<CQtPromptService> qtPrompts;
  // Decided once, here: a scripted run answers from its script; where no
  // one can see a box, none is shown and each takes its safe answer; a real
  // display shows every box and dialog.
  std::shared_ptr<IShellPromptService> prompts = CScriptedShellPromptService::FromEnvironment();
  const bool unattended =
      !prompts && CUnattendedPromptService::NoOneCanAnswerOn(QGuiApplication::platformName().toStdString());
  if (unattended) prompts = MakeUnattendedPrompts(settings);
  if (!prompts) {
    qtPrompts = std::make_shared<CQtPromptService>();
    RegisterErrorReportAction(*qtPrompts, helpWindow);
    RegisterShellDialogs(*qtPrompts, settings);
    prompts = qtPrompts;
  }
  SetShellPromptService(prompts);
  SetPromptService(std::make_shared<CEngineBoxAdapter>(prompts, settings.GetAppString(APP_STRING_WINDOW_TITLE)));

  // Held until the threads are joined: no second program takes these files.
  CWorkingFolderLock folderLock;
  const std::string title = settings.GetAppString(APP_STRING_WINDOW_TITLE);
  if (const std::string refusal = PrepareWorkingFolder(commandLine.UsesUserFolder(), title, folderLock);
      !refusal.empty()) {
    const int code = RefuseStart(refusal, prompts, title, unattended);
    SetPromptService(nullptr);
    SetShellPromptService(nullptr);
    return code;
  }

  MainDialogContext context{settings, prompts, qtPrompts.get(), &helpWindow};
  const MainDialogFactory factory = GetMainDialogFactory();
  std::unique_ptr<IMainDialog> dialog =
      factory ? factory(context) : std::make_unique<CStartupOnlyDialog>(context);
  if (qtPrompts && dialog->Window() != nullptr) qtPrompts->SetParentWindow(dialog->Window());

  dialog->Start();
  app.exec();

  // No thread may wait on a box while the threads are joined.
  prompts->Shutdown(kAnswerAbort);
  dialog->StopWorkers();
  dialog.reset();
  SetPromptService(nullptr);
  SetShellPromptService(nullptr);
  return 0;
}
