// The window's place, width and recent files across a restart (kept in the
// user's settings under the program's title, whatever the title bar shows
// at the end), and a width that grows with the rows while the height stays
// the rows'.
#include <QGuiApplication>
#include <algorithm>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "engine/core/device_event.h"
#include "main_window_fixture.h"
#include "shell/grid/main_commands.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/main/log_status_bar.h"
#include "shell/ui/main/user_window_settings.h"
#include "shell/ui/progress/text_progress_ctrl.h"

namespace maintest {
namespace {

class WindowPlaceTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    title_ = QString("Place test %1").arg(::testing::UnitTest::GetInstance()->current_test_info()->name());
    GetAppSettings().SetAppString(APP_STRING_WINDOW_TITLE, title_.toStdString());
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    GetAppSettings().SetAppString(APP_STRING_WINDOW_TITLE, kDefaultWindowTitle);
  }
  void Restart() {
    window->OnCommand(ID_EXIT);
    ASSERT_FALSE(window->isVisible());
    window.reset();
    Open();
  }
  QString title_;
};

TEST_F(WindowPlaceTest, TheWindowComesBackExactlyWhereAndAsWideAsItWasLeft) {
  Open();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint place = screen.topLeft() + QPoint(37, 53);
  window->move(place);
  window->resize(window->minimumWidth() + 90, window->height());
  ASSERT_TRUE(PumpUntil([&] { return window->pos() == place; }));
  const QRect left = window->geometry();
  // The title bar shows the status by the end; the place is the program's.
  window->setWindowTitle("Complete");
  for (int start = 0; start < 3; ++start) {
    Restart();
    EXPECT_EQ(window->geometry(), left) << "start " << start;
  }
}

// Where each path stands in the list (-1: not in it).
int PlaceOf(const std::vector<std::string>& list, const std::string& path) {
  const auto it = std::find(list.begin(), list.end(), path);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

std::vector<std::string> ListedRecentFiles() {
  std::vector<std::string> paths;
  for (int i = 0; i < kMaxRecentFilesLimit; ++i) {
    const std::string path = GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, i);
    if (path.empty()) break;
    paths.push_back(path);
  }
  return paths;
}

TEST_F(WindowPlaceTest, TheRecentFilesComeBackAfterARestart) {
  GetAppSettings().SetAppInt(APP_INT_MAX_RECENT_FILES, kMaxRecentFilesLimit);
  CUserWindowSettings(title_).SetRecentFiles({"/images/b.s19", "/images/a.s19"});
  Open();
  const auto listed = ListedRecentFiles();
  EXPECT_GE(PlaceOf(listed, "/images/b.s19"), 0);
  EXPECT_GT(PlaceOf(listed, "/images/a.s19"), PlaceOf(listed, "/images/b.s19"));
  GetAppSettings().SetAppString(APP_STRING_RECENT_FILE, "/images/c.s19");
  window->OnCommand(ID_EXIT);
  const std::vector<std::string> kept = CUserWindowSettings(title_).RecentFiles();
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept.front(), "/images/c.s19");
  EXPECT_GT(PlaceOf(kept, "/images/b.s19"), 0);
  EXPECT_GT(PlaceOf(kept, "/images/a.s19"), PlaceOf(kept, "/images/b.s19"));
  GetAppSettings().SetAppInt(APP_INT_MAX_RECENT_FILES, 6);
}

TEST_F(WindowPlaceTest, TheWidthGrowsWithTheRowsAndTheHeightStaysTheRows) {
  Open();
  Attach(3);
  const int row = window->Grid().FindGridRow(3);
  const int height = window->height();
  const int narrow = window->width();
  const int barBefore = window->GridView()->Progress(row)->width();
  window->resize(narrow + 300, height + 200);
  ASSERT_TRUE(PumpUntil([&] { return window->width() == narrow + 300; }));
  EXPECT_EQ(window->height(), height);
  EXPECT_EQ(window->GridView()->width(), window->width());
  EXPECT_GT(window->GridView()->Progress(row)->width(), barBefore);
  const QRect cancel = window->GridView()->CancelButton(row)->geometry();
  EXPECT_GE(cancel.right(), window->GridView()->width() - 4);
  window->resize(narrow - 200, height);
  EXPECT_TRUE(PumpUntil([&] { return window->width() == narrow; }));
}

TEST_F(WindowPlaceTest, MaximisedTheWindowTakesTheScreensWidth) {
  Open();
  Attach(3);
  const int height = window->height();
  const int narrow = window->width();
  window->showMaximized();
  ASSERT_TRUE(PumpUntil([&] { return window->isMaximized(); }, 5s)) << "the platform cannot maximise";
  EXPECT_TRUE(PumpUntil([&] { return window->width() > narrow; }));
  // The height the window manager is held to (the offscreen platform
  // itself sets a maximised window's size without it).
  EXPECT_EQ(window->minimumHeight(), height);
  EXPECT_EQ(window->maximumHeight(), height);
}

TEST_F(WindowPlaceTest, AWiderWindowShowsMoreOfALongStatusLine) {
  Open();
  const QString line = "Error> " + QString("the radio did not answer the kernel download request ").repeated(4);
  window->StatusBar()->ShowLogLine(line);
  auto* label = window->StatusBar()->findChild<QLabel*>("latestLogLine");
  ASSERT_NE(label, nullptr);
  const int shown = label->text().size();
  EXPECT_LT(shown, line.size());
  window->resize(window->width() + 1200, window->height());
  EXPECT_TRUE(PumpUntil([&] { return label->text().size() > shown; }));
}

TEST_F(WindowPlaceTest, TabInARowGoesFromRetryToCancel) {
  Open();
  Attach(3);
  const int row = window->Grid().FindGridRow(3);
  auto error = MakeErrorRecord(3, 12, 60, nullptr);
  ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(
      window->Handle(), MakeDeviceStatusRecord(EVENT_FLASH_FAILED, 3, 1, 1, 0, error.get())));
  FlushWindow();
  QPushButton* retry = window->GridView()->RetryButton(row);
  QPushButton* cancel = window->GridView()->CancelButton(row);
  ASSERT_TRUE(retry->isVisible() && retry->isEnabled() && cancel->isEnabled());
  ASSERT_LT(retry->x(), cancel->x());
  window->activateWindow();
  retry->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(PumpUntil([&] { return retry->hasFocus(); }, 5s));
  QTest::keyClick(retry, Qt::Key_Tab);
  EXPECT_TRUE(PumpUntil([&] { return cancel->hasFocus(); }, 5s));
}

}  // namespace
}  // namespace maintest
