#include "shell/grid/menu_state.h"

MenuState ComputeMenuState(const ShellState& state) {
  MenuState menu;
  menu.flashSoftwareEnabled = state.flashEnabled;
  menu.toolbarEnabled = state.flashEnabled;
  return menu;
}
