// Opens each of the shell's dialogs as a user sees it, with sample values,
// and saves one PNG per dialog into the folder given on the command line.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QScreen>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <thread>

#include "engine/core/app_settings.h"
#include "engine/prompt/prompt_service.h"
#include "lumbrapack/pack_manager.h"
#include "platform/tcp_socket.h"
#include "shell/prompt/file_filters.h"
#include "shell/ui/dialogs/app_file_dialog.h"
#include "shell/ui/dialogs/flashpack_manager_dlg.h"
#include "shell/ui/dialogs/shell_dialogs.h"
#include "shell/ui/prompt/qt_prompt_service.h"

namespace {

SectorList SampleSectors() {
  SectorList list;
  const char* types[] = {"BOOT", "CODE", "CODE", "CODE", "CODE", "CODEPLUG", "CODEPLUG", "FLASHPACK"};
  std::uint32_t address = 0x00000000;
  for (const char* type : types) {
    list.sectors.push_back({address, 0x20000, type, 0});
    address += 0x20000;
  }
  return list;
}

bool Save(QWidget& widget, const QString& folder, const char* name) {
  widget.show();
  QApplication::processEvents();
  const QString path = QDir(folder).filePath(name);
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

bool SaveKind(CAppSettings& settings, PromptCall call, const QString& folder, const char* name) {
  std::unique_ptr<QDialog> dialog(ShellDialogFor(call.kind, settings)(nullptr, call));
  return dialog && Save(*dialog, folder, name);
}

void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The FlashPack Manager as the user-I/O thread opens it, and the error box
// of its own work opened while it is shown: the box comes up over it. The
// screen is shot, since the two are windows of their own.
bool SaveFlashpackErrorOverItsDialog(std::shared_ptr<CPackManager> packs, CAppSettings& settings,
                                     const QString& folder) {
  auto service = std::make_shared<CQtPromptService>();
  RegisterShellDialogs(*service, settings);
  auto manager = std::make_shared<PromptCall>();
  manager->kind = PROMPT_FLASHPACK_MANAGER;
  manager->caption = "Vexa20 Flash";
  manager->dialog = FlashpackManagerDialogData{std::move(packs), 0};
  auto box = std::make_shared<PromptCall>();
  box->caption = "Vexa20 Flash";
  box->text = "Error> Illegal character found";
  box->style = kStyleOk | kIconStop;
  std::thread managerAsker([&] { ShowPromptAndWait(service, manager); });
  Settle(400);
  std::thread boxAsker([&] { ShowPromptAndWait(service, box); });
  Settle(600);
  QRect area;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) area = area.united(w->frameGeometry());
  }
  const QString path = QDir(folder).filePath("dialog_flashpack_error.png");
  QScreen* screen = QGuiApplication::primaryScreen();
  const bool saved =
      screen != nullptr && screen->grabWindow(0, area.x(), area.y(), area.width() + 8, area.height() + 8).save(path);
  if (saved) std::printf("%s\n", qPrintable(path));
  else std::fprintf(stderr, "could not write %s\n", qPrintable(path));
  service->Shutdown(kAnswerCancel);
  Settle(200);
  boxAsker.join();
  managerAsker.join();
  return saved;
}

// Saves the part of the screen that the visible windows cover.
bool SaveScreenArea(const QString& folder, const char* name) {
  QRect area;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) area = area.united(w->frameGeometry());
  }
  const QString path = QDir(folder).filePath(name);
  QScreen* screen = QGuiApplication::primaryScreen();
  const bool saved =
      screen != nullptr && screen->grabWindow(0, area.x(), area.y(), area.width() + 8, area.height() + 8).save(path);
  if (saved) std::printf("%s\n", qPrintable(path));
  else std::fprintf(stderr, "could not write %s\n", qPrintable(path));
  return saved;
}

// One question box as the prompt service shows it (its buttons named by the
// call), shot and then closed.
bool SaveQuestion(std::shared_ptr<PromptCall> box, const QString& folder, const char* name) {
  auto service = std::make_shared<CQtPromptService>();
  box->caption = "Vexa20 Flash";
  std::thread asker([&] { ShowPromptAndWait(service, box); });
  Settle(500);
  const bool saved = SaveScreenArea(folder, name);
  service->Shutdown(kAnswerCancel);
  Settle(200);
  asker.join();
  return saved;
}

std::shared_ptr<PromptCall> Question(const char* text, std::uint32_t style, const char* first, const char* second) {
  auto call = std::make_shared<PromptCall>();
  call->text = text;
  call->style = style;
  call->firstButton = first;
  call->secondButton = second;
  return call;
}

// The Erase Flash dialog with its BOOT sector chosen and OK pressed: the
// question over it, shot and answered with Cancel.
bool SaveBootQuestion(CAppSettings& settings, const QString& folder) {
  PromptCall call;
  call.kind = PROMPT_ERASE_SECTORS;
  call.dialog = EraseSectorsDialogData{SampleSectors(), SampleSectors()};
  std::unique_ptr<QDialog> dialog(ShellDialogFor(call.kind, settings)(nullptr, call));
  dialog->show();
  Settle(200);
  auto* list = dialog->findChild<QListWidget*>("1028");
  if (list == nullptr) return false;
  list->item(0)->setSelected(true);
  bool saved = false;
  QTimer::singleShot(500, [&] {
    saved = SaveScreenArea(folder, "dialog_erase_boot_question.png");
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
  });
  if (auto* ok = dialog->findChild<QPushButton*>("1")) ok->click();
  return saved;
}

// Options with a remote port that another program holds: the refusal over
// the dialog, the port in use back in its field.
bool SaveRemotePortRefused(CAppSettings& settings, const QString& folder) {
  int error = 0;
  const platform::TcpListener taken = platform::TcpListener::Listen(0, 1, &error);
  if (!taken.Valid()) return false;
  PromptCall call;
  call.kind = PROMPT_OPTIONS;
  call.dialog = OptionsDialogData{&settings};
  std::unique_ptr<QDialog> dialog(ShellDialogFor(call.kind, settings)(nullptr, call));
  dialog->show();
  Settle(200);
  auto* port = dialog->findChild<QLineEdit*>("1056");
  auto* ok = dialog->findChild<QPushButton*>("1");
  if (port == nullptr || ok == nullptr) return false;
  port->setText(QString::number(taken.Port()));
  ok->click();
  Settle(500);
  const bool saved = SaveScreenArea(folder, "dialog_options_port_in_use.png");
  for (QMessageBox* box : dialog->findChildren<QMessageBox*>()) box->close();
  return saved;
}

// The GPS chip's read-back dialog with the window manager's frame (run
// under one, e.g. openbox): its title bar shows the whole title.
int SaveFramedGpsChipReverseFlash(const QString& folder) {
  CAppSettings settings;
  PromptCall call;
  call.kind = PROMPT_ORVIX_REVERSE_FLASH;
  call.dialog = OrvixReverseFlashDialogData{};
  std::unique_ptr<QDialog> dialog(ShellDialogFor(call.kind, settings)(nullptr, call));
  dialog->show();
  Settle(1500);
  return SaveScreenArea(folder, "dialog_orvix_reverse_flash_framed.png") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("screenshots");
  QDir().mkpath(folder);
  if (argc > 2 && QString(argv[2]) == "--framed") return SaveFramedGpsChipReverseFlash(folder);

  CAppSettings settings;
  settings.SetAppInt(APP_INT_USB_AVAILABLE, 1);
  settings.SetIntParam(OPTION_SERIAL_PORT, 2);
  settings.SetIntParam(OPTION_REMOTE_PORT, 5000);
  settings.SetIntParam(OPTION_ENABLE_SMART_FLASHING, 1);
  settings.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);

  bool ok = true;
  PromptCall call;
  call.kind = PROMPT_OPTIONS;
  call.dialog = OptionsDialogData{&settings};
  ok = SaveKind(settings, call, folder, "dialog_options.png") && ok;

  call.kind = PROMPT_ERASE_SECTORS;
  call.dialog = EraseSectorsDialogData{SampleSectors(), SampleSectors()};
  ok = SaveKind(settings, call, folder, "dialog_erase_flash.png") && ok;

  call.kind = PROMPT_REVERSE_FLASH_SECTORS;
  call.dialog = ReverseFlashDialogData{SampleSectors(), "", 21, SampleSectors()};
  ok = SaveKind(settings, call, folder, "dialog_reverse_flash.png") && ok;

  call.kind = PROMPT_ORVIX_OPTIONS;
  call.dialog = OrvixOptionsDialogData{1, 2, 65536, 0};
  ok = SaveKind(settings, call, folder, "dialog_orvix_options.png") && ok;

  call.kind = PROMPT_ORVIX_REVERSE_FLASH;
  call.dialog = OrvixReverseFlashDialogData{};
  ok = SaveKind(settings, call, folder, "dialog_orvix_reverse_flash.png") && ok;

  call.kind = PROMPT_ABOUT;
  call.dialog = AboutDialogData{};
  ok = SaveKind(settings, call, folder, "dialog_about.png") && ok;

  const std::vector<unsigned char> erased(256 * 1024, 0xFF);
  auto packs = std::make_shared<CPackManager>(erased.data(), static_cast<unsigned long>(erased.size()));
  const lumbrapack::PackFileFields samples[] = {
      {lumbrapack::kLanguagePack, u"English", {0x1A, 2, 3, 4}, 'R', {0x5E, 6, 0}},
      {lumbrapack::kLanguagePack, u"Fran\u00e7ais", {0x1A, 2, 3, 4}, 'R', {0x5E, 6, 0}},
      {lumbrapack::kFontPack, u"Latin Extended", {1, 0, 0, 0}, 'A', {0, 0, 1}},
      {lumbrapack::kThemePack, u"Night", {2, 10, 0, 0}, 'B', {1, 2, 3}}};
  for (const auto& fields : samples) {
    const auto pack = lumbrapack::BuildPackFile(fields, std::vector<unsigned char>(20000, 0x33));
    packs->AddPack(pack.data(), static_cast<unsigned long>(pack.size()));
  }
  {
    CFlashPackManagerDlg manager(packs, 0, settings);
    ok = Save(manager, folder, "dialog_flashpack_manager.png") && ok;
  }
  ok = SaveFlashpackErrorOverItsDialog(packs, settings, folder) && ok;

  CAppFileDialog files(CAppFileDialog::Mode::Open, "s19", {}, kFlashpackFileFilter);
  files.setWindowTitle("Add FlashPack File");
  files.setDirectory(QDir::homePath());
  ok = Save(files, folder, "dialog_file_open.png") && ok;
  files.hide();

  ok = SaveQuestion(Question("File already exists. Overwrite it?",
                             kStyleYesNoCancel | kIconQuestion | kStyleDefaultButton2, "&Overwrite", "&Keep Existing"),
                    folder, "question_overwrite.png") && ok;
  ok = SaveQuestion(Question("Erase GPS Chip?\r\nThe whole flash of the GPS chip is erased.",
                             kStyleOkCancel | kIconQuestion | kStyleDefaultButton2, "Erase", ""),
                    folder, "question_gps_chip_erase.png") && ok;
  ok = SaveQuestion(Question("Read the whole flash, or choose the sectors to read?",
                             kStyleYesNoCancel | kIconQuestion, "Read &Whole Flash", "&Choose Sectors"),
                    folder, "question_read_whole_flash.png") && ok;
  ok = SaveBootQuestion(settings, folder) && ok;
  ok = SaveRemotePortRefused(settings, folder) && ok;
  return ok ? 0 : 1;
}
