#pragma once
// Which commands of the main window are enabled, decided in one place from
// the shell's state; the window only applies the result.

struct ShellState {
  bool flashEnabled = true;  // no Flash Software read-back is pending
};

struct MenuState {
  bool flashSoftwareEnabled = true;  // menu entry and toolbar button
  bool toolbarEnabled = true;        // every toolbar control, the product selector included
};

MenuState ComputeMenuState(const ShellState& state);
