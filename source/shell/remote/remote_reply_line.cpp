#include "shell/remote/remote_reply_line.h"

std::string RemoteReplyLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      line += ". ";
      ++i;
    } else if (c == '\r' || c == '\n') {
      line += ' ';
    } else {
      line += c;
    }
  }
  return line;
}
