#pragma once
// The user-I/O thread's hold on the main window: each call is carried out
// on the GUI thread; once the window is gone the calls do nothing.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "shell/userio/main_window_control.h"

class CQtMainWindowControl : public IMainWindowControl {
 public:
  explicit CQtMainWindowControl(QWidget* window) : window_(window) {}

  void SetTitle(const std::string& title) override;
  void BringToForeground() override;
  void SetAlwaysOnTop(bool onTop) override;

 private:
  template <class F>
  void OnGui(F work);

  QPointer<QWidget> window_;
};
