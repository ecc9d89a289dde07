#include "shell/prompt/scripted_prompt_service.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/prompt/prompt_service.h"
#include "shell/prompt/engine_box_adapter.h"
#include "shell/userio/error_report_address.h"
#include "../support/shell_test_support.h"

namespace {

std::shared_ptr<PromptCall> Box(std::uint32_t style, const std::string& text = "t") {
  auto call = std::make_shared<PromptCall>();
  call->caption = "Vexa20 Flash";
  call->text = text;
  call->style = style;
  return call;
}

TEST(ScriptedAnswers, NumbersWordsCommentsAndBlankLines) {
  const auto answers = CScriptedShellPromptService::ParseAnswers("6\n# comment\n\n  no \r\nRetry\nok\n2\n3\r\n");
  ASSERT_TRUE(answers);
  EXPECT_EQ(*answers, (std::vector<int>{6, 7, 4, 1, 2, 3}));
}

TEST(ScriptedAnswers, ALineThatIsNoAnswerIsReported) {
  std::string bad;
  EXPECT_FALSE(CScriptedShellPromptService::ParseAnswers("1\nmaybe\n", &bad));
  EXPECT_EQ(bad, "maybe");
  EXPECT_FALSE(CScriptedShellPromptService::ParseAnswers("5\n", &bad));
}

struct DefaultCase {
  std::uint32_t style;
  bool dialog;
  int expected;
};

class DefaultAnswers : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultAnswers, UsedUpScriptsGiveTheSafeAnswer) {
  auto call = Box(GetParam().style);
  if (GetParam().dialog) call->dialog = AboutDialogData{};
  EXPECT_EQ(DefaultAnswerFor(*call), GetParam().expected);
  EXPECT_EQ(ShowPromptAndWait(std::make_shared<CScriptedShellPromptService>(), call), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Styles, DefaultAnswers,
                         ::testing::Values(DefaultCase{0x10, false, kAnswerOk}, DefaultCase{0x01, false, kAnswerCancel},
                                           DefaultCase{0x02, false, kAnswerAbort}, DefaultCase{0x03, false, kAnswerCancel},
                                           DefaultCase{0x24, false, kAnswerNo}, DefaultCase{0x15, false, kAnswerCancel},
                                           DefaultCase{0, true, kAnswerCancel}));

TEST(ScriptedService, AnswersInOrderThenByDefaultAndRecordsEachPrompt) {
  shell_test::TempFolder dir;
  auto service = std::make_shared<CScriptedShellPromptService>(std::vector<int>{kAnswerRetry}, dir.File("seen.txt"));
  EXPECT_EQ(ShowPromptAndWait(service, Box(0x15, "Error> a\r\nb\tc")), kAnswerRetry);
  EXPECT_EQ(ShowPromptAndWait(service, Box(0x15)), kAnswerCancel);
  const auto shown = service->Prompts();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Error> a\r\nb\tc");
  EXPECT_EQ(dir.Read("seen.txt"), "-1\tVexa20 Flash\tError> a\\r\\nb\\tc\t4\n-1\tVexa20 Flash\tt\t2\n");
}

TEST(ScriptedService, AfterShutdownEveryPromptGetsTheShutdownAnswer) {
  auto service = std::make_shared<CScriptedShellPromptService>(std::vector<int>{kAnswerYes});
  service->Shutdown(kAnswerAbort);
  EXPECT_EQ(ShowPromptAndWait(service, Box(0x24)), kAnswerAbort);
}

TEST(ScriptedService, FromTheEnvironment) {
  shell_test::TempFolder dir;
  dir.Write("answers", "yes\nno\n");
  unsetenv("QUILLON_PROMPTS");
  EXPECT_EQ(CScriptedShellPromptService::FromEnvironment(), nullptr);
  setenv("QUILLON_PROMPTS", dir.File("answers").c_str(), 1);
  auto service = CScriptedShellPromptService::FromEnvironment();
  unsetenv("QUILLON_PROMPTS");
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(ShowPromptAndWait(service, Box(0x24)), kAnswerYes);
  EXPECT_EQ(ShowPromptAndWait(service, Box(0x24)), kAnswerNo);
}

TEST(EngineBoxes, GoThroughTheShellServiceWithTheTitle) {
  auto service = std::make_shared<CScriptedShellPromptService>(std::vector<int>{kAnswerOk});
  CEngineBoxAdapter adapter(service, "Bench 2");
  EXPECT_EQ(adapter.ShowMessageBox("Custom text", 0x40), kAnswerOk);
  ASSERT_EQ(service->Prompts().size(), 1u);
  EXPECT_EQ(service->Prompts()[0].caption, "Bench 2");
  EXPECT_EQ(service->Prompts()[0].kind, kMessageBoxPrompt);
}

struct AddressCase {
  const char* text;
  const char* expected;
};

class ErrorReportAddressTable : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ErrorReportAddressTable, EncodesTheErrorText) {
  EXPECT_EQ(ErrorReportAddress(std::string(GetParam().text), "http://x.invalid/r"),
            std::string("http://x.invalid/r?error=") + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ErrorReportAddressTable,
    ::testing::Values(AddressCase{"Error> Link lost", "Error%3e+Link+lost"},
                      AddressCase{"a\r\nb", "a%0ab"}, AddressCase{"a\tb", "a%09b"},
                      AddressCase{"50% & #3", "50%25+%26+%233"}, AddressCase{"a+b=c?", "a%2bb%3dc%3f"},
                      AddressCase{"", ""}, AddressCase{"x-y_z.w~", "x-y_z.w~"}, AddressCase{"\xc3\xa9", "%c3%a9"}));

TEST(ErrorReportAddress, WithoutATextThePageAlone) {
  EXPECT_EQ(ErrorReportAddress(std::nullopt), kErrorReportPage);
}

}  // namespace
