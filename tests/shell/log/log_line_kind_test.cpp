#include "shell/log/log_line_kind.h"

#include <gtest/gtest.h>

namespace {

struct KindCase {
  const char* line;
  LogLineKind kind;
};

class LogLineKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(LogLineKindTest, TellsErrorsAndWarningsFromProgress) {
  EXPECT_EQ(ClassifyLogLine(GetParam().line), GetParam().kind) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LogLineKindTest,
    ::testing::Values(KindCase{"Error> Reverse flash is not available when multiple devices are connected",
                               LogLineKind::Error},
                      KindCase{"USB3> Error> Connection failed", LogLineKind::Error},
                      KindCase{"COM1> ERROR: Flash verify failed", LogLineKind::Error},
                      KindCase{"Warning> The status grid is full (10 devices): USB20 gets no row",
                               LogLineKind::Warning},
                      KindCase{"Reading product file radios.qlp", LogLineKind::Progress},
                      KindCase{"COM1> Flashing 40%", LogLineKind::Progress},
                      KindCase{"Errors found: none", LogLineKind::Progress}, KindCase{"", LogLineKind::Progress}));

TEST(SingleRowText, TurnsLineEndsIntoBlanks) {
  EXPECT_EQ(SingleRowText("Error> One.\r\nTwo"), "Error> One. Two");
  EXPECT_EQ(SingleRowText("a\nb\rc"), "a b c");
  EXPECT_EQ(SingleRowText("plain"), "plain");
}

}  // namespace
