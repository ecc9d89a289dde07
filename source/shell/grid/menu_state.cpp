#include "shell/grid/menu_state.h"

#include "engine/core/job_option_ids.h"
#include "shell/custom_menu/custom_menu_item.h"

MenuState ComputeMenuState(const ShellState& state) {
  MenuState menu;
  menu.flashSoftwareEnabled = state.flashEnabled;
  menu.toolbarEnabled = state.flashEnabled;
  menu.singleDeviceEnabled = state.devicesInUse < 2;
  menu.recentFilesEnabled = state.hasRecentFiles;
  return menu;
}

bool MenuItemEnabled(MenuRule rule, const MenuState& state) {
  switch (rule) {
    case MenuRule::Always: return true;
    case MenuRule::FlashSoftware: return state.flashSoftwareEnabled;
    case MenuRule::SingleDevice: return state.singleDeviceEnabled;
    case MenuRule::RecentFiles: return state.recentFilesEnabled;
  }
  return true;
}

bool CustomItemEnabled(unsigned flags, int chipFamily) {
  switch (chipFamily) {
    case CHIP_FAMILY_HARROW: return (flags & kCustomMenuHarrow) != 0;
    case CHIP_FAMILY_CALDER: return (flags & kCustomMenuCalder) != 0;
    case CHIP_FAMILY_BISEL: return (flags & kCustomMenuBisel) != 0;
    default: return true;
  }
}
