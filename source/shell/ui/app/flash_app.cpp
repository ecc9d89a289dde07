#include "shell/ui/app/flash_app.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/prompt/prompt_service.h"
#include "platform/process_signals.h"
#include "shell/app/command_line.h"
#include "shell/prompt/engine_box_adapter.h"
#include "shell/prompt/scripted_prompt_service.h"
#include "shell/ui/app/main_dialog.h"
#include "shell/ui/app/program_icon.h"
#include "shell/ui/app/startup_only_dialog.h"
#include "shell/ui/dialogs/shell_dialogs.h"
#include "shell/ui/help/error_report_action.h"
#include "shell/ui/help/online_help_window.h"
#include "shell/ui/prompt/qt_prompt_service.h"

int CFlashApp::Run(int argc, char** argv) {
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
  std::shared_ptr<IShellPromptService> prompts = CScriptedShellPromptService::FromEnvironment();
  if (!prompts) {
    qtPrompts = std::make_shared<CQtPromptService>();
    RegisterErrorReportAction(*qtPrompts, helpWindow);
    RegisterShellDialogs(*qtPrompts, settings);
    prompts = qtPrompts;
  }
  SetShellPromptService(prompts);
  SetPromptService(std::make_shared<CEngineBoxAdapter>(prompts, settings.GetAppString(APP_STRING_WINDOW_TITLE)));

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
