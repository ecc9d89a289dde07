#pragma once
// The file dialogs and the one message box that the pre-processing thread
// shows itself (not through a prompt kind of the user-I/O thread). The
// program installs dialogs that go through the shell's prompt service;
// tests install scripted ones. Without any, every dialog is cancelled.

#include <optional>
#include <string>

#include "shell/prompt/question_buttons.h"

#include "shell/prompt/file_filters.h"  // the filters of the thread's file dialogs

struct FileDialogSpec {
  std::string defaultExtension;  // without the dot
  std::string initialName;       // empty for none
  std::string filter;            // "Name (*.x)|*.x|All Files (*.*)|*.*||"
  std::string title;             // empty: the dialog's own
  bool promptOverwrite = false;  // save dialogs: ask before replacing a file
};

class IPreprocessingDialogs {
 public:
  virtual ~IPreprocessingDialogs() = default;
  // The chosen path, or nothing when the dialog was cancelled.
  virtual std::optional<std::string> OpenFile(const FileDialogSpec& spec) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialogSpec& spec) = 0;
  // A yes/no/cancel box with the text, its Yes and No buttons named for
  // what they do; 6 Yes, 7 No, 2 Cancel.
  virtual int AskYesNoCancel(const std::string& text, const QuestionButtons& buttons) = 0;
};

