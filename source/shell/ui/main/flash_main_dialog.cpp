#include "shell/ui/main/flash_main_dialog.h"

#include <memory>

#include "shell/ui/main/flash_dlg.h"

namespace {

class CFlashMainDialog : public IMainDialog {
 public:
  explicit CFlashMainDialog(MainDialogContext& context) : window_(ProgramWorkerThreads(context.prompts)) {
    window_.SetEndsApplication(true);
    window_.CloseOnTerminationSignal();
  }
  void Start() override { window_.show(); }
  void StopWorkers() override { window_.Shutdown(); }
  QWidget* Window() override { return &window_; }

 private:
  CFlashDlg window_;
};

}  // namespace

void RegisterFlashMainDialog() {
  SetMainDialogFactory([](MainDialogContext& context) -> std::unique_ptr<IMainDialog> {
    return std::make_unique<CFlashMainDialog>(context);
  });
}
