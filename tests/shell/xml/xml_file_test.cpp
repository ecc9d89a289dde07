// Parsing files: UTF-16 by byte-order mark or by its zero bytes, a missing
// file, and the file helper's report.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_io.h"
#include "platform/temp_folder.h"
#include "shell/xml/xml_parser.h"
#include "shell/xml/xml_text_encoding.h"
#include "xml_summary.h"

namespace {

class XmlFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("xml-file-");
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ + "/" + name;
    EXPECT_TRUE(platform::WriteFileAtomically(path, bytes));
    return path;
  }

  std::string folder_;
};

// ASCII text as UTF-16 code units, optionally with a byte-order mark.
std::string Utf16(const std::string& ascii, bool bigEndian, bool mark) {
  std::string out;
  if (mark) out += bigEndian ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
  for (char c : ascii) {
    if (bigEndian) {
      out.push_back('\0');
      out.push_back(c);
    } else {
      out.push_back(c);
      out.push_back('\0');
    }
  }
  return out;
}

const char kDocument[] = "<content type=\"t\"><label>Reset</label></content>";

struct EncodingCase {
  const char* name;
  bool bigEndian;
  bool mark;
};

class XmlUtf16Files : public XmlFileTest, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(XmlUtf16Files, AreConvertedBeforeParsing) {
  const EncodingCase& c = GetParam();
  const std::string path = Write("menu.xml", Utf16(kDocument, c.bigEndian, c.mark));
  XmlParseResult result;
  const CXmlNode content = ParseXmlFile(path, "content", &result);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(SummariseElement(content), "content(type=t){label{'Reset'}}");
}

INSTANTIATE_TEST_SUITE_P(Encodings, XmlUtf16Files,
                         ::testing::Values(EncodingCase{"little_endian_with_mark", false, true},
                                           EncodingCase{"big_endian_with_mark", true, true},
                                           EncodingCase{"little_endian_without_mark", false, false},
                                           EncodingCase{"big_endian_without_mark", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XmlTextEncoding, NonAsciiAndSurrogatesBecomeUtf8) {
  // U+00E9 and U+1F600 (a surrogate pair), little-endian with a mark.
  const std::string bytes("\xFF\xFE" "a\0" "\xE9\0" "\x3D\xD8\x00\xDE", 10);
  EXPECT_EQ(XmlTextToUtf8(bytes), "a\xC3\xA9\xF0\x9F\x98\x80");
  // An unpaired high surrogate at the end.
  EXPECT_EQ(XmlTextToUtf8(std::string("\xFF\xFE\x3D\xD8", 4)), "\xEF\xBF\xBD");
}

TEST(XmlTextEncoding, Utf8StaysAndLosesItsMark) {
  EXPECT_EQ(DetectXmlTextEncoding("<a>\xC3\xA9</a>"), XmlTextEncoding::Utf8);
  EXPECT_EQ(XmlTextToUtf8("\xEF\xBB\xBF<a/>"), "<a/>");
  EXPECT_EQ(XmlTextToUtf8("x"), "x");
}

TEST_F(XmlFileTest, MissingFileIsCode11) {
  XmlParseResult result;
  EXPECT_TRUE(ParseXmlFile(folder_ + "/none.xml", "content", &result).IsEmpty());
  EXPECT_EQ(result.code, XML_FILE_NOT_FOUND);
}

TEST_F(XmlFileTest, HelperReportsEveryNonzeroCodeAndReturns) {
  const std::string bad = Write("bad.xml", "<a>\n &bogus;</a>");
  std::string report;
  XmlParseResult result;
  EXPECT_TRUE(LoadXmlFile(bad, "a", &result, &report).IsEmpty());
  EXPECT_EQ(report, "XML Parsing error inside file '" + bad +
                        "'.\nError: Error: Unexpected token found\nAt line 2, column 2.\n");

  const std::string other = Write("other.xml", "<b/>");
  EXPECT_TRUE(LoadXmlFile(other, "content", &result, &report).IsEmpty());
  EXPECT_EQ(report, "XML Parsing error inside file '" + other +
                        "'.\nError: Error: First Tag not found\nAt line 0, column 0.\nTag is 'content'.\n");

  const std::string warned = Write("warned.xml", "<a><b></a>");
  EXPECT_TRUE(LoadXmlFile(warned, "a", &result, &report).IsEmpty());
  EXPECT_EQ(result.code, XML_WARNING_UNMATCHED_END_TAG);

  report.clear();
  const std::string good = Write("good.xml", "<a/>");
  EXPECT_FALSE(LoadXmlFile(good, "a", &result, &report).IsEmpty());
  EXPECT_TRUE(report.empty());
}

}  // namespace
