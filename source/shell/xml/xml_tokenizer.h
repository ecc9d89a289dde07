#pragma once
// Splits an XML text into the tokens the parser reads. White space (tab,
// line feed, carriage return, blank) between tokens is skipped.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// The sections kept as they stand, tried in this order; their open strings
// are matched without regard to case.
struct XmlClearKind {
  std::string_view open;
  std::string_view close;
};
inline constexpr std::array<XmlClearKind, 5> kXmlClearKinds{{
    {"<![CDATA[", "]]>"},
    {"<PRE>", "</PRE>"},
    {"<Script>", "</Script>"},
    {"<!--", "-->"},
    {"<!DOCTYPE", ">"},
}};

enum class XmlTokenKind {
  End,              // end of the data
  ClearOpen,        // the open string of a clear section
  QuotedText,       // text between two equal quote marks (value without them)
  EndTagOpen,       // "</"
  DeclarationOpen,  // "<?"
  StartTagOpen,     // "<"
  ShortClose,       // "/>"
  Equals,           // "="
  TagClose,         // ">"
  Text,             // a run up to white space, '/', '<', '=' or '>'
};

struct XmlToken {
  XmlTokenKind kind = XmlTokenKind::End;
  std::size_t start = 0;   // offset of the token's first byte
  std::size_t end = 0;     // offset just past the token
  std::string_view value;  // the text of Text and QuotedText
  std::size_t clearKind = 0;
};

class XmlTokenizer {
 public:
  explicit XmlTokenizer(std::string_view text) : text_(text) {}

  XmlToken Next();
  std::string_view Text() const { return text_; }

  // After a ClearOpen token: the section's value up to its close string,
  // which is passed over; none (and nothing passed) when the close string
  // is missing.
  std::optional<std::string_view> ReadClearSection(std::size_t clearKind);

 private:
  void SkipWhiteSpace();
  XmlToken Make(XmlTokenKind kind, std::size_t start, std::size_t end);
  XmlToken TextRun(std::size_t start);
  std::optional<XmlToken> QuotedText(std::size_t start);

  std::string_view text_;
  std::size_t position_ = 0;
};

inline bool IsXmlWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
