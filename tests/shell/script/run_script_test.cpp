// Script files: comments, empty lines, cut comments, CR LF, a failing line
// ending the run (through RUN_SCRIPT levels too), the nesting bound, and
// files that cannot be read.

#include <algorithm>

#include "script_fixture.h"

namespace script_test {
namespace {

std::vector<std::string> FileNames(const std::vector<std::unique_ptr<CJobRequest>>& jobs) {
  std::vector<std::string> names;
  for (const auto& job : jobs) {
    auto* file = job->payload.Get<FileJobPayload>();
    names.push_back(file ? file->imageFileName : "<" + std::to_string(job->jobCode) + ">");
  }
  return names;
}

TEST_F(ScriptFixture, CommentsAndEmptyLinesAreSkippedAndATrailingCommentIsCut) {
  const auto path = WriteScript("one.qls", "   # a comment\n\nflash image.s19 # flash it\n");
  context_.interactive = 1;
  EXPECT_FALSE(RunFile(path));
  EXPECT_EQ(Log(), (std::vector<std::string>{"Processing script " + path, "Script command: flash image.s19 "}));
  auto jobs = Jobs();
  EXPECT_EQ(FileNames(jobs), std::vector<std::string>{"image.s19"});
  EXPECT_EQ(jobs[0]->interactive, 1);
  EXPECT_EQ(jobs[0]->senderFlagB, 1);
}

TEST_F(ScriptFixture, CarriageReturnsAndTabsAtLineEndsAreWhiteSpace) {
  const auto path = WriteScript("crlf.qls", "FLASH a.s19\r\n\t\r\nFLASH \"b c.s19\"\t\r\n");
  EXPECT_FALSE(RunFile(path));
  EXPECT_EQ(FileNames(Jobs()), (std::vector<std::string>{"a.s19", "b c.s19"}));
}

TEST_F(ScriptFixture, AFailingLineEndsTheRunButEarlierJobsStay) {
  const auto path = WriteScript("fail.qls", "FLASH a.s19\nFLASH \"open\nFLASH b.s19\n");
  EXPECT_TRUE(RunFile(path));
  EXPECT_EQ(FileNames(Jobs()), std::vector<std::string>{"a.s19"});
  EXPECT_EQ(Log().back(), "Error> missing double quote in script file");
}

TEST_F(ScriptFixture, AFailureInsideRunScriptStopsTheOuterScriptToo) {
  const auto inner = WriteScript("inner.qls", "FLASH b.s19\nERASE 9\nFLASH x.s19\n");
  const auto outer = WriteScript("outer.qls", "FLASH a.s19\nRUN_SCRIPT \"" + inner + "\"\nFLASH c.s19\n");
  EXPECT_TRUE(RunFile(outer));
  EXPECT_EQ(FileNames(Jobs()), (std::vector<std::string>{"a.s19", "b.s19"}));
  const auto log = Log();
  EXPECT_EQ(log.back(), "Error> sector 9 is outside range of flash memory map");
  EXPECT_EQ(std::count(log.begin(), log.end(), "Processing script " + inner), 1);
}

TEST_F(ScriptFixture, TerminateAppDoesNotEndTheRun) {
  const auto path = WriteScript("end.qls", "TERMINATE_APP\nFLASH a.s19\n");
  EXPECT_FALSE(RunFile(path));
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0]->jobCode, WM_SHUTDOWN);
  EXPECT_EQ(jobs[1]->jobCode, WM_FLASH);
}

TEST_F(ScriptFixture, AScriptThatRunsItselfStopsAtTheNestingBound) {
  const auto path = (folder_ / "self.qls").string();
  WriteScript("self.qls", "FLASH a.s19\nRUN_SCRIPT \"" + path + "\"\n");
  EXPECT_TRUE(RunFile(path));
  const auto log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Processing script " + path), CScriptInterpreter::kMaxScriptDepth);
  EXPECT_EQ(log.back(), "Error> RUN_SCRIPT nesting too deep");
  EXPECT_EQ(Jobs().size(), static_cast<std::size_t>(CScriptInterpreter::kMaxScriptDepth));
  // The interpreter is usable again afterwards.
  EXPECT_FALSE(Run("FLASH z.s19"));
  EXPECT_EQ(Jobs().size(), 1u);
}

TEST_F(ScriptFixture, SixteenLevelsOfRunScriptAreAllowed) {
  std::string next;
  for (int level = CScriptInterpreter::kMaxScriptDepth; level >= 1; --level) {
    std::string text = "FLASH level" + std::to_string(level) + ".s19\n";
    if (!next.empty()) text += "RUN_SCRIPT " + next + "\n";
    next = WriteScript("level" + std::to_string(level) + ".qls", text);
  }
  EXPECT_FALSE(RunFile(next));
  EXPECT_EQ(Jobs().size(), static_cast<std::size_t>(CScriptInterpreter::kMaxScriptDepth));
}

TEST_F(ScriptFixture, ARemoteRunScriptLineRunsTheFileWithoutAsking) {
  const auto path = WriteScript("remote.qls", "FLASH a.s19\n");
  EXPECT_FALSE(Run("RUN_SCRIPT " + path));
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->interactive, 0);
  EXPECT_TRUE(Run("RUN_SCRIPT"));
  EXPECT_EQ(Log().back(), "Error> RUN_SCRIPT command missing filename");
}

struct UnreadableCase {
  const char* name;
  bool folder;
};

class UnreadableScript : public ScriptFixture, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableScript, EndsTheRunWithTheUnableToReadLine) {
  const auto path = (folder_ / GetParam().name).string();
  if (GetParam().folder) std::filesystem::create_directories(path);
  EXPECT_TRUE(RunFile(path));
  EXPECT_EQ(Log().back(), "Error> Unable to read script file " + path);
  EXPECT_TRUE(Jobs().empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, UnreadableScript,
                         ::testing::Values(UnreadableCase{"missing.qls", false}, UnreadableCase{"folder.qls", true}));

}  // namespace
}  // namespace script_test
