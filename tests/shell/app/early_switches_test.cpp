// What the program answers before it needs a display: the usage, the
// version, and the refusal to start without a display.
#include "shell/app/early_switches.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct EarlyCase {
  const char* name;
  std::vector<std::string> arguments;
  std::map<std::string, std::string> environment;
  bool answered;   // the program ends before the window system starts
  int exitCode;
  const char* out;  // a part of the standard output
  const char* err;  // a part of the standard error
};

class EarlySwitches : public ::testing::TestWithParam<EarlyCase> {};

TEST_P(EarlySwitches, AnswerBeforeTheWindowSystem) {
  const EarlyCase& c = GetParam();
  const auto answer = AnswerEarlySwitches(c.arguments, [&](const char* name) {
    const auto it = c.environment.find(name);
    return it == c.environment.end() ? std::string() : it->second;
  });
  ASSERT_EQ(answer.has_value(), c.answered);
  if (!answer) return;
  EXPECT_EQ(answer->exitCode, c.exitCode);
  EXPECT_NE(answer->out.find(c.out), std::string::npos) << answer->out;
  EXPECT_NE(answer->err.find(c.err), std::string::npos) << answer->err;
  if (*c.out == '\0') {
    EXPECT_TRUE(answer->out.empty());
  }
  if (*c.err == '\0') {
    EXPECT_TRUE(answer->err.empty());
  }
}

const std::map<std::string, std::string> kNoDisplay{};
const std::map<std::string, std::string> kX11{{"DISPLAY", ":0"}};

INSTANTIATE_TEST_SUITE_P(
    Arguments, EarlySwitches,
    ::testing::Values(
        EarlyCase{"HelpWithoutDisplay", {"--help"}, kNoDisplay, true, 0, "usage: vexaload", ""},
        EarlyCase{"ShortHelp", {"-h"}, kX11, true, 0, "usage: vexaload", ""},
        EarlyCase{"SlashQuestionMark", {"/?"}, kNoDisplay, true, 0, "usage: vexaload", ""},
        EarlyCase{"HelpAfterOtherSwitches", {"-id", "T", "--help"}, kX11, true, 0, "-user_folder", ""},
        EarlyCase{"HelpNamesTheWorkingFolderRule", {"--help"}, kNoDisplay, true, 0, "Working folder:", ""},
        EarlyCase{"HelpNamesTheComFolderVariable", {"--help"}, kNoDisplay, true, 0, "QUILLON_COM_DIR", ""},
        EarlyCase{"HelpNamesTheHeadlessPlatform", {"--help"}, kNoDisplay, true, 0, "QT_QPA_PLATFORM=offscreen", ""},
        EarlyCase{"Version", {"--version"}, kNoDisplay, true, 0, "vexaload (Quillon) 2.00\n", ""},
        EarlyCase{"NoDisplay", {}, kNoDisplay, true, 1, "", "QT_QPA_PLATFORM=offscreen runs it headless"},
        EarlyCase{"EmptyDisplayIsNone", {"-id", "T"}, {{"DISPLAY", ""}}, true, 1, "", "no display"},
        EarlyCase{"X11Display", {}, kX11, false, 0, "", ""},
        EarlyCase{"WaylandDisplay", {}, {{"WAYLAND_DISPLAY", "wayland-0"}}, false, 0, "", ""},
        EarlyCase{"PlatformVariable", {}, {{"QT_QPA_PLATFORM", "offscreen"}}, false, 0, "", ""},
        EarlyCase{"PlatformSwitch", {"-platform", "offscreen"}, kNoDisplay, false, 0, "", ""},
        EarlyCase{"DoubleDashPlatformSwitch", {"--platform", "offscreen"}, kNoDisplay, false, 0, "", ""},
        EarlyCase{"UnknownSwitchesStayIgnored", {"-x", "--verbose", "/y"}, kX11, false, 0, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EarlySwitches, TheNoDisplayMessageIsOneLine) {
  const auto answer = AnswerEarlySwitches({}, [](const char*) { return std::string(); });
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->err.find('\n'), answer->err.size() - 1);
}

}  // namespace
