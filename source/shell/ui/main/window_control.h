#pragma once
// The main window's title, foreground, z-order and status bar line for the
// user-I/O thread: each call is carried out on the GUI thread on the main
// window of the moment (nothing happens while there is none).

#include "shell/userio/main_window_control.h"

class QMainWindow;

class QtMainWindowControl : public IMainWindowControl {
 public:
  void SetTitle(const std::string& title) override;
  void BringToForeground() override;
  void SetAlwaysOnTop(bool onTop) override;
  void ShowLatestLogLine(const std::string& line) override;
};

// The main window that the calls act on; set and cleared on the GUI thread.
void SetControlledMainWindow(QMainWindow* window);
