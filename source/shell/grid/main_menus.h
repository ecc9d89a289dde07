#pragma once
// The main window's menu bar as a table beside the command table: each row
// names its pop-up, its text with the mnemonic, its shortcut, the command
// it runs and the rule that greys it. The window builds its menus from the
// rows and greys them from the menu state; what a command posts stays the
// command table's.

#include <span>
#include <string>

#include "shell/grid/menu_state.h"

enum class MenuEntryKind {
  Command,      // an item that runs its command id
  Separator,    // a line between groups of the pop-up
  RecentFiles,  // the pop-up of the recent files (ids 32818 and up)
};

struct MenuEntry {
  const char* menu;      // the pop-up of the menu bar ("&File"); null: a window shortcut only
  MenuEntryKind kind;
  const char* text;      // with "&" before the mnemonic; null for a separator
  const char* shortcut;  // a portable key text ("Ctrl+O"); null for none
  int commandId;         // 0 for a separator or the recent-files pop-up
  MenuRule rule;
};

// Every row, pop-ups in menu bar order and their entries in pop-up order.
std::span<const MenuEntry> MainMenuEntries();

// The recent-files entry of index i: "&%d %s" with (i + 1) mod 10 and the
// path, whose own "&" are doubled so that they show.
std::string RecentFileMenuText(int index, const std::string& path);
