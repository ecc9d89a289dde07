// The writer: layout, escaping, the two passes, and a golden file.

#include <gtest/gtest.h>

#include <string>

#include "platform/file_io.h"
#include "shell/xml/xml_parser.h"
#include "shell/xml/xml_writer.h"

namespace {

std::string DataFile(const char* name) {
  std::string text;
  EXPECT_TRUE(platform::ReadWholeFile(std::string(QUILLON_SOURCE_DIR) + "/tests/shell/xml/data/" + name, text));
  return text;
}

TEST(XmlWriter, ElementWithAttributeAndEmptyChildAtDepthZero) {
  CXmlNode a = CXmlNode::NewElement("a");
  a.AddAttribute("k", std::string("v"));
  a.AddChild("b");
  std::size_t length = 99;
  const std::string text = CreateXmlString(a, 0, &length);
  EXPECT_EQ(text, "<a k=\"v\">\n\t<b/>\n</a>\n");
  EXPECT_EQ(length, text.size());
}

TEST(XmlWriter, WithoutLayoutAndEscaped) {
  CXmlNode a = CXmlNode::NewElement("a");
  a.AddAttribute("q", std::string("\"'&<>"));
  a.AddAttribute("bare", std::nullopt);
  a.AddText("x<y & 'z'");
  a.AddChild("d", true);
  EXPECT_EQ(CreateXmlString(a, -1),
            "<a q=\"&quot;&apos;&amp;&lt;&gt;\" bare>x&lt;y &amp; &apos;z&apos;<?d?></a>");
}

TEST(XmlWriter, EmptyNodeWritesNothing) {
  std::size_t length = 7;
  EXPECT_EQ(CreateXmlString(CXmlNode(), 0, &length), "");
  EXPECT_EQ(length, 0u);
}

TEST(XmlWriter, StartingDepthIndentsEveryLine) {
  const CXmlNode root = ParseXmlString("<a><b>t</b></a>");
  EXPECT_EQ(CreateXmlString(root, 1), "\t<a>\n\t\t<b>\n\t\t\tt\n\t\t</b>\n\t</a>\n");
}

TEST(XmlWriter, GoldenMenuFile) {
  const std::string input = DataFile("writer_input.xml");
  XmlParseResult result;
  const CXmlNode root = ParseXmlString(input.c_str(), nullptr, &result);
  ASSERT_EQ(result.code, 0);
  const std::string written = CreateXmlString(root, 0);
  EXPECT_EQ(written, DataFile("writer_golden.xml"));
  // What was written reads back to the same text.
  EXPECT_EQ(CreateXmlString(ParseXmlString(written.c_str()), 0), written);
}

}  // namespace
