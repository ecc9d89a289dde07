// The parser over a table of inputs: tree, code, line and column.

#include <gtest/gtest.h>

#include <string>

#include "shell/xml/xml_parser.h"
#include "xml_summary.h"

namespace {

struct ParseCase {
  const char* name;
  std::string text;
  std::string tree;  // SummariseContent of the root; "" for the empty node
  int code;
  int line;
  int column;
};

std::string Nested(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += "<n>";
    close += "</n>";
  }
  return open + close;
}

const ParseCase kParseCases[] = {
    {"nested_text", "<a><b>x</b></a>", "a{b{'x'}}", 0, 0, 0},
    {"single_quotes_and_bare_attribute", "<a x='1' y/>", "a(x=1,y)", 0, 0, 0},
    {"three_entities", "<a>&lt;&amp;&gt;</a>", "a{'<&>'}", 0, 0, 0},
    {"entity_names_ignore_case", "<a v=\"&QUOT;&Apos;\">&AMP;</a>", "a(v=\"'){'&'}", 0, 0, 0},
    {"open_child_closed_by_parent", "<a><b>x</a>", "a{b{'x'}}", 1, 0, 0},
    {"end_tag_nobody_opened", "<a></b></a>", "", 7, 1, 6},
    {"end_tag_at_top_level", "\n  </a>", "", 7, 2, 5},
    {"comment_kept", "<a><!-- c --></a>", "a{#<!--| c |-->#}", 0, 0, 0},
    {"start_tag_without_name_line_2", "<a>\n<>", "", 4, 2, 2},
    {"declaration_holds_the_document",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<content type=\"t\"><menuitem/></content>\n",
     "?xml(version=1.0,encoding=UTF-8){content(type=t){menuitem}}", 0, 0, 0},
    {"declaration_unquoted_value", "<?xml version=1.0?><a/>", "?xml(version=1.0){a}", 0, 0, 0},
    {"unknown_entity_in_text", "<a>\n  x &nbsp; y</a>", "", 8, 2, 5},
    {"bare_ampersand_in_text", "<a>x & y</a>", "", 8, 1, 6},
    {"unknown_entity_in_attribute", "<a b=\"&x;\"/>", "", 8, 1, 7},
    {"deepest_nesting_allowed", Nested(256), "", -1, 0, 0},
    {"nesting_too_deep", Nested(257), "", 9, 1, 3 * 256 + 1},
    {"no_data", "", "", 0, 0, 0},
    {"text_after_last_tag_dropped", "<a/>tail", "a", 0, 0, 0},
    {"end_of_data_closes_everything", "<a><b>text", "a{b}", 0, 0, 0},
    {"short_close_outside_tag", "<a>/></a>", "", 8, 1, 4},
    {"greater_than_outside_tag", "<a>></a>", "", 8, 1, 4},
    {"equals_without_value", "<a b=>", "", 8, 1, 6},
    {"equals_without_name", "<a x=\"1\" =\"2\"/>", "", 8, 1, 10},
    {"end_of_data_inside_tag", "<a b", "", 8, 1, 5},
    {"end_tag_without_name", "<a></>", "", 5, 1, 6},
    {"end_tag_not_closed", "<a></a b>", "", 5, 1, 8},
    {"cdata_not_closed", "<a>\n<![CDATA[xx</a>", "", 7, 2, 1},
    {"cdata_kept", "<a><![CDATA[<&>]]></a>", "a{#<![CDATA[|<&>|]]>#}", 0, 0, 0},
    {"pre_and_doctype", "<!doctype html><pre>x<y</PRE>", "#<!DOCTYPE| html|># #<PRE>|x<y|</PRE>#", 0, 0, 0},
    {"lone_apostrophe_is_text", "<a>it's</a>", "a{'it's'}", 0, 0, 0},
    {"text_runs_to_next_tag", "<a> x = \"y z\"  </a>", "a{'x = \"y z\"'}", 0, 0, 0},
    {"texts_between_children", "<a>one<b/>two</a>", "a{'one' b 'two'}", 0, 0, 0},
    {"end_tag_ignores_case", "<Menu></mENU>", "Menu", 0, 0, 0},
    {"line_ends_and_tabs", "<a>\r\n\t<b/>\r\n</a>\r\n", "a{b}", 0, 0, 0},
    {"slash_inside_text", "<a>x/y</a>", "a{'x/y'}", 0, 0, 0},
};

class XmlParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(XmlParseTable, GivesTreeCodeAndPosition) {
  const ParseCase& c = GetParam();
  XmlParseResult result;
  result.code = -99;
  const CXmlNode root = ParseXmlText(c.text, nullptr, &result);
  if (c.code == -1) {  // the deep document: only that it parses
    EXPECT_EQ(result.code, 0);
    EXPECT_FALSE(root.IsEmpty());
    return;
  }
  EXPECT_EQ(result.code, c.code) << XmlErrorText(result.code);
  if (c.code == 0 || c.code == 1) {
    ASSERT_FALSE(root.IsEmpty());
    EXPECT_EQ(SummariseContent(root), c.tree);
  } else {
    EXPECT_TRUE(root.IsEmpty());
    EXPECT_EQ(result.line, c.line);
    EXPECT_EQ(result.column, c.column);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, XmlParseTable, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XmlParse, NullTextIsNoElements) {
  XmlParseResult result;
  EXPECT_TRUE(ParseXmlString(nullptr, nullptr, &result).IsEmpty());
  EXPECT_EQ(result.code, XML_NO_ELEMENTS);
}

TEST(XmlParse, TagSearchEntersDeclarationsAndIgnoresCase) {
  const char* text =
      "<!-- menu -->\n<?xml version=\"1.0\"?>\n<other/><CONTENT type=\"x\"><content/></CONTENT>";
  XmlParseResult result;
  const CXmlNode found = ParseXmlString(text, "content", &result);
  EXPECT_EQ(result.code, 0);
  ASSERT_FALSE(found.IsEmpty());
  EXPECT_EQ(found.Name(), "CONTENT");
  ASSERT_NE(found.AttributeValue("TYPE"), nullptr);
  EXPECT_EQ(*found.AttributeValue("TYPE"), "x");
  // Only the element found is held; the tree above it was released.
  EXPECT_TRUE(found.Parent().IsEmpty());
  EXPECT_EQ(found.ReferenceCount(), 1);
}

TEST(XmlParse, TagSearchWithoutMatchIsCode12AndEmptyNameGivesRoot) {
  XmlParseResult result;
  EXPECT_TRUE(ParseXmlString("<a><content/></a>", "content", &result).IsEmpty());
  EXPECT_EQ(result.code, XML_FIRST_TAG_NOT_FOUND);
  const CXmlNode root = ParseXmlString("<a/>", "", &result);
  EXPECT_EQ(result.code, 0);
  EXPECT_TRUE(root.Name().empty());
  EXPECT_EQ(root.ChildCount(), 1);
}

TEST(XmlParse, TagSearchAfterWarningStillFindsTheElement) {
  XmlParseResult result;
  const CXmlNode found = ParseXmlString("<content><b></content>", "content", &result);
  EXPECT_EQ(result.code, XML_WARNING_UNMATCHED_END_TAG);
  EXPECT_FALSE(found.IsEmpty());
}

TEST(XmlErrorTexts, EveryCodeHasItsTextAndOthersAreUnknown) {
  EXPECT_STREQ(XmlErrorText(0), "No error");
  EXPECT_STREQ(XmlErrorText(1), "Warning: Unmatched end tag");
  EXPECT_STREQ(XmlErrorText(8), "Error: Unexpected token found");
  EXPECT_STREQ(XmlErrorText(12), "Error: First Tag not found");
  EXPECT_STREQ(XmlErrorText(13), "Unknown");
  EXPECT_STREQ(XmlErrorText(-1), "Unknown");
  EXPECT_TRUE(IsXmlCode(XML_NO_ERROR));
  EXPECT_TRUE(IsXmlCode(XML_FIRST_TAG_NOT_FOUND));
  EXPECT_FALSE(IsXmlCode(XML_FIRST_TAG_NOT_FOUND + 1));
  EXPECT_FALSE(IsXmlCode(-1));
}

}  // namespace
