#pragma once
// The XML parser: a whole text into a tree of CXmlNode elements under a root
// without a name, failures as an XmlError code with line and column.

#include <cstddef>
#include <string>
#include <string_view>

#include "shell/xml/xml_error.h"
#include "shell/xml/xml_node.h"

// Elements nest at most this deep; a deeper start tag is a parse error
// (code 9), so no document can exhaust the stack.
inline constexpr int kMaxXmlDepth = 256;

// Parses text. Without a tag name (null or empty) the result is the root;
// with one, the first element of that name among the root's children,
// entering every declaration element met on the way (code 12 and the empty
// node when there is none). Codes 0 and 1 keep the tree; others give the
// empty node with the line and column of the failure. A null text gives the
// empty node with code 10.
CXmlNode ParseXmlString(const char* text, const char* tagName = nullptr, XmlParseResult* result = nullptr);
CXmlNode ParseXmlText(std::string_view text, const char* tagName = nullptr, XmlParseResult* result = nullptr);

// Reads the whole file (code 11 when it cannot be read), converts UTF-16 to
// UTF-8, and parses it as ParseXmlString does.
CXmlNode ParseXmlFile(const std::string& path, const char* tagName, XmlParseResult* result);

// Parses a file and treats every nonzero code, the warning included, as a
// failure: the empty node, with report set to the message for the user
// ("XML Parsing error inside file ..."). The caller decides what to do with
// it; nothing is printed and the process goes on.
CXmlNode LoadXmlFile(const std::string& path, const char* tagName, XmlParseResult* result,
                     std::string* report);

// The report of LoadXmlFile for a failed parse of path.
std::string FormatXmlFileError(const std::string& path, const char* tagName, const XmlParseResult& result);

// Line and column (both from 1) of a byte offset in text: a line feed starts
// a new line at column 1, every other byte moves one column on.
void XmlLineAndColumn(std::string_view text, std::size_t offset, int& line, int& column);
