#pragma once
// What the user-I/O thread does to the main window besides posting to it:
// its title, bringing it to the foreground, its z-order and the latest log
// line in its status bar. The program
// hands in the window's implementation (it runs the calls on the GUI
// thread); without one the calls do nothing.

#include <string>

class IMainWindowControl {
 public:
  virtual ~IMainWindowControl() = default;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void BringToForeground() = 0;
  // Top-most (true) or not, keeping position and size, and shown.
  virtual void SetAlwaysOnTop(bool onTop) = 0;
  // The line just written to the log file, for the status bar.
  virtual void ShowLatestLogLine(const std::string& line) { (void)line; }
};
