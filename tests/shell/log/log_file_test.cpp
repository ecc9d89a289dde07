#include "shell/log/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/quillon_exception.h"
#include "../support/shell_test_support.h"

namespace {

using shell_test::RecordingTarget;
using shell_test::TempFolder;

class LogFileTest : public ::testing::Test {
 protected:
  TempFolder dir;
  RecordingTarget userIo{PT_USER_IO};
  LocalClockTime now{9, 5, 7};
  CLogFile log{dir.File("Vexa20 Flash.log"), [this] { return now; }};
};

TEST_F(LogFileTest, LinesAreStampedAndAppended) {
  log.WriteLogLine("Reading product file x");
  now = {23, 59, 0};
  log.WriteLogLine("USB3> Error> two\r\nlines");
  EXPECT_EQ(dir.Read("Vexa20 Flash.log"), "[09:05:07] Reading product file x\n[23:59:00] USB3> Error> two\r\nlines\n");
}

TEST(LogStamp, TwoDigitsWithLeadingZero) {
  EXPECT_EQ(CLogFile::FormatStamp({0, 0, 0}), "[00:00:00]");
  EXPECT_EQ(CLogFile::FormatStamp({9, 5, 7}), "[09:05:07]");
  EXPECT_EQ(CLogFile::FormatStamp({23, 59, 59}), "[23:59:59]");
}

TEST_F(LogFileTest, AWriteThatCannotOpenIsSwallowed) {
  CLogFile nowhere(dir.File("no/such/folder.log"));
  EXPECT_NO_THROW(nowhere.WriteLogLine("lost"));
}

struct LastErrorCase {
  const char* name;
  const char* contents;
  const char* expected;
};

class LastErrorTable : public LogFileTest, public ::testing::WithParamInterface<LastErrorCase> {};

TEST_P(LastErrorTable, FindsTheLastErrorLine) {
  dir.Write("Vexa20 Flash.log", GetParam().contents);
  EXPECT_EQ(log.GetLastLogError(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Logs, LastErrorTable,
    ::testing::Values(
        LastErrorCase{"NoErrorLine", "[10:00:00] all fine\n", "Error> undefined Quillon error"},
        LastErrorCase{"EmptyLog", "", "Error> undefined Quillon error"},
        LastErrorCase{"DevicePrefixDropped", "[10:00:00] USB3> Error> Link lost\n", "Error> Link lost"},
        LastErrorCase{"LastOneWins", "[1] Error> first\n[2] Error> second\n[3] done\n", "Error> second"},
        LastErrorCase{"UpperCaseFormIsNoError", "[1] Error> real\n[2] USB1> ERROR: not one\n", "Error> real"},
        LastErrorCase{"SentencesOnTheirOwnLines", "[1] Error> Device lost. Reconnect it.\n",
                      "Error> Device lost\r\nReconnect it."},
        LastErrorCase{"CrLfLines", "[1] Error> crlf line\r\n[2] plain\r\n", "Error> crlf line"},
        LastErrorCase{"NoFinalLineEnd", "[1] Error> last", "Error> last"}),
    [](const auto& info) { return std::string(info.param.name); });

// A log that cannot be read never costs a box: the last error line given
// (a folder that cannot be written keeps no log), or the undefined error.
TEST_F(LogFileTest, AMissingLogPostsALineAndGivesTheUndefinedError) {
  EXPECT_EQ(log.GetLastLogError(), "Error> undefined Quillon error");
  EXPECT_EQ(userIo.TakeLogLines(), std::vector<std::string>{"Error> Unable to read Quillon log file"});
}

TEST_F(LogFileTest, AMissingLogGivesTheLastErrorLineItWasGiven) {
  log.WriteLogLine("COM1> Error> Link lost. Reconnect it.");
  log.WriteLogLine("done");
  std::filesystem::remove(dir.File("Vexa20 Flash.log"));
  EXPECT_EQ(log.GetLastLogError(), "Error> Link lost\r\nReconnect it.");
  EXPECT_EQ(userIo.TakeLogLines(), std::vector<std::string>{"Error> Unable to read Quillon log file"});
}

TEST_F(LogFileTest, AReadOnlyLogGivesItsOwnTextAndIsNeverWritten) {
  dir.Write("Vexa20 Flash.log", "[1] Error> hidden\n");
  dir.MakeReadOnly("Vexa20 Flash.log");
  EXPECT_EQ(log.GetLastLogError(),
            "Error> Log file is read only and will not be updated.\r\nAll other error messages will be ignored");
  log.WriteLogLine("more");
  EXPECT_EQ(dir.Read("Vexa20 Flash.log"), "[1] Error> hidden\n");
}

TEST_F(LogFileTest, StartUpRemovesAnOldLogButKeepsAReadOnlyOne) {
  EXPECT_TRUE(log.RemoveAtStartup());
  dir.Write("Vexa20 Flash.log", "old");
  EXPECT_TRUE(log.RemoveAtStartup());
  EXPECT_FALSE(dir.Exists("Vexa20 Flash.log"));
  dir.Write("Vexa20 Flash.log", "old");
  dir.MakeReadOnly("Vexa20 Flash.log");
  EXPECT_FALSE(log.RemoveAtStartup());
  EXPECT_TRUE(dir.Exists("Vexa20 Flash.log"));
}

struct GuardCase {
  std::uintmax_t size;
  bool readOnly;
  bool removed;
};

class GuardTable : public LogFileTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(GuardTable, RemovesOnlyAWritableFileAboveOneMebibyte) {
  dir.Write("Vexa20 Flash.log", "");
  std::filesystem::resize_file(dir.File("Vexa20 Flash.log"), GetParam().size);
  if (GetParam().readOnly) dir.MakeReadOnly("Vexa20 Flash.log");
  EXPECT_EQ(log.GuardSize(), GetParam().removed);
  EXPECT_EQ(dir.Exists("Vexa20 Flash.log"), !GetParam().removed);
}

INSTANTIATE_TEST_SUITE_P(Sizes, GuardTable,
                         ::testing::Values(GuardCase{1048576, false, false}, GuardCase{1048577, false, true},
                                           GuardCase{0, false, false}, GuardCase{1048577, true, false}));

TEST_F(LogFileTest, TheGuardIgnoresAMissingFile) { EXPECT_FALSE(log.GuardSize()); }

TEST_F(LogFileTest, ANewLineAfterTheGuardStartsANewFile) {
  dir.Write("Vexa20 Flash.log", std::string(1048577, 'x'));
  ASSERT_TRUE(log.GuardSize());
  log.WriteLogLine("fresh");
  EXPECT_EQ(dir.Read("Vexa20 Flash.log"), "[09:05:07] fresh\n");
}

}  // namespace
