#include "shell/ui/main/flash_dlg.h"

#include <QAction>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QAbstractItemView>
#include <QMimeData>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>

#include "engine/core/app_settings.h"
#include "engine/core/device_status_record.h"
#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/prompt/prompt_service.h"
#include "pellwick/pellwick.h"
#include "platform/termination_signal.h"
#include "shell/grid/main_commands.h"
#include "shell/grid/main_menus.h"
#include "shell/grid/menu_state.h"
#include "shell/grid/usb_change_event.h"
#include "shell/ui/app/program_icon.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/main/log_status_bar.h"
#include "shell/ui/main/smartphone_ports.h"
#include "shell/ui/main/window_control.h"
#include "shell/userio/product_selection.h"
#include "shell/custom_menu/custom_menu_store.h"
#include "shell/ui/main/window_target.h"

namespace {

constexpr std::chrono::seconds kThreadStopBound{10};
constexpr int kCoalesceMs = 40;
constexpr int kNaturalWidth = 480;
constexpr int kProductSelectorWidth = 120;
constexpr int kWidestUsbIndex = 126;
constexpr int kSmartphoneKind = 3;
constexpr std::uint32_t kBoxIconExclamation = 0x30;
constexpr std::uint32_t kBoxOkCancelQuestion = 0x01 | 0x20;
constexpr std::int32_t kErrorPromptKind = PROMPT_ERROR;

// The command and grid tables name their messages by number at run time;
// every one of them carries plain integers only.
int PostTableMessage(std::int32_t target, std::uint32_t number, platform::WParam wParam) {
  return PostToTarget(target, platform::Message(number, wParam, 0));
}

std::string Format(const char* format, int value) {
  char line[256];
  std::snprintf(line, sizeof line, format, value);
  return line;
}

int PromptAnswer(const std::string& text, std::uint32_t buttons) { return AppMessageBox(text, buttons); }

// The product selector rescans the product files each time its list drops down.
class ProductComboBox : public QComboBox {
 public:
  ProductComboBox(QWidget* parent, std::function<void()> beforePopup)
      : QComboBox(parent), beforePopup_(std::move(beforePopup)) {}
  void showPopup() override {
    beforePopup_();
    QComboBox::showPopup();
  }

 private:
  std::function<void()> beforePopup_;
};

}  // namespace

CFlashDlg::CFlashDlg(WorkerThreadFactory threads, QWidget* parent)
    : QMainWindow(parent),
      factory_(std::move(threads)),
      usb_([this](const std::string& line) { Log(line); },
           [](const std::string& text) { PromptAnswer(text, kBoxIconExclamation); }) {
  setObjectName("mainWindow");
  setWindowTitle(QString::fromStdString(GetAppSettings().GetAppString(APP_STRING_WINDOW_TITLE)));
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);

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
  RestorePosition();

  for (const std::string& name : threads_.Start(factory_)) Log("Error> The " + name + " thread could not be started");
}

CFlashDlg::~CFlashDlg() { Shutdown(); }

platform::WindowHandle CFlashDlg::Handle() const { return target_ ? target_->Handle() : platform::kNoHandle; }

QAction* CFlashDlg::CommandAction(int commandId) const {
  auto it = actions_.find(commandId);
  return it == actions_.end() ? nullptr : it->second;
}

// ---- set-up ------------------------------------------------------------------

QMenu* CFlashDlg::Menu(const QString& text) const {
  auto it = menus_.find(text);
  return it == menus_.end() ? nullptr : it->second;
}

// The menu bar comes from the menu table: pop-ups in the table's order, each
// item greyed by its rule whenever a pop-up opens or the state changes.
void CFlashDlg::SetupMenus() {
  for (const MenuEntry& entry : MainMenuEntries()) {
    if (entry.menu == nullptr) {
      addAction(AddCommandAction(this, entry));
      continue;
    }
    const QString title = QString::fromUtf8(entry.menu);
    QMenu*& menu = menus_[title];
    if (menu == nullptr) {
      menu = menuBar()->addMenu(title);
      menu->setObjectName("menu" + QString(title).remove('&').remove(' '));
      connect(menu, &QMenu::aboutToShow, this, &CFlashDlg::ApplyMenuState);
    }
    switch (entry.kind) {
      case MenuEntryKind::Separator:
        menu->addSeparator();
        break;
      case MenuEntryKind::RecentFiles:
        recentFilesMenu_ = menu->addMenu(QString::fromUtf8(entry.text));
        recentFilesMenu_->setObjectName("recentFilesMenu");
        ruledActions_.emplace_back(recentFilesMenu_->menuAction(), entry.rule);
        connect(menu, &QMenu::aboutToShow, this, &CFlashDlg::BuildRecentFilesMenu);
        break;
      case MenuEntryKind::Command:
        menu->addAction(AddCommandAction(menu, entry));
        break;
    }
  }
  helpMenu_ = Menu("&Help");
  // The error report page has no menu entry of its own.
  RemoveMenuCommand(ID_ERROR_REPORT);
}

QAction* CFlashDlg::AddCommandAction(QWidget* owner, const MenuEntry& entry) {
  auto* action = new QAction(QString::fromUtf8(entry.text), owner);
  const int id = entry.commandId;
  action->setObjectName(QString("command%1").arg(id));
  if (entry.shortcut != nullptr) action->setShortcut(QKeySequence(QString::fromUtf8(entry.shortcut)));
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  actions_[id] = action;
  ruledActions_.emplace_back(action, entry.rule);
  return action;
}

// The recent files as the File menu opens: "&1 path" and on, one per entry.
void CFlashDlg::BuildRecentFilesMenu() {
  for (QAction* a : recentFilesMenu_->actions()) actions_.erase(a->data().toInt());
  recentFilesMenu_->clear();
  const CAppSettings& settings = GetAppSettings();
  for (int i = 0; ID_FIRST_RECENT_FILE + i <= ID_LAST_RECENT_FILE; ++i) {
    const std::string path = settings.GetAppString(APP_STRING_RECENT_FILE, i);
    if (path.empty()) break;
    const int id = ID_FIRST_RECENT_FILE + i;
    QAction* action = recentFilesMenu_->addAction(QString::fromStdString(RecentFileMenuText(i, path)));
    action->setData(id);
    action->setObjectName(QString("command%1").arg(id));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
  }
  ApplyMenuState();
}

void CFlashDlg::BuildCustomMenu() {
  const CustomMenuSnapshot items = GetCustomMenu();
  if (items->empty()) {
    if (customMenu_) {
      for (const QAction* a : customMenu_->actions()) actions_.erase(a->data().toInt());
      menuBar()->removeAction(customMenu_->menuAction());
      customMenu_->deleteLater();
      customMenu_ = nullptr;
    }
    return;
  }
  if (!customMenu_) {
    customMenu_ = new QMenu("&Custom", this);
    customMenu_->setObjectName("customMenu");
    menuBar()->insertMenu(helpMenu_->menuAction(), customMenu_);
  }
  for (const QAction* a : customMenu_->actions()) actions_.erase(a->data().toInt());
  customMenu_->clear();
  const int family = GetAppSettings().ChipFamilyFromName();
  const std::size_t count = std::min<std::size_t>(items->size(), ID_LAST_CUSTOM_ITEM - ID_FIRST_CUSTOM_ITEM + 1);
  for (std::size_t i = 0; i < count; ++i) {
    const CustomMenuItem& item = (*items)[i];
    const int id = ID_FIRST_CUSTOM_ITEM + static_cast<int>(i);
    QAction* action = customMenu_->addAction(QString::fromStdString(item.label));
    action->setData(id);
    action->setObjectName(QString("command%1").arg(id));
    action->setEnabled(CustomItemEnabled(item.flags, family));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
  }
}

void CFlashDlg::RemoveMenuCommand(int commandId) {
  // A command that is not in the menu is already where it should be.
  auto it = actions_.find(commandId);
  if (it == actions_.end() || commandId == ID_TOOL_FLASH_SOFTWARE) return;
  for (QMenu* menu : menuBar()->findChildren<QMenu*>()) menu->removeAction(it->second);
  std::erase_if(ruledActions_, [action = it->second](const auto& ruled) { return ruled.first == action; });
  it->second->deleteLater();
  actions_.erase(it);
}

void CFlashDlg::SetupToolbar() {
  toolBar_ = addToolBar("Toolbar");
  toolBar_->setObjectName("toolBar");
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* flash = toolBar_->addAction("Flash Software");
  flash->setObjectName(QString("command%1").arg(ID_TOOL_FLASH_SOFTWARE));
  flash->setToolTip("Flash Software");
  connect(flash, &QAction::triggered, this, [this] { OnCommand(ID_TOOL_FLASH_SOFTWARE); });
  actions_[ID_TOOL_FLASH_SOFTWARE] = flash;
  toolBar_->addSeparator();

  productSelector_ = new ProductComboBox(toolBar_, [this] { OnProductDropDown(); });
  productSelector_->setObjectName("productSelector");
  productSelector_->setToolTip("Select a new product file");
  productSelector_->setMinimumWidth(kProductSelectorWidth);
  productSelector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  productSelector_->setMaxVisibleItems(16);
  toolBar_->addWidget(productSelector_);
  connect(productSelector_, &QComboBox::activated, this, &CFlashDlg::OnProductSelChange);
  ScanProductFiles(false);
}

void CFlashDlg::ApplyMenuState() {
  ShellState shell{flashEnabled_};
  shell.devicesInUse = grid_.CountGridDevices();
  shell.hasRecentFiles = !GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, 0).empty();
  const MenuState state = ComputeMenuState(shell);
  for (const auto& [action, rule] : ruledActions_) action->setEnabled(MenuItemEnabled(rule, state));
  if (QAction* a = CommandAction(ID_TOOL_FLASH_SOFTWARE)) a->setEnabled(state.flashSoftwareEnabled);
  toolBar_->setEnabled(state.toolbarEnabled);
}

void CFlashDlg::FitWindowToRows() {
  // Rows are a little more than half the toolbar's height, but never lower
  // than the text they carry.
  const int toolbarHeight = toolBar_->sizeHint().height();
  const int textHeight = QFontMetrics(font()).height();
  const int rowHeight = std::max(static_cast<int>(0.58 * toolbarHeight), textHeight + 14);
  const int width = std::max(kNaturalWidth, toolBar_->sizeHint().width());
  gridView_->SetRowMetrics(width, rowHeight);
  const int height = menuBar()->sizeHint().height() + toolBar_->sizeHint().height() + gridView_->height() +
                     statusBar_->sizeHint().height();
  setFixedSize(width, height);
}

// The window's place on the desktop is the user's, kept in the user's Qt
// settings (the configuration file's keys are fixed), one place per title.
namespace {

QString PositionKey(const QString& title) {
  return "MainWindow/" + QString(title).replace('/', '_').replace('\\', '_') + "/position";
}

QSettings UserSettings() { return QSettings(QSettings::UserScope, "Quillon", "vexaload"); }

}  // namespace

void CFlashDlg::RestorePosition() {
  const QVariant stored = UserSettings().value(PositionKey(windowTitle()));
  if (!stored.canConvert<QPoint>()) return;
  const QPoint position = stored.toPoint();
  // A place on a screen that is gone would hide the window.
  const QRect placed(position, size());
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().intersects(placed)) {
      move(position);
      return;
    }
  }
}

void CFlashDlg::SavePosition() const {
  QSettings settings = UserSettings();
  settings.setValue(PositionKey(windowTitle()), pos());
  settings.sync();
}

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
  if (isVisible()) SavePosition();
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
    close();
  });
}

void CFlashDlg::closeEvent(QCloseEvent* event) {
  event->accept();
  EndDialog(2);
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
      .On<WM_RESET_ALL_ROWS>([this] { Carry(grid_.OnCancelAllDevices()); })
      .On<WM_REQUEST_REFUSED>([this](platform::Message& m) {
        Carry(grid_.OnRequestRefused(static_cast<std::uint32_t>(m.wParam), m.lParam != 0));
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

void CFlashDlg::InitStatusGrid() {
  std::vector<DeviceNumber> devices;
  CAppSettings& settings = GetAppSettings();
  if (settings.GetAppInt(APP_INT_USB_AVAILABLE) == 1) {
    const auto app = static_cast<std::uint16_t>(settings.GetAppInt(APP_INT_USB_APP_HANDLE));
    std::array<std::uint16_t, 2 * PWL_MAX_DEVICES> ids{};
    int flashCount = 0;
    int result = PWLGetDevicesEx(app, PWL_INTERFACE_FLASH, &flashCount, ids.data());
    flashCount = std::clamp(flashCount, 0, PWL_MAX_DEVICES);
    int total = flashCount;
    if (result == PWL_RC_SUCCESS || result == PWL_RC_NO_DEVICE) {
      int bootCount = 0;
      result = PWLGetDevicesEx(app, PWL_INTERFACE_BOOT, &bootCount, ids.data() + flashCount);
      total += std::clamp(bootCount, 0, PWL_MAX_DEVICES);
      if (result == PWL_RC_NO_DEVICE && total > 0) result = PWL_RC_SUCCESS;
    }
    if (result == PWL_RC_SUCCESS) {
      for (int i = 0; i < total; ++i) devices.push_back(ids[static_cast<std::size_t>(i)]);
    }
  }
  if (settings.GetIntParam(OPTION_COMM_PROTOCOL) == 0)
    devices.push_back(DEVICE_FIRST_COM + settings.GetIntParam(OPTION_SERIAL_PORT));
  LogDevicesWithoutRow(grid_.ReserveDevices(devices));
  Carry(grid_.ApplyGridRowChanges());
}

void CFlashDlg::OnUsbDeviceEvent(platform::Message& message) {
  // The record stays the sender's: what is needed is copied out of it, and
  // only as many bytes as its length says are there.
  const std::size_t length = message.wParam & 0xFFFF;
  std::array<std::uint8_t, kUsbChangeMinimumLength> copy{};
  if (message.lParam == 0 || length < copy.size()) return;
  std::memcpy(copy.data(), reinterpret_cast<const void*>(message.lParam), copy.size());
  const std::optional<UsbChange> change = ReadUsbChange(copy.data(), length);
  if (!change) return;
  platform::PostWindowMessage(Handle(), change->message, static_cast<platform::WParam>(change->index),
                              change->kind);
}

void CFlashDlg::OnDeviceAttached(platform::WParam wParam, platform::LParam kind) {
  const int index = static_cast<int>(wParam);
  DeviceNumber device = static_cast<DeviceNumber>(wParam);
  if (kind == kUsbPhoneInterfaceKind && index >= 0 && index <= kWidestUsbIndex) {
    Log(Format("USB%d> Device Attached", index));
  } else if (kind == kSmartphoneKind) {
    if (SmartphoneUsbPorts().size() == 1) {
      Log(Format("Smartphone> Device Attached on USB%d", index));
      device = DEVICE_SMARTPHONE;
    } else {
      Log(Format("Unsupported Smartphone> Device Attached on USB%d", index));
      device = DEVICE_FIRST_UNSUPPORTED_SMARTPHONE + index;
    }
  }
  Carry(grid_.OnDeviceAttached(device));
}

void CFlashDlg::OnDeviceRemoved(platform::WParam wParam, platform::LParam kind) {
  const int index = static_cast<int>(wParam);
  DeviceNumber device = static_cast<DeviceNumber>(wParam);
  if (kind == kSmartphoneKind) {
    if (grid_.FindGridRow(DEVICE_FIRST_UNSUPPORTED_SMARTPHONE + index) < 0) {
      Log(Format("Smartphone> Device Removed on USB%d", index));
      device = DEVICE_SMARTPHONE;
    } else {
      Log(Format("Unsupported Smartphone> Device Removed on USB%d", index));
      device = DEVICE_FIRST_UNSUPPORTED_SMARTPHONE + index;
    }
  } else if (index >= 0 && index <= kWidestUsbIndex) {
    Log(Format("USB%d> Device Removed", index));
  }
  Carry(grid_.OnDeviceRemoved(device));
}

void CFlashDlg::OnDeviceStatus(std::unique_ptr<DeviceStatusRecord> record, const platform::Message& message) {
  if (!record) return;
  // The FlashPack Manager, while open, shows the status instead of the grid.
  auto copy = MakeDeviceStatusRecord(record->eventCode, record->device, record->itemsStarted, record->itemsQueued,
                                     record->percent, record->error.get());
  if (PostToTarget<WM_DEVICE_STATUS>(PT_SECOND_WINDOW, std::move(copy), message.lParam)) return;
  platform::PostWindowMessage<WM_GRID_STATUS>(Handle(), std::move(record), message.lParam);
}

void CFlashDlg::OnGridStatus(std::unique_ptr<DeviceStatusRecord> record) {
  if (!record) return;
  const int index = grid_.FindGridRow(record->device);
  const GridRowStateCode before = index >= 0 ? grid_.Row(index).state : GRID_ROW_READY;
  GridEffects effects = grid_.OnGridStatus(*record);
  // Progress within one state waits for the next repaint tick; every change
  // of state is shown at once.
  const bool progressOnly = index >= 0 && grid_.Row(index).state == before && !effects.flashReleased &&
                            effects.posts.empty() && (before == GRID_ROW_BUSY || before == GRID_ROW_WAITING ||
                                                      before == GRID_ROW_SCANNING || before == GRID_ROW_REMOVED_BUSY);
  Carry(std::move(effects), progressOnly);
}

void CFlashDlg::ApplyGridChanges(GridEffects& effects) {
  if (!effects.applyWanted) return;
  effects.applyWanted = false;
  if (isMinimized()) return;  // made when the window is restored
  effects.Merge(grid_.ApplyGridRowChanges());
}

void CFlashDlg::Carry(GridEffects effects, bool coalesce) {
  ApplyGridChanges(effects);
  LogDevicesWithoutRow(effects.withoutRow);
  for (const GridPost& post : effects.posts) PostTableMessage(post.target, post.message, post.wParam);
  if (effects.report) PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::make_unique<StatusReport>(*effects.report));
  if (effects.flashReleased) {
    flashEnabled_ = true;
    ApplyMenuState();
  }
  pendingRepaint_.insert(effects.dirtyRows.begin(), effects.dirtyRows.end());
  if (coalesce && !effects.rowsChanged) {
    if (!repaintTimer_->isActive()) repaintTimer_->start();
    return;
  }
  RepaintDirtyRows();
  if (effects.rowsChanged) {
    FitWindowToRows();
    ApplyMenuState();
  }
}

void CFlashDlg::RepaintDirtyRows() {
  repaintTimer_->stop();
  std::set<int> dirty;
  dirty.swap(pendingRepaint_);
  gridView_->Sync(grid_, dirty);
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
      EndDialog(0);
      return;
    case CommandKind::ConfirmFormat:
      OnFormatFileSystem(plan);
      return;
    case CommandKind::PostWithWindow:
      PostTableMessage(plan.target, plan.message, Handle());
      return;
    case CommandKind::RowButton:
      Carry(grid_.OnRowButton(commandId));
      return;
  }
}

bool CFlashDlg::RefuseWithMultipleDevices(const std::string& errorLine) {
  if (grid_.CountGridDevices() < 2) return false;
  Log(errorLine);
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = PROMPT_ERROR;
  prompt->replyTarget = PT_PREPROCESSING;
  prompt->wantReply = 0;
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
  return true;
}

void CFlashDlg::OnFlashSoftware(const CommandPlan& plan) {
  if (RefuseWithMultipleDevices(plan.refusal)) return;  // nothing waits, so nothing is disabled
  const FlashSoftwareStart start = grid_.BeginFlashSoftware();
  PostTableMessage(plan.target, plan.message, plan.wParam);
  if (start != FlashSoftwareStart::Pending) return;
  flashEnabled_ = false;
  ApplyMenuState();
}

void CFlashDlg::OnFormatFileSystem(const CommandPlan& plan) {
  if (PromptAnswer("Format File System?", kBoxOkCancelQuestion) != kAnswerOk) return;
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

// ---- product selector ----------------------------------------------------------

void CFlashDlg::ScanProductFiles(bool postSelection) {
  const QString remembered = productSelector_->currentText();
  CAppSettings& settings = GetAppSettings();
  ProductScan scan = ::ScanProductFiles(settings.GetAppString(APP_STRING_WORKING_DIRECTORY),
                                      settings.GetIntParam(OPTION_PRODUCT_FILTER) != 0);
  products_ = std::move(scan.entries);
  if (!scan.errorLine.empty()) {
    Log(scan.errorLine);
    ShowErrorPrompt();
  }
  int selected = FindProductTag(products_, remembered.toStdString());
  if (selected < 0 && !postSelection) {
    // At start-up the configured product is the selection; nothing is posted
    // that would replace it.
    selected = FindProductTag(products_, settings.GetStringParam(OPTION_PRODUCT_TAG));
  }
  const bool fallBack = selected < 0 && !products_.empty();
  if (fallBack) selected = 0;
  FillProductSelector(selected);
  if (fallBack && postSelection) PostProductSelection(products_.front());
}

void CFlashDlg::FallBackToFirstProduct() {
  // The configuration has been read (and its product shown) by now. A
  // configured product that no product file holds gives way to the first
  // entry, which is loaded as the new product, so that the selector never
  // shows a product that was not read.
  if (products_.empty()) return;
  const int configured = FindProductTag(products_, GetAppSettings().GetStringParam(OPTION_PRODUCT_TAG));
  if (configured >= 0) {
    if (productSelector_->currentIndex() != configured) FillProductSelector(configured);
    return;
  }
  FillProductSelector(0);
  PostProductSelection(products_.front());
}

void CFlashDlg::FillProductSelector(int selected) {
  fillingProducts_ = true;
  productSelector_->clear();
  for (const ProductEntry& entry : products_) productSelector_->addItem(QString::fromStdString(entry.tag));
  productSelector_->setCurrentIndex(selected);
  fillingProducts_ = false;
}

void CFlashDlg::OnProductDropDown() {
  ScanProductFiles(true);
  const QFontMetrics metrics(productSelector_->font());
  int widest = 0;
  for (const ProductEntry& entry : products_)
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(entry.tag)));
  productSelector_->view()->setMinimumWidth(std::max(widest + 6, kProductSelectorWidth));
}

void CFlashDlg::OnProductSelChange(int index) {
  if (fillingProducts_ || index < 0 || index >= static_cast<int>(products_.size())) return;
  PostProductSelection(products_[static_cast<std::size_t>(index)]);
}

void CFlashDlg::PostProductSelection(const ProductEntry& entry) {
  PostToTarget<WM_SELECT_PRODUCT>(PT_PREPROCESSING, std::make_unique<ProductSelection>(ProductSelection{entry.file, entry.tag}));
}

void CFlashDlg::OnProductSelected(std::unique_ptr<ProductSelection> chosen) {
  if (!chosen) {
    Log("Error> An error occurred while selecting the new product file");
    ShowErrorPrompt();
    return;
  }
  int index = FindProductTag(products_, chosen->productTag);
  if (index < 0) index = InsertProductEntry(products_, {chosen->productFile, chosen->productTag});
  FillProductSelector(index);
}

// ---- helpers -------------------------------------------------------------------

void CFlashDlg::Log(const std::string& line) {
  PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::make_unique<std::string>(line));
}

void CFlashDlg::LogDevicesWithoutRow(const std::vector<DeviceNumber>& devices) {
  for (DeviceNumber device : devices) Log(GridFullLogLine(device));
}

void CFlashDlg::ShowErrorPrompt() {
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = kErrorPromptKind;
  PostToTarget<WM_USER_PROMPT>(PT_PREPROCESSING, std::move(prompt));
}
