#pragma once
// Names in XML documents (elements, attributes, the tag-name search and the
// clear-section markers) compare without regard to letter case.

#include <cstddef>
#include <string_view>

inline char XmlLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool XmlNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (XmlLowerAscii(a[i]) != XmlLowerAscii(b[i])) return false;
  }
  return true;
}

// True when text begins with prefix, letters compared without case.
inline bool XmlStartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && XmlNamesEqual(text.substr(0, prefix.size()), prefix);
}
