// File > Open Working Folder hands the working folder to the desktop's file
// manager (the handler of file addresses) and asks the worker threads for
// nothing.
#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

#include "main_window_fixture.h"
#include "shell/grid/main_commands.h"

// Catches the addresses that would open in the desktop's file manager.
class FileUrlCatcher : public QObject {
  Q_OBJECT

 public:
  FileUrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~FileUrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

namespace maintest {
namespace {

TEST_F(MainWindowTest, OpenWorkingFolderShowsTheFolderInTheFileManager) {
  UseFolderWithProduct();
  FileUrlCatcher catcher;
  Open();
  QAction* item = window->CommandAction(ID_OPEN_WORKING_FOLDER);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), "Open &Working Folder");
  EXPECT_TRUE(window->Menu("&File")->actions().contains(item));
  Drain(pre);
  item->trigger();
  ASSERT_EQ(catcher.opened.size(), 1);
  EXPECT_EQ(catcher.opened[0], QUrl::fromLocalFile(QString::fromStdString(productFolder)));
  EXPECT_TRUE(Drain(pre).empty());
  EXPECT_TRUE(LogLines().empty());
}

}  // namespace
}  // namespace maintest

#include "working_folder_menu_test.moc"
