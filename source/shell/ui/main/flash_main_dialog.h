#pragma once
// The main window as the application object runs it.

#include "shell/ui/app/main_dialog.h"

// Makes the application object run the main window.
void RegisterFlashMainDialog();
