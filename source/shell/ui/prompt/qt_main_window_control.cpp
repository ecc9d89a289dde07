#include "shell/ui/prompt/qt_main_window_control.h"

#include <QCoreApplication>
#include <QMetaObject>

template <class F>
void CQtMainWindowControl::OnGui(F work) {
  QPointer<QWidget> window = window_;
  if (!window) return;
  QMetaObject::invokeMethod(
      window.data(), [window, work] { if (window) work(*window); }, Qt::QueuedConnection);
}

void CQtMainWindowControl::SetTitle(const std::string& title) {
  const QString text = QString::fromStdString(title);
  OnGui([text](QWidget& w) { w.setWindowTitle(text); });
}

void CQtMainWindowControl::BringToForeground() {
  OnGui([](QWidget& w) {
    if (w.isMinimized()) w.showNormal();
    w.raise();
    w.activateWindow();
  });
}

void CQtMainWindowControl::SetAlwaysOnTop(bool onTop) {
  // Changing the flag hides the window; keep its place and size and show it.
  OnGui([onTop](QWidget& w) {
    const QRect geometry = w.geometry();
    w.setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    w.setGeometry(geometry);
    w.show();
  });
}
