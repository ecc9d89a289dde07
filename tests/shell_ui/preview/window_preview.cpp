// Shows the main window as a user sees it during a flash and saves PNG
// pictures of it: at start, with Flash Software's read-back failed and then
// retried, with a row ended by a refused Flash Software,
// with the format question open, with three devices mid-flash (one failed,
// its reason in the status bar), with the product list, and with each
// pop-up of the menu bar open (the File menu with its recent files). No worker thread
// runs; the device changes, status records and log lines are the ones the
// core thread, the USB monitor and the user-I/O thread post.
//
//   window_preview <output folder>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "engine/core/app_settings.h"
#include "engine/core/device_status_record.h"
#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "platform/target_registry.h"
#include "platform/temp_folder.h"
#include "engine/core/error_record.h"
#include "engine/core/kernel_error_text.h"
#include "engine/prompt/prompt_service.h"
#include "shell/grid/main_commands.h"
#include "shell/prompt/engine_box_adapter.h"
#include "shell/ui/main/flash_dlg.h"
#include "shell/ui/prompt/qt_prompt_service.h"
#include "shell/ui/main/log_status_bar.h"
#include "shell/update/update_flash.h"
#include "shell/userio/product_companions.h"
#include "closing_preview.h"

namespace {

void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget& widget, const QString& folder, const char* name) {
  const QString path = folder + "/" + name;
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// What the screen shows over the window and the open pop-ups: menus are
// windows of their own, which a picture of the main window leaves out.
bool SaveScreenArea(const QRect& area, const QString& folder, const char* name) {
  const QString path = folder + "/" + name;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || !screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Opens the pop-up of the menu bar (and the sub-menu of the action, when
// given) and shoots the window with it.
bool SaveOpenMenu(CFlashDlg& window, const QString& title, QMenu* subMenu, const QString& folder, const char* name) {
  QMenu* menu = window.Menu(title);
  if (menu == nullptr) return false;
  window.activateWindow();
  window.menuBar()->setActiveAction(menu->menuAction());
  Settle(300);
  QRect area = window.frameGeometry().united(menu->geometry());
  if (subMenu != nullptr) {
    const QRect item = menu->actionGeometry(subMenu->menuAction());
    menu->setActiveAction(subMenu->menuAction());
    subMenu->popup(menu->mapToGlobal(item.topRight()));
    Settle(300);
    area = area.united(subMenu->geometry());
  }
  const bool saved = SaveScreenArea(area.adjusted(0, 0, 8, 8), folder, name);
  if (subMenu != nullptr) subMenu->hide();
  menu->hide();
  window.menuBar()->setActiveAction(nullptr);
  Settle(200);
  return saved;
}

void Status(CFlashDlg& window, int event, int device, int started, int queued, int percent, int errorCode = 0,
            bool updateReadBack = false) {
  std::unique_ptr<ErrorRecord> error;
  if (errorCode) error = MakeErrorRecord(device, event, errorCode, nullptr);
  auto record = MakeDeviceStatusRecord(event, device, started, queued, percent, error.get());
  record->startsUpdateFlash = updateReadBack;
  platform::PostWindowMessage<WM_DEVICE_STATUS>(window.Handle(), std::move(record));
}

// A status record of Flash Software's own read-back.
void UpdateReadBack(CFlashDlg& window, int event, int device, int started, int queued, int percent,
                    int errorCode = 0) {
  Status(window, event, device, started, queued, percent, errorCode, true);
}

// Runs Format File System through the program's own prompt service and
// shoots the screen while its question is open; the question is then
// cancelled.
bool SaveFormatQuestion(CFlashDlg& window, const QString& folder) {
  auto prompts = std::make_shared<CQtPromptService>();
  prompts->SetParentWindow(&window);
  auto previous = SetPromptService(std::make_shared<CEngineBoxAdapter>(prompts, "Vexa20 Flash"));
  bool saved = false;
  QTimer::singleShot(600, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    saved = SaveScreenArea(window.frameGeometry().united(box->frameGeometry()).adjusted(0, 0, 8, 8), folder,
                           "format_question.png");
    box->close();
  });
  window.OnCommand(ID_FORMAT_FILE_SYSTEM);
  SetPromptService(previous);
  Settle(200);
  return saved;
}

// Shows one box over the window through the program's own prompt service,
// shoots the screen while it is open and closes it.
bool SaveBox(CFlashDlg& window, const QString& folder, const char* name, const std::string& text,
             std::uint32_t style) {
  auto prompts = std::make_shared<CQtPromptService>();
  prompts->SetParentWindow(&window);
  bool saved = false;
  QTimer::singleShot(600, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    saved = SaveScreenArea(window.frameGeometry().united(box->frameGeometry()).adjusted(0, 0, 8, 8), folder, name);
    box->close();
  });
  auto call = std::make_shared<PromptCall>();
  call->caption = "Vexa20 Flash";
  call->text = text;
  call->style = style;
  ShowPromptAndWait(prompts, call);
  Settle(200);
  return saved;
}

// The questions of a product file chosen beside its kernel and update
// files: the files to copy, and those that would replace other contents.
bool SaveCompanionQuestions(CFlashDlg& window, const QString& output, const std::string& workingFolder) {
  const std::string beside = "/media/usb/Vexa20 R5E06";
  std::vector<CompanionFile> missing;
  for (const char* name : {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19", "su.txt",
                           "p5E00cp0_VAD3_Vexa20.txt", "french_spanish.txt"}) {
    missing.push_back(CompanionFile{name, "", "", CompanionState::Missing});
  }
  const std::vector<CompanionFile> differing{{"calderkrnl.s19", "", "", CompanionState::Differs}};
  bool ok = SaveBox(window, output, "product_files_question.png",
                    CompanionQuestion(missing, beside, workingFolder, false), kStyleYesNo | kIconQuestion);
  ok = SaveBox(window, output, "product_files_replace_question.png",
               CompanionQuestion(differing, beside, workingFolder, true),
               kStyleYesNo | kIconExclamation | kStyleDefaultButton2) &&
       ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("screenshots");
  QDir().mkpath(output);

  const std::string folder = platform::MakeTemporaryFolder("quillon-preview-");
  std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                             folder + "/radios.qlp");
  CAppSettings& settings = GetAppSettings();
  settings.SetAppString(APP_STRING_WORKING_DIRECTORY, folder);
  settings.SetStringParam(OPTION_PRODUCT_TAG, "RADIO_B");
  settings.SetIntParam(OPTION_COMM_PROTOCOL, 0);
  settings.SetIntParam(OPTION_SERIAL_PORT, 0);

  bool ok = true;
  {
    CFlashDlg window{WorkerThreadFactory{}};
    window.show();
    Settle(200);
    ok = Save(window, output, "main_window_start.png") && ok;

    // Flash Software on COM1, refused after the read-back: the row ends in
    // "Error", the reason in the status bar.
    platform::PostWindowMessage<WM_DEVICE_ATTACHED>(window.Handle(), 127, 0);  // COM1
    Settle(100);
    window.OnCommand(ID_FLASH_SOFTWARE);
    // Its read-back fails first (the radio does not answer): the row waits
    // for Retry, and the toolbar is the user's meanwhile.
    UpdateReadBack(window, 22, 127, 0, 1, 0, 46);
    window.StatusBar()->ShowLogLine("COM1> ERROR: Serial bus reply timeout");
    Settle(300);
    ok = Save(window, output, "main_window_read_back_failed.png") && ok;
    // Retry runs the same read-back: Flash Software waits for it again.
    const int row = window.Grid().FindGridRow(127);
    window.OnCommand(window.Grid().Row(row < 0 ? 0 : row).retryId);
    UpdateReadBack(window, 21, 127, 1, 1, 60);
    window.StatusBar()->ShowLogLine("COM1> User-initiated Retry");
    Settle(300);
    ok = Save(window, output, "main_window_read_back_retried.png") && ok;
    UpdateReadBack(window, 24, 127, 1, 1, 100);
    UpdateReadBack(window, 58, 127, 1, 1, 100);
    Settle(100);  // the saved read-back starts the update flash, which is refused
    const char* refusal = "The radio has the latest firmware. The flash operation stops.";
    platform::PostWindowMessage<WM_UPDATE_REFUSED>(window.Handle(), std::make_unique<std::string>(refusal));
    window.StatusBar()->ShowLogLine(QString("Error> ") + refusal);
    Settle(300);
    ok = Save(window, output, "main_window_refused.png") && ok;

    // Flash Software refused because the update texts are not in the folder
    // searched, the folder of the last image flashed: row, status bar, box.
    platform::PostWindowMessage<WM_RESET_ALL_ROWS>(window.Handle());
    window.OnCommand(ID_FLASH_SOFTWARE);
    UpdateReadBack(window, 21, 127, 1, 1, 60);
    UpdateReadBack(window, 24, 127, 1, 1, 100);
    UpdateReadBack(window, 58, 127, 1, 1, 100);
    Settle(100);
    const std::string unread = UnreadUpdateTextsLine({kSuText, kCpText, kLpText}, "/srv/firmware",
                                                     UpdateFolderContext{folder, true});
    platform::PostWindowMessage<WM_UPDATE_REFUSED>(window.Handle(),
                                                   std::make_unique<std::string>(unread.substr(unread.find("> ") + 2)));
    window.StatusBar()->ShowLogLine(QString::fromStdString(unread));
    Settle(300);
    ok = Save(window, output, "main_window_update_files_missing.png") && ok;
    // The box shows the line as the log gives it, a sentence to a line.
    std::string boxText = unread;
    boxText.replace(boxText.find(". "), 2, "\r\n");
    ok = SaveBox(window, output, "update_files_missing_box.png", boxText, kStyleOk | kIconStop) && ok;
    ok = SaveCompanionQuestions(window, output, folder) && ok;

    // The format question over the window, as the prompt service shows it.
    ok = SaveFormatQuestion(window, output) && ok;

    platform::PostWindowMessage<WM_DEVICE_ATTACHED>(window.Handle(), 5, 2);
    platform::PostWindowMessage<WM_DEVICE_ATTACHED>(window.Handle(), 2, 2);
    Settle(100);
    Status(window, 11, 2, 1, 2, 47);
    Status(window, 12, 5, 1, 1, 0, 60);
    Status(window, 14, 127, 1, 1, 100);
    // The failed row's reason, as the core thread logs it, in the status bar.
    const auto failure = MakeErrorRecord(5, 12, 60, nullptr);
    window.StatusBar()->ShowLogLine(QString::fromStdString("USB5> ERROR: " + GetKernelErrorText(failure.get())));
    Settle(300);
    ok = Save(window, output, "main_window_flashing.png") && ok;
    ok = Save(*window.StatusBar(), output, "status_bar_error.png") && ok;
    ok = SaveClosingAndWideShots(window, output) && ok;
    window.StatusBar()->ShowLogLine("COM1> Flash complete");
    Settle(100);
    ok = Save(*window.StatusBar(), output, "status_bar_progress.png") && ok;
    // How Flash Software ended, as the update's last job logs it.
    window.StatusBar()->ShowLogLine(
        "COM1> Flash Software complete: the radio was updated from firmware version V1.00.00 to V1.01.00");
    Settle(100);
    ok = Save(*window.StatusBar(), output, "status_bar_updated.png") && ok;

    window.ProductSelector()->showPopup();
    Settle(300);
    QWidget* popup = QApplication::activePopupWidget();
    ok = Save(window, output, "main_window_products.png") && ok;
    if (popup) ok = Save(*popup, output, "product_list.png") && ok;
    window.ProductSelector()->hidePopup();
    Settle(200);

    settings.SetAppString(APP_STRING_RECENT_FILE, "/srv/firmware/vexa20_R5E0500.s19");
    settings.SetAppString(APP_STRING_RECENT_FILE, "/srv/firmware/vexa20_R5E0600.s19");
    ok = SaveOpenMenu(window, "&File", window.RecentFilesMenu(), output, "menu_file.png") && ok;
    ok = SaveOpenMenu(window, "&Radio", nullptr, output, "menu_radio.png") && ok;
    ok = SaveOpenMenu(window, "&GPS Chip", nullptr, output, "menu_gps_chip.png") && ok;
    ok = SaveOpenMenu(window, "&Smartphone", nullptr, output, "menu_smartphone.png") && ok;
    ok = SaveOpenMenu(window, "&Tools", nullptr, output, "menu_tools.png") && ok;
    ok = SaveOpenMenu(window, "&Help", nullptr, output, "menu_help.png") && ok;
    window.Shutdown();
  }
  std::filesystem::remove_all(folder);
  return ok ? 0 : 1;
}
