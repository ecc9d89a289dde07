#include "shell/ui/dialogs/shell_dialogs.h"

#include "engine/core/app_settings.h"
#include "shell/ui/dialogs/about_dlg.h"
#include "shell/ui/dialogs/erase_flash_dlg.h"
#include "shell/ui/dialogs/flashpack_manager_dlg.h"
#include "shell/ui/dialogs/options_dlg.h"
#include "shell/ui/dialogs/orvix_options_dlg.h"
#include "shell/ui/dialogs/orvix_reverse_flash_dlg.h"
#include "shell/ui/dialogs/reverse_flash_dlg.h"
#include "shell/ui/app/program_icon.h"
#include "shell/ui/prompt/qt_prompt_service.h"

namespace {

template <class Data>
Data* DataOf(PromptCall& call) {
  return std::get_if<Data>(&call.dialog);
}

QDialog* MakeEraseSectors(QWidget* parent, PromptCall& call) {
  auto* data = DataOf<EraseSectorsDialogData>(call);
  if (data == nullptr) return nullptr;
  auto* dialog = new CEraseFlashDlg(data->given, QString::fromStdString(data->image), parent);
  QObject::connect(dialog, &QDialog::accepted, dialog, [dialog, data] { data->chosen = dialog->Chosen(); });
  return dialog;
}

QDialog* MakeReverseFlash(QWidget* parent, PromptCall& call, const CAppSettings& settings) {
  auto* data = DataOf<ReverseFlashDialogData>(call);
  if (data == nullptr) return nullptr;
  const auto length = static_cast<std::uint8_t>(settings.GetAppInt(APP_INT_REVERSE_FLASH_RECORD_LENGTH));
  auto* dialog = new CReverseFlashDlg(data->given, length, parent);
  QObject::connect(dialog, &QDialog::accepted, dialog, [dialog, data] {
    data->chosen = dialog->Chosen();
    data->startAddress = dialog->StartAddress();
    data->recordLength = dialog->RecordLength();
  });
  return dialog;
}

QDialog* MakeOrvixReverseFlash(QWidget* parent, PromptCall& call, const CAppSettings& settings) {
  auto* data = DataOf<OrvixReverseFlashDialogData>(call);
  if (data == nullptr) return nullptr;
  const auto length = static_cast<std::uint8_t>(settings.GetAppInt(APP_INT_ORVIX_RECORD_LENGTH));
  auto* dialog = new COrvixReverseFlashDlg(length, parent);
  QObject::connect(dialog, &QDialog::accepted, dialog, [dialog, data] { *data = dialog->Values(); });
  return dialog;
}

QDialog* MakeOrvixOptions(QWidget* parent, PromptCall& call) {
  auto* data = DataOf<OrvixOptionsDialogData>(call);
  if (data == nullptr) return nullptr;
  auto* dialog = new COrvixOptionsDlg(*data, parent);
  QObject::connect(dialog, &QDialog::accepted, dialog, [dialog, data] { *data = dialog->Values(); });
  return dialog;
}

QDialog* MakeOptions(QWidget* parent, PromptCall& call, CAppSettings& settings) {
  auto* data = DataOf<OptionsDialogData>(call);
  if (data == nullptr) return nullptr;
  return new COptionsDlg(data->settings ? *data->settings : settings, parent);
}

// The prompt carries a share of the device's pack set; the dialog keeps it
// while it is open.
QDialog* MakeFlashpackManager(QWidget* parent, PromptCall& call, CAppSettings& settings) {
  auto* data = DataOf<FlashpackManagerDialogData>(call);
  if (data == nullptr) return nullptr;
  return new CFlashPackManagerDlg(data->packs, data->device, settings, parent);
}

QDialog* MakeAbout(QWidget* parent, PromptCall&) { return new CAboutDlg(parent); }

std::vector<ShellDialogEntry> MakeShellDialogFactories(CAppSettings& settings) {
  CAppSettings* store = &settings;
  return {
      {PROMPT_ERASE_SECTORS, MakeEraseSectors},
      {PROMPT_REVERSE_FLASH_SECTORS, [store](QWidget* p, PromptCall& c) { return MakeReverseFlash(p, c, *store); }},
      {PROMPT_ORVIX_REVERSE_FLASH,
       [store](QWidget* p, PromptCall& c) { return MakeOrvixReverseFlash(p, c, *store); }},
      {PROMPT_OPTIONS, [store](QWidget* p, PromptCall& c) { return MakeOptions(p, c, *store); }},
      {PROMPT_ORVIX_OPTIONS, MakeOrvixOptions},
      {PROMPT_ABOUT, MakeAbout},
      {PROMPT_FLASHPACK_MANAGER,
       [store](QWidget* p, PromptCall& c) { return MakeFlashpackManager(p, c, *store); }},
  };
}

// Every dialog carries the program's icon.
ShellDialogFactory WithProgramIcon(ShellDialogFactory make) {
  return [make = std::move(make)](QWidget* parent, PromptCall& call) -> QDialog* {
    QDialog* dialog = make(parent, call);
    if (dialog != nullptr) dialog->setWindowIcon(ProgramIcon());
    return dialog;
  };
}

}  // namespace

std::vector<ShellDialogEntry> ShellDialogFactories(CAppSettings& settings) {
  std::vector<ShellDialogEntry> entries = MakeShellDialogFactories(settings);
  for (ShellDialogEntry& entry : entries) entry.make = WithProgramIcon(std::move(entry.make));
  return entries;
}

ShellDialogFactory ShellDialogFor(PromptKind kind, CAppSettings& settings) {
  for (ShellDialogEntry& entry : ShellDialogFactories(settings)) {
    if (entry.kind == kind) return std::move(entry.make);
  }
  return {};
}

void RegisterShellDialogs(CQtPromptService& service, CAppSettings& settings) {
  for (ShellDialogEntry& entry : ShellDialogFactories(settings)) service.RegisterDialog(entry.kind, std::move(entry.make));
}
