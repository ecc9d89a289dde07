#pragma once
// Which commands of the main window are enabled, decided in one place from
// the shell's state; the window only applies the result.

struct ShellState {
  bool flashEnabled = true;     // no Flash Software read-back is pending
  int devicesInUse = 0;         // grid rows in use
  bool hasRecentFiles = false;  // the recent-files list holds at least one file
};

struct MenuState {
  bool flashSoftwareEnabled = true;  // menu entry and toolbar button
  bool toolbarEnabled = true;        // every toolbar control, the product selector included
  bool singleDeviceEnabled = true;   // Reverse Flash and the FlashPack Manager: fewer than two devices
  bool recentFilesEnabled = false;   // the recent-files pop-up
};

MenuState ComputeMenuState(const ShellState& state);

// How a menu item follows the menu state.
enum class MenuRule {
  Always,         // never greyed
  FlashSoftware,  // greyed while Flash Software waits for its read-back
  SingleDevice,   // greyed with two or more devices in the grid
  RecentFiles,    // greyed while the recent-files list is empty
};

bool MenuItemEnabled(MenuRule rule, const MenuState& state);

// A custom menu item is greyed for a product of a chip family whose flag
// the item does not carry (Harrow 0x2, Calder 0x4, Bisel 0x8); other
// families leave it enabled.
bool CustomItemEnabled(unsigned flags, int chipFamily);
