#pragma once
// Where the program's main dialog comes in. The application object builds
// what every window shares (settings, prompt service, help window), asks the
// registered factory for the main dialog, shows it and runs the event loop;
// when the loop ends it answers every open prompt, has the dialog stop and
// join its worker threads, and only then lets Qt go.

#include <functional>
#include <memory>

class CAppSettings;
class COnlineHelpDlg;
class CQtPromptService;
class IShellPromptService;
class QWidget;

struct MainDialogContext {
  CAppSettings& settings;
  // The service every prompt goes through (scripted in runs without a user).
  std::shared_ptr<IShellPromptService> prompts;
  // The Qt service when the program shows real boxes (null when scripted);
  // dialogs of prompt kinds are registered with it.
  CQtPromptService* qtPrompts = nullptr;
  COnlineHelpDlg* helpWindow = nullptr;
};

class IMainDialog {
 public:
  virtual ~IMainDialog() = default;
  // Shows the dialog and starts the worker threads; the event loop runs
  // after it returns. The dialog ends the loop (QCoreApplication::quit)
  // when it closes.
  virtual void Start() = 0;
  // After the loop: posts WM_QUIT_THREAD to the worker threads and joins them.
  virtual void StopWorkers() = 0;
  // The dialog's window, for boxes to be owned by (may be null).
  virtual QWidget* Window() = 0;
};

using MainDialogFactory = std::function<std::unique_ptr<IMainDialog>(MainDialogContext& context)>;

// The main dialog the program builds; until one is registered the program
// runs a stand-in that starts the user-I/O thread and ends at once.
void SetMainDialogFactory(MainDialogFactory factory);
MainDialogFactory GetMainDialogFactory();
