#pragma once
// The pre-processing thread's dialogs through the shell's prompt service:
// the file dialogs as file-dialog prompts, the overwrite question as a
// yes/no/cancel box with the window title as its caption.

#include <memory>

#include "shell/preproc/preprocessing_dialogs.h"
#include "shell/prompt/shell_prompt_service.h"

class CShellPromptDialogs : public IPreprocessingDialogs {
 public:
  // Without a service, the one installed when a dialog is shown.
  explicit CShellPromptDialogs(std::shared_ptr<IShellPromptService> service = nullptr)
      : service_(std::move(service)) {}

  std::optional<std::string> OpenFile(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFile(const FileDialogSpec& spec) override;
  int AskYesNoCancel(const std::string& text, const QuestionButtons& buttons) override;

 private:
  std::optional<std::string> ShowFileDialog(PromptKind kind, const FileDialogSpec& spec);
  std::shared_ptr<IShellPromptService> Service() const;

  std::shared_ptr<IShellPromptService> service_;
};
