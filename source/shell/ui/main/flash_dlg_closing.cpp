#include "shell/ui/main/flash_dlg.h"

// Closing the main window. With no job under way it ends at once. While
// jobs run it asks first (cancel them and quit, or keep working); a quit
// cancels every running job before the threads are told to end, so the
// device objects stop at their next step instead of finishing unseen, and
// the log says so. A termination request quits the same way without asking.

#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/grid/running_jobs.h"
#include "shell/log/post_log_line.h"

namespace {

constexpr const char* kQuitButtonText = "Cancel Jobs and &Quit";
constexpr const char* kKeepWorkingText = "&Keep Working";

}  // namespace

void CFlashDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  RequestEnd(2, true);
}

void CFlashDlg::RequestEnd(int result, bool ask) {
  const std::vector<DeviceNumber> running = DevicesWithRunningJobs(grid_);
  if (running.empty()) {
    EndDialog(result);
    return;
  }
  if (!ask) {
    QuitCancellingJobs(result);
    return;
  }
  AskBeforeEnding(result, running);
}

void CFlashDlg::AskBeforeEnding(int result, const std::vector<DeviceNumber>& running) {
  if (closeQuestion_) {
    closeQuestion_->raise();
    closeQuestion_->activateWindow();
    return;
  }
  auto* box = new QMessageBox(QMessageBox::Question, windowTitle(),
                              QString::fromStdString(RunningJobsText(running)), QMessageBox::NoButton, this);
  box->setObjectName("closeQuestion");
  box->setInformativeText("Cancel the jobs and quit, or keep working?");
  QPushButton* quit = box->addButton(kQuitButtonText, QMessageBox::DestructiveRole);
  quit->setObjectName("closeQuestionQuit");
  QPushButton* keep = box->addButton(kKeepWorkingText, QMessageBox::RejectRole);
  keep->setObjectName("closeQuestionKeepWorking");
  // Enter and Escape both keep working: only a deliberate choice cancels.
  box->setDefaultButton(keep);
  box->setEscapeButton(keep);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  connect(box, &QMessageBox::buttonClicked, this, [this, quit, result](QAbstractButton* clicked) {
    if (clicked == quit) QuitCancellingJobs(result);
  });
  closeQuestion_ = box;
  box->open();
}

// The jobs running now (those that ended while the question was open are
// not cancelled again).
void CFlashDlg::QuitCancellingJobs(int result) {
  const std::vector<DeviceNumber> running = DevicesWithRunningJobs(grid_);
  if (!running.empty()) {
    PostLogLine(QuitCancelsJobsLogLine(running));
    for (DeviceNumber device : running) PostToTarget<WM_CANCEL_DEVICE>(PT_CORE, static_cast<platform::WParam>(device));
  }
  // A termination request while the question is open answers it.
  if (closeQuestion_) closeQuestion_->hide();
  EndDialog(result);
}
