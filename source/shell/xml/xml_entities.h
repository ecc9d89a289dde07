#pragma once
// The five named entities of XML texts: decoding what the parser reads and
// escaping what the writer writes.

#include <cstddef>
#include <string>
#include <string_view>

// Decodes "&lt;", "&gt;", "&amp;", "&apos;" and "&quot;" (names without
// regard to case) into out. Any other ampersand sequence is refused: false,
// with errorOffset the position of its ampersand in text.
bool DecodeXmlEntities(std::string_view text, std::string& out, std::size_t& errorOffset);

// The length of text once escaped: the two quote marks become "&quot;" and
// "&apos;", the ampersand "&amp;", the angle brackets "&lt;" and "&gt;".
std::size_t EscapedXmlLength(std::string_view text);
void AppendEscapedXml(std::string_view text, std::string& out);
