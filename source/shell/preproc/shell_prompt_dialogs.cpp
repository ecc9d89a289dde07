#include "shell/preproc/shell_prompt_dialogs.h"

#include "engine/core/app_settings.h"
#include "shell/requests/prompt_asker.h"

namespace {

std::string WindowTitle() { return GetAppSettings().GetAppString(APP_STRING_WINDOW_TITLE); }

}  // namespace

std::shared_ptr<IShellPromptService> CShellPromptDialogs::Service() const {
  return service_ ? service_ : GetShellPromptService();
}

std::optional<std::string> CShellPromptDialogs::ShowFileDialog(PromptKind kind, const FileDialogSpec& spec) {
  auto call = std::make_shared<PromptCall>();
  call->kind = kind;
  call->caption = WindowTitle();
  call->text = spec.title;
  call->dialog = FileOpenDialogData{spec.filter, {}};
  if (ShowPromptAndWait(Service(), call) != kAnswerOk) return std::nullopt;
  const auto& chosen = std::get<FileOpenDialogData>(call->dialog).chosenPath;
  if (chosen.empty()) return std::nullopt;
  // A name typed without an extension gets the dialog's default one.
  if (!spec.defaultExtension.empty() && chosen.find('.', chosen.find_last_of("\\/") + 1) == std::string::npos) {
    return chosen + "." + spec.defaultExtension;
  }
  return chosen;
}

std::optional<std::string> CShellPromptDialogs::OpenFile(const FileDialogSpec& spec) {
  return ShowFileDialog(kFileOpenPrompt, spec);
}

std::optional<std::string> CShellPromptDialogs::SaveFile(const FileDialogSpec& spec) {
  return ShowFileDialog(kFileSavePrompt, spec);
}

int CShellPromptDialogs::AskYesNoCancel(const std::string& text, const QuestionButtons& buttons) {
  auto call = std::make_shared<PromptCall>();
  call->kind = kMessageBoxPrompt;
  call->caption = WindowTitle();
  call->text = text;
  call->style = kStyleYesNoCancel | kIconQuestion | (buttons.noIsDefault ? kStyleDefaultButton2 : 0);
  call->firstButton = buttons.yes;
  call->secondButton = buttons.no;
  return ShowPromptAndWait(Service(), call);
}
