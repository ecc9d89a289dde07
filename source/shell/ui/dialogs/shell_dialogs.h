#pragma once
// The dialogs of the prompt kinds, as factories for the prompt service:
// each makes the kind's dialog over the values of the call and, when the
// dialog closes with OK, writes its choice back into the call (before the
// dialog's finished signal). The service opens the dialog and deletes it.

#include <QDialog>

#include <functional>
#include <vector>

#include "shell/prompt/prompt_call.h"

class CAppSettings;
class CQtPromptService;

using ShellDialogFactory = std::function<QDialog*(QWidget* parent, PromptCall& call)>;

struct ShellDialogEntry {
  PromptKind kind;
  ShellDialogFactory make;
};

// The erase and reverse-flash sector dialogs, the GPS-chip options and
// read-back dialogs, Options, About and the FlashPack Manager. `settings` is the program's settings store, which the dialogs
// read their fixed values from (record lengths, USB availability); it
// outlives every dialog.
std::vector<ShellDialogEntry> ShellDialogFactories(CAppSettings& settings);

// The factory of one kind; empty for a kind without a dialog here.
ShellDialogFactory ShellDialogFor(PromptKind kind, CAppSettings& settings);

// Registers every factory above with the program's prompt service.
void RegisterShellDialogs(CQtPromptService& service, CAppSettings& settings);
