#pragma once
// Parse outcomes of the XML parser: a code with the line and column where
// the parse stopped. Codes 0 and 1 keep the tree; every other code gives the
// empty node.

#include <cstdint>

enum XmlError : int {
  XML_NO_ERROR = 0,
  XML_WARNING_UNMATCHED_END_TAG = 1,
  XML_NO_DATA = 2,
  XML_FIRST_TOKEN_NOT_START_TAG = 3,
  XML_MISSING_START_TAG_NAME = 4,
  XML_MISSING_END_TAG_NAME = 5,
  XML_UNMATCHED_QUOTE = 6,
  XML_UNMATCHED_END_TAG = 7,
  XML_UNEXPECTED_TOKEN = 8,
  XML_INVALID_TAG = 9,
  XML_NO_ELEMENTS = 10,
  XML_FILE_NOT_FOUND = 11,
  XML_FIRST_TAG_NOT_FOUND = 12,
};

struct XmlParseResult {
  int code = XML_NO_ERROR;
  int line = 0;    // 1-based; set only for codes other than 0 and 1
  int column = 0;  // 1-based; set only for codes other than 0 and 1
};

// The message of a code; "Unknown" for any other value.
const char* XmlErrorText(int code);

// True for the codes above, the ones that have a message.
bool IsXmlCode(int code);

// True for the codes that keep the parsed tree (no error, or the warning).
inline bool XmlTreeKept(int code) { return code == XML_NO_ERROR || code == XML_WARNING_UNMATCHED_END_TAG; }
