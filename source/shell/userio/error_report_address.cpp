#include "shell/userio/error_report_address.h"

#include <cctype>
#include <cstdio>

std::string EncodeErrorReportText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') continue;
    if (c == ' ') {
      out += '+';
    } else if (std::isalnum(byte) != 0 || c == '-' || c == '_' || c == '.' || c == '~') {
      out += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02x", byte);
      out += escaped;
    }
  }
  return out;
}

std::string ErrorReportAddress(const std::optional<std::string>& errorText, const std::string& page) {
  if (!errorText) return page;
  return page + "?error=" + EncodeErrorReportText(*errorText);
}
