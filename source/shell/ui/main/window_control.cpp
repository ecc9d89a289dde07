#include "shell/ui/main/window_control.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QPointer>
#include <functional>

#include "shell/ui/main/log_status_bar.h"

namespace {

// Read and written on the GUI thread only.
QPointer<QMainWindow>& Controlled() {
  static QPointer<QMainWindow> window;
  return window;
}

void OnGuiThread(std::function<void(QMainWindow&)> call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app,
      [call = std::move(call)] {
        if (QMainWindow* window = Controlled().data()) call(*window);
      },
      Qt::QueuedConnection);
}

}  // namespace

void SetControlledMainWindow(QMainWindow* window) { Controlled() = window; }

void QtMainWindowControl::SetTitle(const std::string& title) {
  OnGuiThread([text = QString::fromStdString(title)](QMainWindow& w) { w.setWindowTitle(text); });
}

void QtMainWindowControl::BringToForeground() {
  OnGuiThread([](QMainWindow& w) {
    w.raise();
    w.activateWindow();
  });
}

void QtMainWindowControl::SetAlwaysOnTop(bool onTop) {
  OnGuiThread([onTop](QMainWindow& w) {
    if (w.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
    const bool visible = w.isVisible();
    w.setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (visible) w.show();
  });
}

void QtMainWindowControl::ShowLatestLogLine(const std::string& line) {
  OnGuiThread([text = QString::fromStdString(line)](QMainWindow& w) {
    if (auto* bar = w.findChild<CLogStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) bar->ShowLogLine(text);
  });
}
