#include "shell/script/script_line.h"

#include "shell/script/script_error.h"

namespace {

constexpr const char* kWhiteSpace = " \t\n\r\v\f";

}  // namespace

std::string TrimScriptText(const std::string& text) {
  const auto first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(kWhiteSpace);
  return text.substr(first, last - first + 1);
}

void SplitScriptLine(const std::string& line, ScriptTokens& tokens) {
  std::string rest = line;
  for (;;) {
    rest = TrimScriptText(rest);
    if (rest.empty()) return;
    std::string token;
    if (rest.front() == '"') {
      const auto close = rest.find('"', 1);
      if (close == std::string::npos) FailScript("Error> missing double quote in script file");
      token = rest.substr(1, close - 1);
      rest.erase(0, close + 1);
    } else {
      const auto blank = rest.find(' ');
      if (blank == std::string::npos) {
        token = rest;
        rest.clear();
      } else {
        token = rest.substr(0, blank);
        rest.erase(0, blank + 1);
      }
    }
    tokens.push_back(TrimScriptText(token));
  }
}
