#include "shell/ui/main/flash_dlg.h"

// The window's size, made to fit its rows, and its place on the desktop.

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QToolBar>
#include <algorithm>

#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/main/log_status_bar.h"

namespace {

constexpr int kNaturalWidth = 480;

}  // namespace

void CFlashDlg::FitWindowToRows() {
  // Rows are a little more than half the toolbar's height, but never lower
  // than the text they carry.
  const int toolbarHeight = toolBar_->sizeHint().height();
  const int textHeight = QFontMetrics(font()).height();
  const int rowHeight = std::max(static_cast<int>(0.58 * toolbarHeight), textHeight + 14);
  const int width = std::max(kNaturalWidth, toolBar_->sizeHint().width());
  gridView_->SetRowMetrics(width, rowHeight);
  const int height = menuBar()->sizeHint().height() + toolBar_->sizeHint().height() + gridView_->height() +
                     statusBar_->sizeHint().height();
  setFixedSize(width, height);
}

// The window's place on the desktop is the user's, kept in the user's Qt
// settings (the configuration file's keys are fixed), one place per title.
namespace {

QString PositionKey(const QString& title) {
  return "MainWindow/" + QString(title).replace('/', '_').replace('\\', '_') + "/position";
}

QSettings UserSettings() { return QSettings(QSettings::UserScope, "Quillon", "vexaload"); }

}  // namespace

void CFlashDlg::RestorePosition() {
  const QVariant stored = UserSettings().value(PositionKey(windowTitle()));
  if (!stored.canConvert<QPoint>()) return;
  const QPoint position = stored.toPoint();
  // A place on a screen that is gone would hide the window.
  const QRect placed(position, size());
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().intersects(placed)) {
      move(position);
      return;
    }
  }
}

void CFlashDlg::SavePosition() const {
  QSettings settings = UserSettings();
  settings.setValue(PositionKey(windowTitle()), pos());
  settings.sync();
}
