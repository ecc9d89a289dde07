#include "shell/ui/main/flash_dlg.h"

// The window's menu bar, built from the menu table, its recent-file and
// custom pop-ups, the toolbar, and the greying of every item.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "engine/core/app_settings.h"
#include "shell/custom_menu/custom_menu_store.h"
#include "shell/grid/main_commands.h"
#include "shell/grid/main_menus.h"
#include "shell/grid/menu_state.h"

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

  SetupProductSelector();
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

