#include "engine/product/char_input_stream.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/quillon_exception.h"

CharInputStream::CharInputStream(const std::string& fileName) {
  // A folder opens like a file but reads as nothing.
  std::error_code ignored;
  if (std::filesystem::is_directory(fileName, ignored)) throw QUILLON_ERROR;
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw QUILLON_ERROR;
  text_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad()) throw QUILLON_ERROR;
  size_ = text_.size();
  text_.push_back('\n');  // the added line end after the last line
  std::replace(text_.begin(), text_.end(), '\n', '\0');
  BuildLineTable();
}

void CharInputStream::BuildLineTable() {
  lines_.clear();
  lines_.push_back(LineEntry{});  // lines count from 1
  std::size_t start = 0;
  for (std::size_t i = 0; i < text_.size(); ++i) {
    if (!IsLineTerminator(i)) continue;
    lines_.push_back(LineEntry{start, static_cast<int>(i - start) + 1});
    start = i + 1;
  }
}

int CharInputStream::GetChar() {
  if (position_ >= size_ || atEnd_) {
    atEnd_ = true;
    return kEndOfText;
  }
  if (atLineStart_) {
    ++line_;
    column_ = 0;
    atLineStart_ = false;
  }
  const std::size_t index = position_++;
  ++column_;
  if (IsLineTerminator(index)) {
    atLineStart_ = true;
    return kLineEnd;
  }
  return static_cast<unsigned char>(text_[index]);
}

void CharInputStream::UngetChar() {
  // The end of the text was not a character: pushing it back must not step
  // over the last real one.
  if (position_ == 0 || atEnd_) return;
  --position_;
  --column_;
  if (column_ == 0) {
    --line_;
    if (line_ > 0) column_ = lines_[static_cast<std::size_t>(line_)].length;
  }
  // Exactly as before the character was read: after a pushed-back line end
  // the next character is again on the same line.
  atLineStart_ = position_ == 0 || IsLineTerminator(position_ - 1);
}

std::string_view CharInputStream::GetLineText(int line) const {
  if (line < 1 || static_cast<std::size_t>(line) >= lines_.size()) return {};
  const LineEntry& entry = lines_[static_cast<std::size_t>(line)];
  return std::string_view(text_).substr(entry.start, static_cast<std::size_t>(entry.length - 1));
}
