#include "shell/ui/main/flash_dlg.h"

// The window's size (its width the user's, its height the rows'), and its
// place on the desktop.

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
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
// settings under the program's title (the title bar shows the status by the
// end). The place kept is the frame's top-left corner, and a move() before
// the window shows asks the window manager to put the frame there, so the
// window comes back exactly where it was, not shifted by its title bar and
// border at every start.
void CFlashDlg::RestoreGeometry() {
  if (const std::optional<QRect> place = userSettings_->Place()) {
    resize(place->size());
    FitWindowToRows();
    move(KeptOnScreen(QRect(place->topLeft(), size())));
    return;
  }
  RestoreOlderGeometry();
}

// A place kept by an older version (QWidget::saveGeometry).
void CFlashDlg::RestoreOlderGeometry() {
  const QByteArray stored = userSettings_->Geometry();
  if (stored.isEmpty()) return;
  if (!restoreGeometry(stored)) return;
  FitWindowToRows();
  move(KeptOnScreen(frameGeometry()));
}

// The frame's top-left corner moved so that the whole window, its title bar
// first, lies on the screen that shows most of it (a place kept at another
// scale or on a screen that is gone would hide it). The title bar's height
// is not known before the window manager frames the window: the style's
// guess stands in for it.
QPoint CFlashDlg::KeptOnScreen(const QRect& frame) const {
  const QScreen* screen = QGuiApplication::screenAt(frame.center());
  if (screen == nullptr) screen = QGuiApplication::screenAt(frame.topLeft());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return frame.topLeft();
  const QRect available = screen->availableGeometry();
  const int titleHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
  const QSize outer = frame.size() + QSize(0, titleHeight);
  const int x = std::max(available.left(), std::min(frame.x(), available.right() + 1 - outer.width()));
  const int y = std::max(available.top(), std::min(frame.y(), available.bottom() + 1 - outer.height()));
  return {x, y};
}

void CFlashDlg::SaveGeometry() const { userSettings_->SetPlace(QRect(pos(), size())); }
