#pragma once
// Plain ASCII character classes and case rules for product files. They do
// not depend on the locale: a byte above 127 is never a letter.

#include <string>
#include <string_view>

namespace ascii {

inline bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }
inline int ToLower(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }
inline int ToUpper(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLower(static_cast<unsigned char>(a[i])) != ToLower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

inline std::string ToUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(ToUpper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace ascii
