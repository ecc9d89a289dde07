#pragma once
// The program's main dialog until the real one is registered: it starts the
// user-I/O thread (so the configuration and log files are read and written
// as in a full run) and ends the event loop at once.

#include <memory>

#include "shell/ui/app/main_dialog.h"

class CUserIOThread;

class CStartupOnlyDialog : public IMainDialog {
 public:
  explicit CStartupOnlyDialog(MainDialogContext& context);
  ~CStartupOnlyDialog() override;

  void Start() override;
  void StopWorkers() override;
  QWidget* Window() override { return nullptr; }

 private:
  MainDialogContext& context_;
  std::unique_ptr<CUserIOThread> userIo_;
};
