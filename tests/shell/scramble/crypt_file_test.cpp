#include "shell/scramble/crypt_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "engine/prompt/scripted_prompt_service.h"
#include "../support/shell_test_support.h"

namespace {

using shell_test::TempFolder;

class CryptTest : public ::testing::Test {
 protected:
  CryptTest() { SetPromptService(boxes); }
  ~CryptTest() override { SetPromptService(nullptr); }
  int Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "Crypt");
    out.str("");
    return CryptFileMain(arguments, out);
  }
  TempFolder dir;
  std::ostringstream out;
  std::shared_ptr<CScriptedPromptService> boxes = std::make_shared<CScriptedPromptService>();
};

struct RoundTripCase {
  const char* name;
  std::string contents;
};

class RoundTrips : public CryptTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTrips, ScramblingTwiceGivesTheSameBytes) {
  const std::string& original = GetParam().contents;
  dir.Write("plain.txt", original);
  ASSERT_EQ(Run({"/e", dir.File("plain.txt"), dir.File("scrambled.txt")}), 0);
  const std::string scrambled = dir.Read("scrambled.txt");
  ASSERT_EQ(scrambled.size(), original.size());
  for (std::size_t i = 0; i < original.size(); ++i) {
    ASSERT_EQ(static_cast<std::uint8_t>(scrambled[i]), static_cast<std::uint8_t>(original[i]) ^ 0xA7) << i;
  }
  ASSERT_EQ(Run({"/d", dir.File("scrambled.txt"), dir.File("back.txt")}), 0);
  EXPECT_EQ(dir.Read("back.txt"), original);
}

INSTANTIATE_TEST_SUITE_P(Files, RoundTrips,
                         ::testing::Values(RoundTripCase{"Empty", ""}, RoundTripCase{"Text", "su 0x1000 0x20\r\n"},
                                           RoundTripCase{"ZeroBytes", std::string("a\0\0b\0", 5)},
                                           RoundTripCase{"KeyBytes", std::string("\xA7\xA7\x00\xFF", 4)},
                                           RoundTripCase{"Large", std::string(300000, 'x')}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptTest, TheBufferHoldsTheWholeFileAndTheTextACopy) {
  dir.Write("f", std::string("ab\0c", 4));
  std::string text;
  ASSERT_TRUE(LoadCryptFile(dir.File("f"), text));
  EXPECT_EQ(text, std::string("ab\0c", 4));
  CryptBuffer(text);
  EXPECT_EQ(text, std::string("ab\0c", 4));
  EXPECT_EQ(CryptBufferContents(), std::string("\xC6\xC5\xA7\xC4", 4));
}

struct TextCase {
  const char* name;
  std::vector<std::string> arguments;
  int code;
  const char* printed;
  const char* box;  // "" when none
};

class ConsoleTexts : public CryptTest, public ::testing::WithParamInterface<TextCase> {
 protected:
  void SetUp() override { dir.Write("in", "data"); }
};

constexpr const char* kHelp =
    "Help:\r\nCrypt /d \"Source file\" \"Destination file\"   For Decryption\r\n"
    "Crypt /e \"Source file\" \"Destination file\"   For Encryption\r\n";

TEST_P(ConsoleTexts, PrintsAndExits) {
  std::vector<std::string> arguments;
  for (const std::string& a : GetParam().arguments) {
    arguments.push_back(a.rfind("@", 0) == 0 ? dir.File(a.substr(1)) : a);
  }
  EXPECT_EQ(Run(arguments), GetParam().code);
  EXPECT_EQ(out.str(), GetParam().printed);
  const auto shown = boxes->Boxes();
  if (*GetParam().box) {
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, GetParam().box);
  } else {
    EXPECT_TRUE(shown.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ConsoleTexts,
    ::testing::Values(TextCase{"Encrypt", {"/e", "@in", "@out"}, 0, "Encrypt succeed!\n", ""},
                      TextCase{"Decrypt", {"/d", "@in", "@out"}, 0, "Decrypt succeed!\n", ""},
                      TextCase{"UpperCaseSwitch", {"/E", "@in", "@out"}, 2, kHelp, ""},
                      TextCase{"DashSwitch", {"-e", "@in", "@out"}, 2, kHelp, ""},
                      TextCase{"TooFew", {"/e", "@in"}, 2, kHelp, ""},
                      TextCase{"TooMany", {"/e", "@in", "@out", "x"}, 2, kHelp, ""},
                      TextCase{"None", {}, 2, kHelp, ""},
                      TextCase{"HelpAskedFor", {"--help"}, 0, kHelp, ""},
                      TextCase{"ShortHelp", {"-h"}, 0, kHelp, ""},
                      TextCase{"SlashQuestionMark", {"/?"}, 0, kHelp, ""},
                      TextCase{"MissingSource", {"/e", "@missing", "@out"}, 1, "", "Source file could not be opened\n"},
                      TextCase{"BadDestination", {"/d", "@in", "@no/such/out"}, 1, "",
                               "Destination file could not be opened\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CryptCommand, ExitsNonZeroAfterAFailureAndPrintsTheBoxText) {
  TempFolder dir;
  const std::string command = std::string(QUILLON_BINARY_DIR) + "/bin/Crypt /e '" + dir.File("missing") + "' '" +
                              dir.File("out") + "' > '" + dir.File("stdout") + "' 2> '" + dir.File("stderr") + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(dir.Read("stdout"), "");
  EXPECT_EQ(dir.Read("stderr"), "Source file could not be opened\n");
}

TEST(CryptCommand, SucceedsAndSaysSo) {
  TempFolder dir;
  dir.Write("in", "cp 1 2\n");
  const std::string command = std::string(QUILLON_BINARY_DIR) + "/bin/Crypt /e '" + dir.File("in") + "' '" +
                              dir.File("out") + "' > '" + dir.File("stdout") + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(dir.Read("stdout"), "Encrypt succeed!\n");
  EXPECT_EQ(dir.Read("out").size(), 7u);
}

}  // namespace
