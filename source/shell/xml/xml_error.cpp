#include "shell/xml/xml_error.h"

#include <array>

namespace {

constexpr std::array<const char*, 13> kXmlErrorTexts{
    "No error",
    "Warning: Unmatched end tag",
    "Error: No XML data",
    "Error: First token not start tag",
    "Error: Missing start tag name",
    "Error: Missing end tag name",
    "Error: Unmatched quote",
    "Error: Unmatched end tag",
    "Error: Unexpected token found",
    "Error: Invalid tag found",
    "Error: No elements found",
    "Error: File not found",
    "Error: First Tag not found",
};

}  // namespace

bool IsXmlCode(int code) { return code >= 0 && code < static_cast<int>(kXmlErrorTexts.size()); }

const char* XmlErrorText(int code) {
  if (!IsXmlCode(code)) return "Unknown";
  return kXmlErrorTexts[static_cast<std::size_t>(code)];
}
