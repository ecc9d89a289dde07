// The program's start as a user meets it: the usage and the version without
// a display, the message instead of Qt's abort when there is no display, the
// desktop menu's start in ~/Quillon, and the refusals of a working folder
// that cannot be written or that another program already works in.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <unistd.h>

#include "../../shell/support/shell_test_support.h"

namespace {

namespace fs = std::filesystem;

const QString kProgram = QString(QUILLON_BINARY_DIR) + "/bin/vexaload";

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Without any display and without the platform variable.
QProcessEnvironment WithoutDisplay() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
  return environment;
}

// Offscreen, with the boxes answered and recorded.
QProcessEnvironment Offscreen(const shell_test::TempFolder& scratch) {
  QProcessEnvironment environment = WithoutDisplay();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  scratch.Write("answers", "ok\n");
  environment.insert("QUILLON_PROMPTS", QString::fromStdString(scratch.File("answers")));
  environment.insert("QUILLON_PROMPTS_RECORD", QString::fromStdString(scratch.File("boxes")));
  environment.insert("HOME", QString::fromStdString(scratch.File("home")));
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(scratch.File("home/.config")));
  return environment;
}

RunResult RunToEnd(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
             const std::string& folder) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(QString::fromStdString(folder));
  process.start(program, arguments);
  RunResult run;
  if (!process.waitForStarted(30000) || !process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

bool EventuallyHolds(const std::function<bool()>& condition, QProcess& process) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline && process.state() == QProcess::Running) {
    if (condition()) return true;
    process.waitForFinished(50);
  }
  return condition();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct AnswerCase {
  const char* name;
  QStringList arguments;
  const char* out;  // the start of the standard output
};

class AnswersWithoutDisplay : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswersWithoutDisplay, PrintsAndExitsWithoutCreatingFiles) {
  shell_test::TempFolder dir;
  const RunResult run = RunToEnd(kProgram, GetParam().arguments, WithoutDisplay(), dir.Dir());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind(GetParam().out, 0), 0u) << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::is_empty(dir.Dir()));
}

INSTANTIATE_TEST_SUITE_P(Switches, AnswersWithoutDisplay,
                         ::testing::Values(AnswerCase{"Help", {"--help"}, "usage: vexaload"},
                                           AnswerCase{"ShortHelp", {"-h"}, "usage: vexaload"},
                                           AnswerCase{"SlashQuestionMark", {"/?"}, "usage: vexaload"},
                                           AnswerCase{"HelpAfterTheTitle", {"-id", "T", "--help"}, "usage: vexaload"},
                                           AnswerCase{"Version", {"--version"}, "vexaload (Quillon) 2.00\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramStart, WithoutADisplayOneLineSaysWhatIsMissingAndExitsOne) {
  shell_test::TempFolder dir;
  const RunResult run = RunToEnd(kProgram, {"-id", "T"}, WithoutDisplay(), dir.Dir());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "vexaload: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
            "QT_QPA_PLATFORM=offscreen runs it headless, for remote control\n");
  EXPECT_TRUE(fs::is_empty(dir.Dir()));
}

// The desktop menu's start: the working folder is ~/Quillon, made at the
// first start; nothing goes to the folder the program was started in, and
// the log says where the product file was looked for.
TEST(ProgramStart, TheUserFolderSwitchWorksInQuillonOfTheHomeFolder) {
  shell_test::TempFolder scratch;
  shell_test::TempFolder started;
  QProcess program;
  program.setProcessEnvironment(Offscreen(scratch));
  program.setWorkingDirectory(QString::fromStdString(started.Dir()));
  program.start(kProgram, {"-user_folder"});
  ASSERT_TRUE(program.waitForStarted(30000));
  const std::string folder = scratch.File("home/Quillon") + "/";
  const std::string log = folder + "Vexa20 Flash.log";
  const std::string lines = "] Reading product file " + folder + "Quor_Plover.qlp\n" +
                            "[00:00:00] The product file Quor_Plover.qlp is not in the working folder " + folder +
                            "\n[00:00:00] Error> Unable to read product file\n";
  auto stampless = [&] {
    std::string text = ReadFile(log);
    for (std::size_t at = 0; (at = text.find('[', at)) != std::string::npos; ++at) {
      if (text.size() > at + 9 && text[at + 9] == ']') text.replace(at + 1, 8, "00:00:00");
    }
    return text;
  };
  EXPECT_TRUE(EventuallyHolds([&] { return stampless().find(lines) != std::string::npos; }, program))
      << stampless();
  EXPECT_TRUE(fs::exists(folder + "Vexa20 Flash.cfg"));
  EXPECT_TRUE(fs::exists(folder + "Vexa20 Flash.lock"));
  EXPECT_TRUE(fs::is_empty(started.Dir()));
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_FALSE(fs::exists(folder + "Vexa20 Flash.lock"));
}

// A home that is a regular file: the folder cannot be made, by root neither.
TEST(ProgramStart, AUserFolderThatCannotBeMadeIsRefusedInABoxAndOnStandardError) {
  shell_test::TempFolder scratch;
  scratch.Write("home", "a file");
  const RunResult run = RunToEnd(kProgram, {"-user_folder"}, Offscreen(scratch), scratch.Dir());
  const std::string reason = "Cannot make the working folder " + scratch.File("home/Quillon") + ": Not a directory";
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("vexaload: " + reason + "\n"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(scratch.File("boxes")), "-1\tVexa20 Flash\t" + reason + "\t1\n");
}

// A folder the user may not write: root writes anywhere, so the program runs
// as nobody then. The reason the program gives, or nothing when it cannot run.
struct UnwritableRun {
  RunResult run;
  std::string reason;
};

std::optional<UnwritableRun> RunInAFolderThatCannotBeWritten(const shell_test::TempFolder& scratch,
                                                             const shell_test::TempFolder& dir,
                                                             const QProcessEnvironment& environment) {
  QString program = kProgram;
  QStringList arguments = {"-id", "T"};
  if (::geteuid() == 0) {
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty()) return std::nullopt;
    arguments = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", kProgram} + arguments;
    program = setpriv;
    // Where nobody writes the record of the boxes.
    fs::permissions(scratch.Dir(), fs::perms::all);
  }
  fs::permissions(dir.Dir(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  UnwritableRun result{RunToEnd(program, arguments, environment, dir.Dir()), {}};
  std::string folder = dir.Dir();
  folder.pop_back();
  result.reason = "Cannot write in the working folder " + folder +
                  ": Permission denied. The configuration and the log are kept there: start the program "
                  "in a folder that you may write to.";
  return result;
}

TEST(ProgramStart, AFolderThatCannotBeWrittenIsRefusedInABoxAndOnStandardError) {
  shell_test::TempFolder scratch;
  shell_test::TempFolder dir;
  const auto result = RunInAFolderThatCannotBeWritten(scratch, dir, Offscreen(scratch));
  if (!result) GTEST_SKIP() << "running as root without setpriv to drop to nobody";
  EXPECT_EQ(result->run.exitCode, 1) << result->run.err;
  EXPECT_NE(result->run.err.find("vexaload: " + result->reason + "\n"), std::string::npos) << result->run.err;
  EXPECT_EQ(ReadFile(scratch.File("boxes")), "-1\tT\t" + result->reason + "\t1\n");
  EXPECT_TRUE(fs::is_empty(dir.Dir()));
}

// The same with no answer file, where no one can see a box: the reason is
// told once on standard error and the program exits 1 without waiting.
TEST(ProgramStart, AFolderThatCannotBeWrittenEndsTheProgramWhereNoOneCanAnswer) {
  shell_test::TempFolder scratch;
  shell_test::TempFolder dir;
  QProcessEnvironment environment = Offscreen(scratch);
  environment.remove("QUILLON_PROMPTS");
  environment.remove("QUILLON_PROMPTS_RECORD");
  const auto result = RunInAFolderThatCannotBeWritten(scratch, dir, environment);
  if (!result) GTEST_SKIP() << "running as root without setpriv to drop to nobody";
  EXPECT_EQ(result->run.exitCode, 1) << result->run.err;
  const std::string told = "vexaload: " + result->reason + "\n";
  const auto at = result->run.err.find(told);
  EXPECT_NE(at, std::string::npos) << result->run.err;
  EXPECT_EQ(result->run.err.find(told, at + 1), std::string::npos) << "told twice: " << result->run.err;
  EXPECT_TRUE(fs::is_empty(dir.Dir()));
}

// A second start where one runs: refused, and the first one's log is kept.
TEST(ProgramStart, ASecondProgramInAFolderInUseIsRefusedAndTheFirstsLogKept) {
  shell_test::TempFolder scratch;
  shell_test::TempFolder dir;
  QProcess first;
  first.setProcessEnvironment(Offscreen(scratch));
  first.setWorkingDirectory(QString::fromStdString(dir.Dir()));
  first.start(kProgram, {"-id", "Bench"});
  ASSERT_TRUE(first.waitForStarted(30000));
  const std::string startLine = "Reading configuration file " + dir.File("Bench.cfg");
  ASSERT_TRUE(EventuallyHolds([&] { return dir.Read("Bench.log").find(startLine) != std::string::npos; }, first));
  const std::string logBefore = dir.Read("Bench.log");

  shell_test::TempFolder secondScratch;
  const RunResult second = RunToEnd(kProgram, {"-id", "Bench"}, Offscreen(secondScratch), dir.Dir());
  std::string folder = dir.Dir();
  folder.pop_back();
  const std::string reason = "The working folder " + folder + " is in use: another vexaload (process " +
                             std::to_string(first.processId()) +
                             ") works there with Bench.cfg and Bench.log. Close it first, or start this one with -id "
                             "and another name.";
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.err.find("vexaload: " + reason + "\n"), std::string::npos) << second.err;
  EXPECT_EQ(ReadFile(secondScratch.File("boxes")), "-1\tBench\t" + reason + "\t1\n");
  EXPECT_EQ(dir.Read("Bench.log").rfind(logBefore, 0), 0u) << "the first one's log was replaced";
  EXPECT_EQ(first.state(), QProcess::Running);
  first.terminate();
  ASSERT_TRUE(first.waitForFinished(60000));
  EXPECT_EQ(first.exitCode(), 0);
}

}  // namespace
