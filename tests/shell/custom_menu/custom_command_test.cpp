// Command texts to bytes, and the flags of menu items.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/custom_menu/custom_menu_decoder.h"
#include "shell/xml/xml_parser.h"

namespace {

struct CommandCase {
  const char* name;
  std::string text;
  bool kept;
  std::vector<std::uint8_t> bytes;  // the bytes in use
  std::vector<std::string> log;
};

const std::string k128Digits = std::string(126, '0') + "7f";
const std::string k130Digits = std::string(130, 'a');

const CommandCase kCommandCases[] = {
    {"mixed_case_digits", "0a1B", true, {0x0A, 0x1B}, {}},
    {"odd_length", "abc", false, {}, {"XML> Error: Command 'abc' is not an even number of characters"}},
    {"invalid_second_digit", "0G", true, {0x00}, {"XML> Error: Character 'G' invalid in command 0G"}},
    {"invalid_first_digit", "G0", true, {0x00}, {"XML> Error: Character 'G' invalid in command G0"}},
    {"invalid_first_digit_keeps_second", "G5", true, {0x05}, {"XML> Error: Character 'G' invalid in command G5"}},
    {"two_invalid", "x1y2", true, {0x01, 0x02},
     {"XML> Error: Character 'x' invalid in command x1y2", "XML> Error: Character 'y' invalid in command x1y2"}},
    {"empty", "", true, {}, {}},
    {"sixty_four_bytes", k128Digits, true, {}, {}},
    {"longer_than_the_frame", k130Digits, false, {},
     {"XML> Error: Command '" + k130Digits + "' is longer than 64 bytes"}},
    {"odd_and_too_long", std::string(131, '1'), false, {},
     {"XML> Error: Command '" + std::string(131, '1') + "' is not an even number of characters"}},
};

class CustomCommandTable : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CustomCommandTable, GivesBytesLengthAndMessages) {
  const CommandCase& c = GetParam();
  std::vector<std::string> log;
  const auto decoded = DecodeCustomCommand(c.text, [&](const std::string& line) { log.push_back(line); });
  EXPECT_EQ(log, c.log);
  ASSERT_EQ(decoded.has_value(), c.kept);
  if (!decoded) return;
  EXPECT_EQ(decoded->length, c.text.size() / 2);
  if (c.text == k128Digits) {
    EXPECT_EQ(decoded->bytes[63], 0x7F);
    return;
  }
  for (std::size_t i = 0; i < decoded->bytes.size(); ++i) {
    const std::uint8_t expected = i < c.bytes.size() ? c.bytes[i] : 0;  // the rest stays zero
    EXPECT_EQ(decoded->bytes[i], expected) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CustomCommandTable, ::testing::ValuesIn(kCommandCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FlagsCase {
  const char* name;
  const char* children;  // inside <menuitem>
  std::uint32_t flags;
};

const FlagsCase kFlagsCases[] = {
    {"no_targetproc_means_all", "", 0xE},
    {"calder_and_bisel", "<targetproc>calder</targetproc><targetproc>bisel</targetproc>", 0xC},
    {"calder_bisel_no_response",
     "<response>false</response><targetproc>calder</targetproc><targetproc>bisel</targetproc>", 0xD},
    {"harrow_only", "<targetproc>harrow</targetproc>", 0x2},
    {"unknown_family_ignored", "<targetproc>Harrow</targetproc><targetproc>other</targetproc>", 0x0},
    {"response_true", "<response>true</response>", 0xE},
    {"response_case_matters", "<response>False</response>", 0xE},
    {"response_empty", "<response/>", 0xE},
    {"only_first_response_counts", "<response>true</response><response>false</response>", 0xE},
    {"names_ignore_case", "<RESPONSE>false</RESPONSE><TargetProc>bisel</TargetProc>", 0x9},
};

class CustomMenuFlags : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(CustomMenuFlags, FromResponseAndTargets) {
  const FlagsCase& c = GetParam();
  const std::string text = std::string("<menuitem>") + c.children + "</menuitem>";
  XmlParseResult result;
  const CXmlNode item = ParseXmlString(text.c_str(), "menuitem", &result);
  ASSERT_EQ(result.code, 0);
  EXPECT_EQ(CustomMenuItemFlags(item), c.flags);
}

INSTANTIATE_TEST_SUITE_P(Cases, CustomMenuFlags, ::testing::ValuesIn(kFlagsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CustomMenuDecoder, TypeMustMatchExactly) {
  const char* item = "<menuitem><label>L</label><command>00</command></menuitem>";
  for (const char* type : {"quillon custom menu items", "Quillon Custom Menu Items "}) {
    const std::string text = std::string("<content type=\"") + type + "\">" + item + "</content>";
    const CXmlNode content = ParseXmlString(text.c_str(), "content");
    std::vector<std::string> log;
    EXPECT_TRUE(DecodeCustomMenu(content, [&](const std::string& l) { log.push_back(l); }).empty()) << type;
    EXPECT_TRUE(log.empty());
  }
}

TEST(CustomMenuDecoder, BadItemIsSkippedAndTheNextRead) {
  const char* text =
      "<content type=\"Quillon Custom Menu Items\">"
      "<menuitem><label>Odd</label><command>abc</command></menuitem>"
      "<menuitem><label>First</label><label>Second</label><command>0102</command><command>ff</command></menuitem>"
      "</content>";
  std::vector<std::string> log;
  const auto items = DecodeCustomMenu(ParseXmlString(text, "content"), [&](const std::string& l) { log.push_back(l); });
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].label, "First");
  EXPECT_EQ(items[0].commandLength, 2u);
  EXPECT_EQ(items[0].command[1], 0x02);
  EXPECT_EQ(log, std::vector<std::string>{"XML> Error: Command 'abc' is not an even number of characters"});
}

}  // namespace
