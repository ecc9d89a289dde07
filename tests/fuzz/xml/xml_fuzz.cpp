// Fuzzes the XML parser with any text: the first byte picks the tag-name
// search and the writer's layout, the rest is the document (converted from
// UTF-16 when it looks like it). Every failure must carry a code with a line
// and column inside the text; a kept tree must write out in exactly the
// length the writer's first pass gave, and what was written must parse
// again under the same rules (names that were never quoted may read
// differently once written, so a second failure is allowed, not a bad one).

#include <cstdint>
#include <cstdlib>
#include <string>

#include "shell/xml/xml_error.h"
#include "shell/xml/xml_parser.h"
#include "shell/xml/xml_text_encoding.h"
#include "shell/xml/xml_writer.h"

namespace {

const char* const kTagNames[] = {nullptr, "", "content", "menuitem", "a"};
const int kFormats[] = {-1, 0, 1, 3};

void CheckFailure(const std::string& text, const XmlParseResult& result) {
  if (XmlTreeKept(result.code) || !IsXmlCode(result.code)) std::abort();
  if (result.code == XML_FIRST_TAG_NOT_FOUND || result.code == XML_NO_ELEMENTS) return;
  int lines = 1;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  if (result.line < 1 || result.line > lines || result.column < 1 ||
      static_cast<std::size_t>(result.column) > text.size() + 1) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const char* tagName = kTagNames[data[0] % 5];
  const int format = kFormats[(data[0] >> 3) & 3];
  const std::string text = XmlTextToUtf8(std::string(reinterpret_cast<const char*>(data + 1), size - 1));

  XmlParseResult result;
  const CXmlNode node = ParseXmlText(text, tagName, &result);
  if (!XmlTreeKept(result.code)) {
    if (!node.IsEmpty()) std::abort();
    CheckFailure(text, result);
    return 0;
  }
  if (node.IsEmpty()) std::abort();
  std::size_t length = 0;
  const std::string written = CreateXmlString(node, format, &length);
  if (length != written.size()) std::abort();
  XmlParseResult again;
  ParseXmlText(written, nullptr, &again);
  if (!XmlTreeKept(again.code)) CheckFailure(written, again);
  return 0;
}
