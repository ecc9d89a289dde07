#pragma once
// Loads the custom menu from the working folder: every "*.xml" file (names
// matched without regard to case, in the order of the folder search) whose root "content" has
// the custom-menu type gives its items, file by file. A file that does not
// parse is reported ("XML> " and the parser's message) and skipped; the
// others still load. The result replaces the published items at once.
//
// Runs on the user-I/O thread, at start-up and for WM_RELOAD_CUSTOM_MENU;
// the caller then posts WM_REBUILD_CUSTOM_MENU to the main window.

#include <string>

#include "shell/custom_menu/custom_menu_decoder.h"
#include "shell/custom_menu/custom_menu_store.h"

// The items of every custom-menu file of the folder, without publishing.
CustomMenu ReadCustomMenuFiles(const std::string& workingDirectory, const CustomMenuLog& log);

// Reads the items and publishes them.
void LoadCustomMenu(const std::string& workingDirectory, const CustomMenuLog& log);
