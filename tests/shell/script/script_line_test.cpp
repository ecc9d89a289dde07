// Script lines to tokens: blanks, tabs, quotes at and inside tokens, CR LF,
// empty quotes and an unclosed quote.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/quillon_exception.h"
#include "log_capture.h"
#include "shell/script/script_line.h"

namespace {

struct SplitCase {
  const char* line;
  std::vector<std::string> tokens;
};

class SplitScriptLineTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitScriptLineTable, GivesTheTokens) {
  script_test::LogCapture log;
  ScriptTokens tokens;
  SplitScriptLine(GetParam().line, tokens);
  EXPECT_EQ(tokens, GetParam().tokens);
  EXPECT_TRUE(log.Drain().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitScriptLineTable,
    ::testing::Values(
        SplitCase{"", {}}, SplitCase{"   \t  ", {}}, SplitCase{"STATUS", {"STATUS"}},
        SplitCase{"flash image.s19", {"flash", "image.s19"}},
        SplitCase{"  ERASE   0  2-3 code  ", {"ERASE", "0", "2-3", "code"}},
        // A tab does not separate: the two words stay one token.
        SplitCase{"ERASE\t0 1", {"ERASE\t0", "1"}},
        // CR LF: the carriage return goes with the trailing white space.
        SplitCase{"STATUS RESET\r\n", {"STATUS", "RESET"}},
        SplitCase{"FLASH \"my image.s19\"", {"FLASH", "my image.s19"}},
        // A quoted token loses its leading and trailing blanks, keeps inner ones.
        SplitCase{"FLASH \"  a  b  \" x", {"FLASH", "a  b", "x"}},
        // A quote inside a word is an ordinary character.
        SplitCase{"FLASH ab\"cd", {"FLASH", "ab\"cd"}},
        SplitCase{"FLASH ab\"c d\"", {"FLASH", "ab\"c", "d\""}},
        // A quoted token ends at the next quote even when a word follows at once.
        SplitCase{"\"a\"b", {"a", "b"}},
        SplitCase{"\"\"", {""}}, SplitCase{"SET \"\" x", {"SET", "", "x"}},
        SplitCase{"\"\"\"\"", {"", ""}}));

TEST(SplitScriptLine, AnUnclosedQuoteLogsAndRaisesTheScriptError) {
  script_test::LogCapture log;
  ScriptTokens tokens;
  EXPECT_THROW(SplitScriptLine("FLASH \"my image.s19", tokens), QUILLON_EXCEPTION);
  EXPECT_EQ(log.Drain(), std::vector<std::string>{"Error> missing double quote in script file"});
  EXPECT_EQ(tokens, std::vector<std::string>{"FLASH"});
}

TEST(SplitScriptLine, AppendsToTheTokensAlreadyThere) {
  ScriptTokens tokens{"first"};
  SplitScriptLine("second third", tokens);
  EXPECT_EQ(tokens, (std::vector<std::string>{"first", "second", "third"}));
}

}  // namespace
