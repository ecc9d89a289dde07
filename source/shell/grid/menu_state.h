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

// A custom menu item is greyed for a product of a chip family whose flag
// the item does not carry (Harrow 0x2, Calder 0x4, Bisel 0x8); other
// families leave it enabled.
bool CustomItemEnabled(unsigned flags, int chipFamily);
