#include "shell/prompt/file_filters.h"

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// "*.s19;*.bin" -> "*.s19 *.bin"; "*.*" -> "*" (a name without a dot is a file too).
std::string ToolkitPatterns(std::string_view patterns) {
  std::string out;
  for (std::string_view pattern : Split(patterns, ';')) {
    pattern = Trimmed(pattern);
    if (pattern.empty()) continue;
    if (!out.empty()) out += ' ';
    out += pattern == "*.*" ? std::string_view("*") : pattern;
  }
  return out;
}

// The name without a pattern list of its own at its end: "A (*.x;*.y)" -> "A".
std::string_view BareName(std::string_view name) {
  name = Trimmed(name);
  if (!name.empty() && name.back() == ')') {
    const auto open = name.rfind('(');
    if (open != std::string_view::npos) name = Trimmed(name.substr(0, open));
  }
  return name;
}

}  // namespace

std::vector<std::string> ToolkitNameFilters(std::string_view filter) {
  const std::vector<std::string_view> parts = Split(filter, '|');
  std::vector<std::string> filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // the closing "||"
    filters.push_back(std::string(BareName(parts[i])) + " (" + ToolkitPatterns(parts[i + 1]) + ")");
  }
  return filters;
}
