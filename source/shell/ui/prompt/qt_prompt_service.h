#pragma once
// The prompt service of the program's windows: every box and dialog that a
// thread asks for is shown on the GUI thread, without a nested event loop
// when the asker is another thread, and its answer is handed back through
// the service's callback.
//
// Dialog kinds show the dialog registered for the kind; while none is
// registered the prompt is answered 2 (Cancel) at once. A rejected dialog
// is 2, never 0. Shutdown answers every open and pending prompt at once,
// and every later one, so no thread waits on a box while the program ends.

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "shell/prompt/shell_prompt_service.h"

class QDialog;
class QEvent;
class QMessageBox;
class QWidget;

class CQtPromptService : public QObject, public IShellPromptService {
  Q_OBJECT

 public:
  // Makes the dialog of a prompt kind; it writes its choice into the call
  // before it closes with OK. The service opens it and deletes it.
  using DialogFactory = std::function<QDialog*(QWidget* parent, PromptCall& call)>;
  // Performs a prompt kind that opens no dialog of its own (the error-report
  // page); its return value is the answer.
  using Action = std::function<int(PromptCall& call)>;

  // Created on the GUI thread; the prompts are shown there.
  explicit CQtPromptService(QObject* parent = nullptr);
  ~CQtPromptService() override;

  void SetParentWindow(QWidget* window);
  void RegisterDialog(PromptKind kind, DialogFactory factory);
  void RegisterAction(PromptKind kind, Action action);

  void Begin(std::shared_ptr<PromptCall> call, Done done) override;
  void Shutdown(int answer) override;

  // Prompts asked before the main window is first on the screen (shown,
  // placed by the window manager and exposed) wait for it, so that they
  // open centred over it, not over the place it had before it was placed.
  bool eventFilter(QObject* watched, QEvent* event) override;

  // The system's answer for a message-box button (2 for none).
  static int AnswerOfButton(int standardButton);
  // The buttons of a box style as Qt standard buttons.
  static int ButtonsOfStyle(std::uint32_t style);

 private:
  struct Pending;

  std::shared_ptr<Pending> Register(Done done);
  void Show(const std::shared_ptr<PromptCall>& call, const std::shared_ptr<Pending>& pending, bool modalHere);
  QWidget* MakeWidget(const std::shared_ptr<PromptCall>& call, bool& isBox);
  // The newest prompt still shown, else the main window.
  QWidget* ParentForNewPrompt();
  QMessageBox* MakeBox(const PromptCall& call);
  QDialog* MakeFileDialog(PromptCall& call);
  void Finish(const std::shared_ptr<Pending>& pending, int answer);

  std::mutex mutex_;
  std::optional<int> shutdownAnswer_;
  std::map<std::uint64_t, std::shared_ptr<Pending>> pending_;
  std::uint64_t nextId_ = 0;
  QPointer<QWidget> parentWindow_;
  bool parentReady_ = true;                                // GUI thread only
  std::vector<std::function<void()>> waitingForParent_;    // GUI thread only

  void WatchParentWindowHandle();
  void ShowPromptsWaitingForParent();
  std::map<PromptKind, DialogFactory> dialogs_;
  std::map<PromptKind, Action> actions_;
};
