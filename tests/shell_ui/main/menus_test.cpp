// The menu bar: every item in its pop-up posts what its command posts, the
// items grey (never vanish) by the menu state, the recent files, the status
// bar's latest log line, the program's icon and the window's remembered
// place.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "engine/core/device_event.h"
#include "engine/core/device_status_record.h"
#include "main_window_fixture.h"
#include "shell/custom_menu/custom_menu_store.h"
#include "shell/grid/device_grid.h"
#include "shell/preproc/reverse_flash_request.h"
#include "shell/grid/main_commands.h"
#include "shell/grid/main_menus.h"
#include "shell/ui/app/program_icon.h"
#include "shell/ui/dialogs/shell_dialogs.h"
#include "shell/ui/main/log_status_bar.h"
#include "shell/ui/main/window_control.h"

namespace maintest {
namespace {

constexpr platform::WParam kWindowHandle = ~platform::WParam{0};  // stands for the window's own handle

struct MenuItemCase {
  const char* menu;
  const char* text;
  int command;
  std::uint32_t message;
  platform::WParam wParam;  // kWindowHandle: the window's handle
};

// Every item of the menu table, where a user finds it, and the one request
// it posts to the pre-processing thread (the thread picks the device from
// the options: the selected COM port over RS232, every USB radio over USB).
const MenuItemCase kMenuItems[] = {
    {"&File", "&Flash Software...", 32771, WM_REVERSE_FLASH, 0},
    {"&File", "Flash F&ile...", ID_FLASH_FILE, WM_FLASH_IMAGE_FILE, 0},
    {"&File", "Run &Script...", 32790, WM_RUN_SCRIPT_FILE, 0},
    {"&Radio", "&Erase...", 32793, WM_ERASE, 0},
    {"&Radio", "&Reverse Flash...", 32772, WM_REVERSE_FLASH, kChosenReadBackRequest},
    {"&Radio", "&Comm Check", 32783, WM_COMM_CHECK, 0},
    {"&Radio", "Re&set", 32788, WM_RESET_TARGET, 0},
    {"&Radio", "Program &Magic Key", 32776, WM_PROGRAM_MAGIC_KEY, 0},
    {"&Radio", "RAM &Dump...", 32813, WM_RAM_DUMP, 0},
    {"&Radio", "Flash&Pack Manager...", 32817, WM_FLASHPACK_MANAGER, 0},
    {"&GPS Chip", "&Options...", 32801, WM_USER_PROMPT, 5},
    {"&GPS Chip", "&Flash...", 32796, WM_ORVIX_FLASH, 0},
    {"&GPS Chip", "&Erase", 32797, WM_ORVIX_ERASE, 0},
    {"&GPS Chip", "&Reverse Flash...", 32798, WM_ORVIX_REVERSE_FLASH, 0},
    {"&Smartphone", "&Format File System...", 32848, WM_RALIX_FORMAT, kWindowHandle},
    {"&Smartphone", "Flash F&ile...", 32851, WM_RALIX_FLASH_FILE, kWindowHandle},
    {"&Tools", "&Options...", 32774, WM_USER_PROMPT, 4},
    {"&Help", "&About Vexa Flash", 32775, WM_USER_PROMPT, 6},
};

QAction* ItemOf(QMenu& menu, const QString& text) {
  for (QAction* a : menu.actions()) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

class MenuBarTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    UseFolderWithProduct();
    GetAppSettings().SetAppInt(APP_INT_MAX_RECENT_FILES, 6);
  }
  void Status(int event, int device, int percent = 0, bool updateReadBack = false) {
    auto record = MakeDeviceStatusRecord(event, device, 1, 1, percent, nullptr);
    record->startsUpdateFlash = updateReadBack;
    ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(window->Handle(), std::move(record)));
    FlushWindow();
  }
  // The read-back of Flash Software is done and its file saved.
  void ReadBackSaved(int device) {
    Status(EVENT_REVERSE_FLASH_DONE, device, 100, true);
    Status(EVENT_STATUS_READ_FILE_SAVED, device, 100, true);
  }
  bool Enabled(int command) const { return window->CommandAction(command)->isEnabled(); }
};

TEST_F(MenuBarTest, EveryItemSitsInItsPopUpAndPostsTheRequestOfItsCommand) {
  prompts->Script(kAnswerOk);  // the format question
  Open();
  Attach(4);
  for (const MenuItemCase& c : kMenuItems) {
    SCOPED_TRACE(c.text);
    QMenu* menu = window->Menu(c.menu);
    ASSERT_NE(menu, nullptr) << c.menu;
    QAction* item = ItemOf(*menu, c.text);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item, window->CommandAction(c.command));
    ASSERT_TRUE(item->isEnabled());
    Drain(pre);
    item->trigger();
    auto posted = Drain(pre);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].number, c.message);
    EXPECT_EQ(posted[0].wParam, c.wParam == kWindowHandle ? window->Handle() : c.wParam);
    EXPECT_EQ(posted[0].lParam, 0);
    // Flash Software waits for its read-back; the next row starts afresh.
    if (c.command == ID_FLASH_SOFTWARE) ReadBackSaved(4);
  }
  // The table of the test is the whole menu table: every command item of it.
  std::size_t commandItems = 0;
  for (const MenuEntry& entry : MainMenuEntries()) {
    // Exit and Open Working Folder post nothing; they are tested on their own.
    if (entry.kind == MenuEntryKind::Command && entry.menu != nullptr && entry.commandId != ID_EXIT &&
        entry.commandId != ID_OPEN_WORKING_FOLDER)
      ++commandItems;
  }
  EXPECT_EQ(commandItems, std::size(kMenuItems));
}

TEST_F(MenuBarTest, ThePopUpsComeInTheirOrderWithTheCustomMenuBeforeHelp) {
  Open();
  std::vector<QString> titles;
  for (QAction* a : window->menuBar()->actions()) titles.push_back(a->text());
  EXPECT_EQ(titles, (std::vector<QString>{"&File", "&Radio", "&GPS Chip", "&Smartphone", "&Tools", "&Help"}));
  std::vector<QString> file;
  for (QAction* a : window->Menu("&File")->actions()) file.push_back(a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(file, (std::vector<QString>{"&Flash Software...", "Flash F&ile...", "&Recent Files", "-", "Run &Script...",
                                        "-", "Open &Working Folder", "-", "E&xit"}));
}

TEST_F(MenuBarTest, StandardKeysOpenAFileQuitAndShowTheAbout) {
  Open();
  EXPECT_EQ(window->CommandAction(ID_FLASH_FILE)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(window->CommandAction(ID_EXIT)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(window->CommandAction(ID_ABOUT)->shortcut(), QKeySequence(Qt::Key_F1));
  // Exit from the menu ends the window with result 0.
  QTimer::singleShot(0, [&] { ItemOf(*window->Menu("&File"), "E&xit")->trigger(); });
  EXPECT_EQ(window->Exec(), 0);
}

TEST_F(MenuBarTest, EveryCommandWithAHandlerCanBeReached) {
  Open();
  for (int id : {32772, 32774, 32776, 32783, 32788, 32790, 32793, 32796, 32797, 32798, 32801, 32813, 32817, 32848,
                 32849, 32851}) {
    SCOPED_TRACE(id);
    QAction* action = window->CommandAction(id);
    ASSERT_NE(action, nullptr);
    const QList<QObject*> holders = action->associatedObjects();
    const bool inMenu =
        std::any_of(holders.begin(), holders.end(), [](QObject* o) { return qobject_cast<QMenu*>(o) != nullptr; });
    const bool byKey = !action->shortcut().isEmpty() && window->actions().contains(action);
    EXPECT_TRUE(inMenu || byKey);
  }
  // The second format command asks first, as the first does.
  prompts->Script(kAnswerCancel);
  Drain(pre);
  window->CommandAction(32849)->trigger();
  EXPECT_TRUE(Drain(pre).empty());
}

TEST_F(MenuBarTest, TwoDevicesGreyReverseFlashAndTheFlashPackManagerOnly) {
  Open();
  Attach(4);
  EXPECT_TRUE(Enabled(ID_REVERSE_FLASH));
  EXPECT_TRUE(Enabled(ID_FLASHPACK_MANAGER));
  Attach(9);
  EXPECT_FALSE(Enabled(ID_REVERSE_FLASH));
  EXPECT_FALSE(Enabled(ID_FLASHPACK_MANAGER));
  EXPECT_TRUE(window->CommandAction(ID_REVERSE_FLASH)->isVisible());
  for (int id : {ID_FLASH_SOFTWARE, ID_ERASE, ID_COMM_CHECK, ID_ORVIX_FLASH, ID_OPTIONS, ID_FLASH_FILE})
    EXPECT_TRUE(Enabled(id)) << id;
  PostToWindow(WM_DEVICE_REMOVED, 9, 2);
  FlushWindow();
  EXPECT_TRUE(Enabled(ID_REVERSE_FLASH));
  EXPECT_TRUE(Enabled(ID_FLASHPACK_MANAGER));
}

TEST_F(MenuBarTest, FlashSoftwareIsGreyedWhileItsReadBackIsPending) {
  Open();
  Attach(4);
  window->CommandAction(ID_FLASH_SOFTWARE)->trigger();
  EXPECT_FALSE(Enabled(ID_FLASH_SOFTWARE));
  EXPECT_FALSE(window->ToolBar()->isEnabled());
  EXPECT_TRUE(Enabled(ID_ERASE));
  ReadBackSaved(4);
  EXPECT_TRUE(Enabled(ID_FLASH_SOFTWARE));
  EXPECT_TRUE(window->ToolBar()->isEnabled());
}

TEST_F(MenuBarTest, TheRecentFilesPopUpListsTheRecentFilesAndFlashesTheChosenOne) {
  Open();
  QMenu* recent = window->RecentFilesMenu();
  ASSERT_NE(recent, nullptr);
  GetAppSettings().SetAppInt(APP_INT_MAX_RECENT_FILES, 0);  // an empty list
  emit window->Menu("&File")->aboutToShow();
  EXPECT_FALSE(recent->menuAction()->isEnabled());
  EXPECT_TRUE(recent->menuAction()->isVisible());
  EXPECT_TRUE(recent->actions().isEmpty());

  GetAppSettings().SetAppInt(APP_INT_MAX_RECENT_FILES, 6);
  GetAppSettings().SetAppString(APP_STRING_RECENT_FILE, "/images/old.s19");
  GetAppSettings().SetAppString(APP_STRING_RECENT_FILE, "/images/R&D new.s19");
  emit window->Menu("&File")->aboutToShow();
  EXPECT_TRUE(recent->menuAction()->isEnabled());
  std::vector<QString> texts;
  for (QAction* a : recent->actions()) texts.push_back(a->text());
  ASSERT_GE(texts.size(), 2u);
  texts.resize(2);
  EXPECT_EQ(texts, (std::vector<QString>{"&1 /images/R&&D new.s19", "&2 /images/old.s19"}));
  Drain(pre);
  recent->actions()[1]->trigger();
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_RECENT_FILE);
  EXPECT_EQ(posted[0].wParam, 1u);
  EXPECT_EQ(window->CommandAction(ID_FIRST_RECENT_FILE + 1), recent->actions()[1]);
}

TEST_F(MenuBarTest, CustomItemsOfAnotherChipFamilyAreGreyedNotHidden) {
  SectorList harrow;
  harrow.processorName = "HARROW";
  GetAppSettings().SetSectorList(harrow);
  Open();
  CustomMenu items(2);
  items[0].label = "Every family";
  items[0].flags = 0xE;
  items[1].label = "Calder only";
  items[1].flags = 0x4;
  PublishCustomMenu(items);
  PostToWindow(WM_REBUILD_CUSTOM_MENU);
  FlushWindow();
  ASSERT_NE(window->Menu("&Help"), nullptr);
  EXPECT_TRUE(window->CommandAction(32853)->isEnabled());
  EXPECT_FALSE(window->CommandAction(32854)->isEnabled());
  EXPECT_TRUE(window->CommandAction(32854)->isVisible());
  PublishCustomMenu({});
  GetAppSettings().SetSectorList({});
}

// ---- the status bar ------------------------------------------------------------

struct LineCase {
  const char* line;
  const char* shown;
  int colour;  // 0 the bar's own, 1 error, 2 warning
};

TEST_F(MenuBarTest, TheStatusBarShowsTheLatestLogLineInItsColour) {
  Open();
  const QColor plain = window->StatusBar()->palette().color(QPalette::WindowText);
  const LineCase cases[] = {
      {"Reading product file radios.qlp", "Reading product file radios.qlp", 0},
      {"COM1> Error> Connection failed", "COM1> Error> Connection failed", 1},
      {"USB3> ERROR: Flash verify failed", "USB3> ERROR: Flash verify failed", 1},
      {"Warning> Retrying", "Warning> Retrying", 2},
      {"Error> First.\r\nSecond", "Error> First. Second", 1},
  };
  QtMainWindowControl control;  // the user-I/O thread's road to the window
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    control.ShowLatestLogLine(c.line);
    ASSERT_TRUE(PumpUntil([&] { return window->StatusBar()->LineText() == c.shown; }));
    const QColor expected = c.colour == 1 ? CLogStatusBar::kErrorColor
                            : c.colour == 2 ? CLogStatusBar::kWarningColor
                                            : plain;
    EXPECT_EQ(window->StatusBar()->LineColor(), expected);
    auto* label = window->StatusBar()->findChild<QLabel*>("latestLogLine");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), expected);
    EXPECT_TRUE(label->isVisible());
  }
}

TEST_F(MenuBarTest, ALongLineIsCutToTheBarAndShownWholeAsItsTooltip) {
  Open();
  const QString line = "Error> " + QString("x").repeated(600);
  window->StatusBar()->ShowLogLine(line);
  auto* label = window->StatusBar()->findChild<QLabel*>("latestLogLine");
  ASSERT_NE(label, nullptr);
  EXPECT_LE(window->width(), 1000);
  EXPECT_TRUE(label->text().endsWith(QChar(0x2026)));
  EXPECT_EQ(label->toolTip(), line);
}

TEST_F(MenuBarTest, AnEleventhDeviceIsLoggedAsFindingTheGridFull) {
  Open();
  for (int index = 0; index < 10; ++index) Attach(index);
  LogLines();
  Attach(20);
  EXPECT_EQ(window->Grid().FindGridRow(20), -1);
  const auto lines = LogLines();
  EXPECT_EQ(lines, (std::vector<std::string>{"USB20> Device Attached", GridFullLogLine(20)}));
  EXPECT_EQ(GridFullLogLine(20), "Warning> The status grid is full (10 devices): USB20 gets no row");
}

// ---- icon and place ---------------------------------------------------------------

bool SameIcon(const QIcon& a, const QIcon& b) {
  return !a.isNull() && !b.isNull() && a.pixmap(32).toImage() == b.pixmap(32).toImage();
}

TEST_F(MenuBarTest, TheWindowAndEveryDialogCarryTheProgramIcon) {
  ASSERT_FALSE(ProgramIcon().isNull());
  EXPECT_FALSE(ProgramIcon().availableSizes().isEmpty());
  Open();
  EXPECT_TRUE(SameIcon(window->windowIcon(), ProgramIcon()));
  CAppSettings settings;
  for (PromptKind kind : {PROMPT_ERASE_SECTORS, PROMPT_REVERSE_FLASH_SECTORS, PROMPT_ORVIX_REVERSE_FLASH, PROMPT_OPTIONS,
                          PROMPT_ORVIX_OPTIONS, PROMPT_ABOUT}) {
    SCOPED_TRACE(kind);
    PromptCall call;
    call.kind = kind;
    switch (kind) {
      case PROMPT_ERASE_SECTORS: call.dialog = EraseSectorsDialogData{}; break;
      case PROMPT_REVERSE_FLASH_SECTORS: call.dialog = ReverseFlashDialogData{}; break;
      case PROMPT_ORVIX_REVERSE_FLASH: call.dialog = OrvixReverseFlashDialogData{}; break;
      case PROMPT_OPTIONS: call.dialog = OptionsDialogData{&settings}; break;
      case PROMPT_ORVIX_OPTIONS: call.dialog = OrvixOptionsDialogData{}; break;
      default: call.dialog = AboutDialogData{}; break;
    }
    std::unique_ptr<QDialog> dialog(ShellDialogFor(kind, settings)(nullptr, call));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(SameIcon(dialog->windowIcon(), ProgramIcon()));
  }
}

TEST_F(MenuBarTest, TheWindowComesBackWhereTheUserLeftIt) {
  Open();
  window->move(140, 90);
  ASSERT_TRUE(PumpUntil([&] { return window->pos() == QPoint(140, 90); }));
  window->OnCommand(ID_EXIT);
  window.reset();
  // In the user's Qt settings, not in the configuration file.
  EXPECT_TRUE(QSettings("Quillon", "vexaload").allKeys().filter("MainWindow/").size() >= 1);
  Open();
  EXPECT_EQ(window->pos(), QPoint(140, 90));
  // A place off every screen is not taken.
  window->move(-5000, -5000);
  window->OnCommand(ID_EXIT);
  window.reset();
  Open();
  EXPECT_NE(window->pos(), QPoint(-5000, -5000));
}

}  // namespace
}  // namespace maintest
