#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>

#include <QDesktopServices>
#include <QTextBrowser>
#include <QUrl>
#include <QtTest/QTest>

#include <cstdlib>

#include "shell/prompt/shell_prompt_service.h"
#include "shell/ui/help/error_report_action.h"
#include "shell/ui/help/online_help_window.h"
#include "shell/ui/prompt/qt_prompt_service.h"
#include "shell/userio/error_report_address.h"
#include "../../shell/support/shell_test_support.h"

// Catches the addresses that would open in the desktop's browser.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  UrlCatcher() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open");
  }
  ~UrlCatcher() override {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

namespace {

TEST(OnlineHelp, StartsHiddenWithTheLocalHelp) {
  COnlineHelpDlg help;
  EXPECT_FALSE(help.isVisible());
  EXPECT_EQ(help.windowTitle(), "Quillon Online Help");
  EXPECT_TRUE(help.Browser()->toPlainText().contains("Quillon Online Help"));
}

TEST(OnlineHelp, WebAddressesOpenInTheDesktopBrowser) {
  UrlCatcher catcher;
  COnlineHelpDlg help;
  help.Navigate(QUrl("http://support.quillon.invalid/error_report.html?error=a%26b"));
  ASSERT_EQ(catcher.opened.size(), 1);
  EXPECT_EQ(catcher.opened[0].toString(QUrl::FullyEncoded),
            "http://support.quillon.invalid/error_report.html?error=a%26b");
}

TEST(OnlineHelp, ClosingOnlyHidesTheWindow) {
  COnlineHelpDlg help;
  QPointer<COnlineHelpDlg> alive = &help;
  help.ShowWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
  help.close();
  EXPECT_FALSE(help.isVisible());
  help.ShowWindow();
  EXPECT_TRUE(help.isVisible());
  EXPECT_TRUE(alive);
  help.reject();
  EXPECT_FALSE(help.isVisible());
}

TEST(OnlineHelp, TheBrowserFillsTheWindowLessItsInset) {
  COnlineHelpDlg help;
  help.resize(400, 300);
  help.ShowWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
  EXPECT_EQ(help.Browser()->geometry(), QRect(1, 2, 398, 297));
  help.hide();
}

TEST(OnlineHelp, TheErrorReportPromptShowsTheWindowAndOpensThePage) {
  UrlCatcher catcher;
  COnlineHelpDlg help;
  auto service = std::make_shared<CQtPromptService>();
  RegisterErrorReportAction(*service, help);
  auto call = std::make_shared<PromptCall>();
  call->kind = PROMPT_ERROR_REPORT;
  call->text = ErrorReportAddress(std::string("Error> 100% & more"));
  call->dialog = ErrorReportData{};
  EXPECT_EQ(ShowPromptAndWait(service, call), 0);
  EXPECT_TRUE(help.isVisible());
  ASSERT_EQ(catcher.opened.size(), 1);
  EXPECT_EQ(catcher.opened[0].query(QUrl::FullyEncoded), "error=Error%3E+100%25+%26+more");
  help.hide();
  service->Shutdown(3);
}

// The program itself, started as a user would, without a display and with
// its boxes answered from a file: it comes up, writes its start-up lines,
// and on the window's close (SIGTERM closes it) joins its threads, writes
// its configuration and exits with status 0.
TEST(Program, TheIdSwitchNamesTheConfigurationAndLogFilesAndTheProgramEndsCleanly) {
  shell_test::TempFolder dir;
  dir.Write("answers", "ok\n");
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("QUILLON_PROMPTS", QString::fromStdString(dir.File("answers")));
  program.setProcessEnvironment(environment);
  program.setWorkingDirectory(QString::fromStdString(dir.Dir()));
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  program.start(QString(QUILLON_BINARY_DIR) + "/bin/vexaload", {"-id", "Bench 2"});
  ASSERT_TRUE(program.waitForStarted(30000));
  const std::string startLine = "Reading configuration file " + dir.File("Bench 2.cfg");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool started = false;
  while (!started && std::chrono::steady_clock::now() < deadline && program.state() == QProcess::Running) {
    started = dir.Exists("Bench 2.log") && dir.Read("Bench 2.log").find(startLine) != std::string::npos;
    if (!started) program.waitForFinished(50);
  }
  EXPECT_TRUE(started);
  EXPECT_EQ(program.state(), QProcess::Running) << "the program ended by itself";
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(dir.Exists("Bench 2.cfg"));
  EXPECT_NE(dir.Read("Bench 2.cfg").find("current_working_directory="), std::string::npos);
  EXPECT_FALSE(dir.Exists("Vexa20 Flash.cfg"));
}

}  // namespace

#include "help_and_program_test.moc"
