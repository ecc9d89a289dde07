#include "shell/ui/main/flash_dlg.h"

// The window's size (its width the user's, its height the rows'), and its
// place on the desktop.

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <algorithm>

#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/main/log_status_bar.h"
#include "shell/ui/main/user_window_settings.h"

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
  // The width is the user's (the rows stretch with it); the height is the
  // rows'.
  setMinimumWidth(width);
  setMaximumWidth(QWIDGETSIZE_MAX);
  setFixedHeight(height);
}

// The window's place and width are the user's, kept in the user's Qt
// settings under the program's title (the title bar shows the status by
// the end). saveGeometry keeps the frame's place, so the window comes back
// exactly where it was, not shifted by its title bar.
void CFlashDlg::RestoreGeometry() {
  const QByteArray stored = userSettings_->Geometry();
  if (stored.isEmpty()) return;
  const QRect before = geometry();
  if (!restoreGeometry(stored)) return;
  FitWindowToRows();
  // A place on a screen that is gone would hide the window.
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().intersects(frameGeometry())) return;
  }
  setGeometry(before);
}

void CFlashDlg::SaveGeometry() const { userSettings_->SetGeometry(saveGeometry()); }
