#include "shell/ui/main/flash_dlg.h"

// The window's life: construction, running and ending, its message map and
// the commands of its menus, toolbar and rows. Menus and toolbar, the window's
// size and place, the device rows and the product selector are in the
// flash_dlg_*.cpp files beside this one.

#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "engine/core/app_settings.h"
#include "engine/core/device_status_record.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/prompt/prompt_service.h"
#include "platform/termination_signal.h"
#include "shell/grid/main_commands.h"
#include "shell/log/post_log_line.h"
#include "shell/prompt/prompt_call.h"
#include "shell/ui/app/program_icon.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/main/log_status_bar.h"
#include "shell/ui/main/table_message.h"
#include "shell/ui/main/user_window_settings.h"
#include "shell/ui/main/window_control.h"
#include "shell/ui/main/window_target.h"
#include "shell/userio/product_selection.h"

namespace {

constexpr std::chrono::seconds kThreadStopBound{10};
constexpr int kCoalesceMs = 40;
constexpr std::uint32_t kBoxIconExclamation = 0x30;
constexpr std::uint32_t kBoxOkCancelQuestion = 0x01 | 0x20;
constexpr const char* kFormatQuestion =
    "Format File System?\r\nEvery file on the Smartphone is erased.";
constexpr const char* kChipEraseQuestion =
    "Erase GPS Chip?\r\nThe whole flash of the GPS chip is erased.";
constexpr std::int32_t kErrorPromptKind = PROMPT_ERROR;

int PromptAnswer(const std::string& text, std::uint32_t buttons) { return AppMessageBox(text, buttons); }

}  // namespace

CFlashDlg::CFlashDlg(WorkerThreadFactory threads, QWidget* parent)
    : QMainWindow(parent),
      factory_(std::move(threads)),
      usb_([](const std::string& line) { PostLogLine(line); },
           [](const std::string& text) { PromptAnswer(text, kBoxIconExclamation); }) {
  setObjectName("mainWindow");
  setWindowTitle(QString::fromStdString(GetAppSettings().GetAppString(APP_STRING_WINDOW_TITLE)));
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);

  // Registered as the main window before any thread could post to it.
  SetControlledMainWindow(this);
  target_ = std::make_unique<GuiWindowTarget>(this);
  SetMainWindow(target_->Handle());
  BuildMessageMap();

  repaintTimer_ = new QTimer(this);
  repaintTimer_->setSingleShot(true);
  repaintTimer_->setInterval(kCoalesceMs);
  connect(repaintTimer_, &QTimer::timeout, this, &CFlashDlg::RepaintDirtyRows);

  SetupMenus();
  SetupToolbar();
  gridView_ = new CDeviceGridView(this);
  setCentralWidget(gridView_);
  connect(gridView_, &CDeviceGridView::RowButtonClicked, this, &CFlashDlg::OnCommand);
  statusBar_ = new CLogStatusBar(this);
  setStatusBar(statusBar_);
  FitWindowToRows();
  ApplyMenuState();
  // The place and the recent files are kept under the program's own title.
  userSettings_ = std::make_unique<CUserWindowSettings>(
      QString::fromStdString(GetAppSettings().GetAppString(APP_STRING_WINDOW_TITLE)));
  RestoreGeometry();
  userSettings_->LoadRecentFilesInto(GetAppSettings());

  for (const std::string& name : threads_.Start(factory_)) {
    PostLogLine("Error> The " + name + " thread could not be started");
  }
}

CFlashDlg::~CFlashDlg() { Shutdown(); }

platform::WindowHandle CFlashDlg::Handle() const { return target_ ? target_->Handle() : platform::kNoHandle; }

// ---- running and ending ------------------------------------------------------

int CFlashDlg::Exec() {
  show();
  if (!shutDown_) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
  }
  Shutdown();
  return result_;
}

void CFlashDlg::EndDialog(int result) {
  result_ = result;
  if (isVisible()) SaveGeometry();
  userSettings_->SaveRecentFilesFrom(GetAppSettings());
  hide();
  if (loop_) {
    loop_->exit(result);
  } else if (endsApplication_) {
    QCoreApplication::quit();
  }
}

void CFlashDlg::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  usb_.Stop();
  for (const std::string& name : threads_.Stop(kThreadStopBound))
    std::fprintf(stderr, "The %s thread did not end in time\n", name.c_str());
  repaintTimer_->stop();
  gridView_->Clear();
  if (target_) target_->Close();
  ClearMainWindow();
  SetControlledMainWindow(nullptr);
}

void CFlashDlg::CloseOnTerminationSignal() {
  const int descriptor = platform::WatchTerminationSignals();
  if (descriptor < 0 || terminationNotifier_) return;
  terminationNotifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
  connect(terminationNotifier_, &QSocketNotifier::activated, this, [this] {
    platform::DrainTerminationSignals();
    RequestEnd(2, false);
  });
}

void CFlashDlg::keyPressEvent(QKeyEvent* event) {
  // Escape never closes the window and Enter presses nothing.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void CFlashDlg::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || isMinimized()) return;
  // Rows that came or went while the window was minimised.
  GridEffects effects = grid_.ApplyGridRowChanges();
  Carry(std::move(effects));
}

void CFlashDlg::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  PostToTarget<WM_APPLY_ALWAYS_ON_TOP>(PT_USER_IO);
}

// ---- messages ----------------------------------------------------------------

bool CFlashDlg::event(QEvent* event) {
  if (event->type() != WindowMessageEvent::EventType()) return QMainWindow::event(event);
  if (!shutDown_) map_.Dispatch(static_cast<WindowMessageEvent*>(event)->message());
  return true;
}

void CFlashDlg::BuildMessageMap() {
  map_.On<WM_QUIT_THREAD>([this] { EndDialog(1); })
      .On<WM_STARTUP_CONTINUE>([this] { OnStartupContinue(); })
      .On<WM_SELECT_PRODUCT>([this](std::unique_ptr<ProductSelection> chosen) { OnProductSelected(std::move(chosen)); })
      .On<WM_REBUILD_CUSTOM_MENU>([this] { BuildCustomMenu(); })
      .On<WM_SHOW_PRODUCT_LIST>([this] {
        productSelector_->setFocus();
        productSelector_->showPopup();
      })
      .On<WM_DEVICE_ATTACHED>([this](platform::Message& m) { OnDeviceAttached(m.wParam, m.lParam); })
      .On<WM_DEVICE_REMOVED>([this](platform::Message& m) { OnDeviceRemoved(m.wParam, m.lParam); })
      .On<WM_DEVICE_STATUS>([this](std::unique_ptr<DeviceStatusRecord> record, platform::Message& m) {
        OnDeviceStatus(std::move(record), m);
      })
      .On<WM_GRID_STATUS>([this](std::unique_ptr<DeviceStatusRecord> record) { OnGridStatus(std::move(record)); })
      .On<WM_RESET_DEVICE_ROW>(
          [this](platform::Message& m) { Carry(grid_.OnResetDeviceRow(static_cast<DeviceNumber>(m.wParam))); })
      .On<WM_RESET_ALL_ROWS>([this] { Carry(grid_.OnResetAllRows()); })
      .On<WM_REQUEST_REFUSED>([this](platform::Message& m) {
        Carry(grid_.OnRequestRefused(static_cast<std::uint32_t>(m.wParam), m.lParam != 0));
      })
      .On<WM_UPDATE_REFUSED>([this](std::unique_ptr<std::string> reason) {
        if (reason) Carry(grid_.OnUpdateRefused(*reason));
      })
      .On<WM_USB_DEVICE_EVENT>([this](platform::Message& m) { OnUsbDeviceEvent(m); })
      // A library handed this window (the USB driver's monitor registration)
      // says what the user must know through the log.
      .On<WM_LOG_LINE>([](std::unique_ptr<std::string> line) {
        if (line) PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::move(line));
      })
      .On<WM_RALIX_PERCENT>([](platform::Message& m) { PostToTarget<WM_RALIX_PROGRESS>(PT_CORE, m.wParam, 0); });
}

void CFlashDlg::OnStartupContinue() {
  setCursor(Qt::WaitCursor);
  FallBackToFirstProduct();
  usb_.Start(Handle());
  InitStatusGrid();
  unsetCursor();
}

// ---- commands ----------------------------------------------------------------

void CFlashDlg::OnCommand(int commandId) {
  const CommandPlan plan = PlanCommand(commandId);
  switch (plan.kind) {
    case CommandKind::None:
      return;
    case CommandKind::Post:
      PostTableMessage(plan.target, plan.message, plan.wParam);
      return;
    case CommandKind::SingleDevice:
      if (!RefuseWithMultipleDevices(plan.refusal)) PostTableMessage(plan.target, plan.message, plan.wParam);
      return;
    case CommandKind::FlashSoftware:
      OnFlashSoftware(plan);
      return;
    case CommandKind::Exit:
      RequestEnd(0, true);
      return;
    case CommandKind::ConfirmFormat:
      OnFormatFileSystem(plan);
      return;
    case CommandKind::ConfirmChipErase:
      // As Format: the question says what goes, Cancel is the default.
      if (AppMessageBox(kChipEraseQuestion, kBoxOkCancelQuestion | kStyleDefaultButton2, "Erase") != kAnswerOk) return;
      PostTableMessage(plan.target, plan.message, plan.wParam);
      return;
    case CommandKind::PostWithWindow:
      PostTableMessage(plan.target, plan.message, Handle());
      return;
    case CommandKind::RowButton:
      Carry(grid_.OnRowButton(commandId));
      return;
    case CommandKind::OpenWorkingFolder:
      OpenWorkingFolder();
      return;
  }
}

bool CFlashDlg::RefuseWithMultipleDevices(const std::string& errorLine) {
  if (grid_.CountGridDevices() < 2) return false;
  PostLogLine(errorLine);
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = PROMPT_ERROR;
  prompt->replyTarget = PT_PREPROCESSING;
  prompt->wantReply = 0;
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
  return true;
}

void CFlashDlg::OnFlashSoftware(const CommandPlan& plan) {
  if (RefuseWithMultipleDevices(plan.refusal)) return;  // nothing waits, so nothing is disabled
  if (RefuseWithoutProduct()) return;
  const FlashSoftwareStart start = grid_.BeginFlashSoftware();
  PostTableMessage(plan.target, plan.message, plan.wParam);
  if (start != FlashSoftwareStart::Pending) return;
  flashEnabled_ = false;
  ApplyMenuState();
}

void CFlashDlg::OnFormatFileSystem(const CommandPlan& plan) {
  // The question names the device and its button what it does; Cancel is
  // the default, so that Enter never formats.
  if (AppMessageBox(kFormatQuestion, kBoxOkCancelQuestion | kStyleDefaultButton2, "Format") != kAnswerOk) return;
  PostTableMessage(plan.target, plan.message, Handle());
}

// ---- drops -------------------------------------------------------------------

void CFlashDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CFlashDlg::dropEvent(QDropEvent* event) {
  if (OnFilesDropped(event->mimeData()->urls())) event->acceptProposedAction();
}

bool CFlashDlg::OnFilesDropped(const QList<QUrl>& urls) {
  auto paths = std::make_unique<std::vector<std::string>>();
  for (const QUrl& url : urls) {
    if (url.isLocalFile()) paths->push_back(url.toLocalFile().toStdString());
  }
  if (paths->empty()) return false;
  PostToTarget<WM_FILES_DROPPED>(PT_PREPROCESSING, std::move(paths));
  return true;
}

// ---- helpers -------------------------------------------------------------------

void CFlashDlg::ShowErrorPrompt() {
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = kErrorPromptKind;
  PostToTarget<WM_USER_PROMPT>(PT_PREPROCESSING, std::move(prompt));
}
