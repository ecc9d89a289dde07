#include "shell/grid/menu_state.h"

#include "engine/core/job_option_ids.h"
#include "shell/custom_menu/custom_menu_item.h"

MenuState ComputeMenuState(const ShellState& state) {
  MenuState menu;
  menu.flashSoftwareEnabled = state.flashEnabled;
  menu.toolbarEnabled = state.flashEnabled;
  return menu;
}

bool CustomItemEnabled(unsigned flags, int chipFamily) {
  switch (chipFamily) {
    case CHIP_FAMILY_HARROW: return (flags & kCustomMenuHarrow) != 0;
    case CHIP_FAMILY_CALDER: return (flags & kCustomMenuCalder) != 0;
    case CHIP_FAMILY_BISEL: return (flags & kCustomMenuBisel) != 0;
    default: return true;
  }
}
