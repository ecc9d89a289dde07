#include "shell/xml/xml_tokenizer.h"

#include "shell/xml/xml_compare.h"

namespace {

bool EndsTextRun(char c) { return IsXmlWhiteSpace(c) || c == '/' || c == '<' || c == '=' || c == '>'; }

// Finds needle in haystack from position on, letters compared without case.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.size() > haystack.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (XmlNamesEqual(haystack.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

}  // namespace

void XmlTokenizer::SkipWhiteSpace() {
  while (position_ < text_.size() && IsXmlWhiteSpace(text_[position_])) ++position_;
}

XmlToken XmlTokenizer::Make(XmlTokenKind kind, std::size_t start, std::size_t end) {
  position_ = end;
  XmlToken token;
  token.kind = kind;
  token.start = start;
  token.end = end;
  return token;
}

XmlToken XmlTokenizer::TextRun(std::size_t start) {
  std::size_t end = start + 1;  // a run holds at least the byte it starts at
  while (end < text_.size() && !EndsTextRun(text_[end])) ++end;
  XmlToken token = Make(XmlTokenKind::Text, start, end);
  token.value = text_.substr(start, end - start);
  return token;
}

// A quote mark opens a quoted text only when its match comes before the
// next less-than sign.
std::optional<XmlToken> XmlTokenizer::QuotedText(std::size_t start) {
  const char mark = text_[start];
  for (std::size_t i = start + 1; i < text_.size(); ++i) {
    if (text_[i] == '<') return std::nullopt;
    if (text_[i] == mark) {
      XmlToken token = Make(XmlTokenKind::QuotedText, start, i + 1);
      token.value = text_.substr(start + 1, i - start - 1);
      return token;
    }
  }
  return std::nullopt;
}

XmlToken XmlTokenizer::Next() {
  SkipWhiteSpace();
  const std::size_t start = position_;
  if (start >= text_.size()) return Make(XmlTokenKind::End, start, start);
  const std::string_view rest = text_.substr(start);
  for (std::size_t kind = 0; kind < kXmlClearKinds.size(); ++kind) {
    if (XmlStartsWithNoCase(rest, kXmlClearKinds[kind].open)) {
      XmlToken token = Make(XmlTokenKind::ClearOpen, start, start + kXmlClearKinds[kind].open.size());
      token.clearKind = kind;
      return token;
    }
  }
  const char c = rest[0];
  const char next = rest.size() > 1 ? rest[1] : '\0';
  if (c == '"' || c == '\'') {
    if (auto quoted = QuotedText(start)) return *quoted;
    return TextRun(start);
  }
  if (c == '<' && next == '/') return Make(XmlTokenKind::EndTagOpen, start, start + 2);
  if (c == '<' && next == '?') return Make(XmlTokenKind::DeclarationOpen, start, start + 2);
  if (c == '<') return Make(XmlTokenKind::StartTagOpen, start, start + 1);
  if (c == '/' && next == '>') return Make(XmlTokenKind::ShortClose, start, start + 2);
  if (c == '=') return Make(XmlTokenKind::Equals, start, start + 1);
  if (c == '>') return Make(XmlTokenKind::TagClose, start, start + 1);
  return TextRun(start);
}

std::optional<std::string_view> XmlTokenizer::ReadClearSection(std::size_t clearKind) {
  const XmlClearKind& kind = kXmlClearKinds[clearKind];
  const std::size_t close = FindNoCase(text_, kind.close, position_);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view value = text_.substr(position_, close - position_);
  position_ = close + kind.close.size();
  return value;
}
