// The prompt service of a run where no one can answer: every prompt is
// answered at once with its safe answer, and its text is told on standard
// error and in the log, once.
#include "shell/prompt/unattended_prompt_service.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/prompt/prompt_service.h"

namespace {

struct Told {
  std::vector<std::string> log;
  std::vector<std::string> standardError;
  std::string lastLogError;
};

std::shared_ptr<CUnattendedPromptService> ServiceTelling(Told& told) {
  CUnattendedPromptService::Outlets outlets;
  outlets.log = [&told](const std::string& line) { told.log.push_back(line); };
  outlets.lastLogError = [&told] { return told.lastLogError; };
  outlets.standardError = [&told](const std::string& text) { told.standardError.push_back(text); };
  return std::make_shared<CUnattendedPromptService>(std::move(outlets));
}

std::shared_ptr<PromptCall> Box(const std::string& text, std::uint32_t style) {
  auto call = std::make_shared<PromptCall>();
  call->caption = "Bench";
  call->text = text;
  call->style = style;
  return call;
}

struct AnswerCase {
  const char* name;
  std::uint32_t style;
  bool dialog;
  int answer;
  const char* stderrLine;
};

class UnattendedAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(UnattendedAnswers, EachPromptTakesItsSafeAnswerAtOnceAndSaysSo) {
  Told told;
  auto service = ServiceTelling(told);
  auto call = Box("Overwrite it?", GetParam().style);
  if (GetParam().dialog) call->dialog = FileOpenDialogData{};
  std::optional<int> answer;
  // Answered before Begin returns: nothing ever waits.
  service->Begin(call, [&answer](int result) { answer = result; });
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(*answer, GetParam().answer);
  EXPECT_EQ(told.standardError, std::vector<std::string>{GetParam().stderrLine});
  ASSERT_EQ(told.log.size(), 1u);
  EXPECT_EQ(told.log[0], CUnattendedPromptService::LogLineFor(*call, GetParam().answer));
  EXPECT_NE(told.log[0].find("Overwrite it?"), std::string::npos) << told.log[0];
}

INSTANTIATE_TEST_SUITE_P(
    Styles, UnattendedAnswers,
    ::testing::Values(
        AnswerCase{"OkBox", kStyleOk | kIconStop, false, kAnswerOk, "vexaload: Overwrite it?\n"},
        AnswerCase{"OkCancel", kStyleOkCancel, false, kAnswerCancel, "vexaload: Overwrite it? (answered Cancel)\n"},
        AnswerCase{"AbortRetryIgnore", kStyleAbortRetryIgnore, false, kAnswerAbort,
                   "vexaload: Overwrite it? (answered Abort)\n"},
        AnswerCase{"YesNoCancel", kStyleYesNoCancel, false, kAnswerCancel,
                   "vexaload: Overwrite it? (answered Cancel)\n"},
        AnswerCase{"YesNo", kStyleYesNo | kIconQuestion, false, kAnswerNo, "vexaload: Overwrite it? (answered No)\n"},
        AnswerCase{"RetryCancel", kStyleRetryCancel, false, kAnswerCancel,
                   "vexaload: Overwrite it? (answered Cancel)\n"},
        AnswerCase{"Dialog", 0, true, kAnswerCancel, "vexaload: Overwrite it? (answered Cancel)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// An error box shows the log's last error line: the log has it already.
TEST(UnattendedPromptService, AnErrorBoxFromTheLogIsNotLoggedTwice) {
  Told told;
  told.lastLogError = "Error> Unable to open file\r\nCheck the name";
  auto service = ServiceTelling(told);
  int answer = 0;
  service->Begin(Box(told.lastLogError, kStyleOk | kIconStop), [&answer](int result) { answer = result; });
  EXPECT_EQ(answer, kAnswerOk);
  EXPECT_TRUE(told.log.empty());
  EXPECT_EQ(told.standardError, std::vector<std::string>{"vexaload: Error> Unable to open file. Check the name\n"});
}

TEST(UnattendedPromptService, AnErrorBoxNotFromTheLogIsLogged) {
  Told told;
  told.lastLogError = "Error> an earlier one";
  auto service = ServiceTelling(told);
  service->Begin(Box("Error> a new one", kStyleOk), [](int) {});
  ASSERT_EQ(told.log.size(), 1u);
  EXPECT_NE(told.log[0].find("Error> a new one"), std::string::npos);
}

TEST(UnattendedPromptService, AfterShutdownPromptsAreStillAnsweredAtOnce) {
  Told told;
  auto service = ServiceTelling(told);
  service->Shutdown(kAnswerAbort);
  int answer = 0;
  service->Begin(Box("Quit?", kStyleYesNo), [&answer](int result) { answer = result; });
  EXPECT_EQ(answer, kAnswerNo);
}

TEST(UnattendedPromptService, OnlyPlatformsWithoutADisplayHaveNoOneToAnswer) {
  for (const char* name : {"offscreen", "minimal"}) EXPECT_TRUE(CUnattendedPromptService::NoOneCanAnswerOn(name));
  for (const char* name : {"xcb", "wayland", "vnc", ""}) EXPECT_FALSE(CUnattendedPromptService::NoOneCanAnswerOn(name));
}

}  // namespace
