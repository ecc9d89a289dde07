#include "engine/product/product_file_lexer.h"

#include "engine/product/ascii_text.h"
#include "engine/product/keyword_table.h"
#include "engine/product/product_token.h"

namespace {

constexpr int kTab = 9;
constexpr int kCarriageReturn = 13;
constexpr int kSpace = 32;
constexpr int kCommentStart = '#';

using ascii::IsDigit;
using ascii::IsLetter;

bool IsWordChar(int c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '-'; }
bool IsBlank(int c) { return c == kTab || c == kCarriageReturn || c == kSpace; }

// The value of a hexadecimal digit character, or -1.
int HexDigitValue(int c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The digit's value when it is a digit of the base, else -1.
int DigitValue(int c, std::uint32_t base) {
  const int value = HexDigitValue(c);
  return (value >= 0 && static_cast<std::uint32_t>(value) < base) ? value : -1;
}

// Tokens of one character that need no further reading.
int PunctuationToken(int c) {
  switch (c) {
    case '&': return TOKEN_AMPERSAND;
    case ',': return TOKEN_COMMA;
    case ';': return TOKEN_SEMICOLON;
    case '=': return TOKEN_EQUALS;
    case '{': return TOKEN_OPEN_BRACE;
    case '}': return TOKEN_CLOSE_BRACE;
    default: return -1;
  }
}

}  // namespace

ProductFileLexer::ProductFileLexer(const std::string& fileName)
    : stream_(std::make_unique<CharInputStream>(fileName)) {}

void ProductFileLexer::SkipBlanks() {
  bool inComment = false;
  for (;;) {
    const int c = stream_->GetChar();
    if (c == CharInputStream::kEndOfText) return;
    if (c == CharInputStream::kLineEnd) {
      inComment = false;
      continue;
    }
    if (inComment || IsBlank(c)) continue;
    if (c == kCommentStart) {
      inComment = true;
      continue;
    }
    stream_->UngetChar();
    return;
  }
}

int ProductFileLexer::GetToken(TokenValue& value, bool& isWord, int& line, int& column) {
  isWord = false;
  SkipBlanks();
  line = stream_->Line();
  column = stream_->Column();

  const int c = stream_->GetChar();
  if (c == CharInputStream::kEndOfText) return TOKEN_ENDFILE;
  if (const int punctuation = PunctuationToken(c); punctuation >= 0) return punctuation;
  if (IsLetter(c)) return ReadWord(c, value, isWord);
  if (IsDigit(c)) return ReadNumber(c, value);
  return TOKEN_INVALID_CHAR;
}

int ProductFileLexer::ReadWord(int first, TokenValue& value, bool& isWord) {
  std::size_t length = 0;
  word_[length++] = static_cast<char>(first);
  int c = stream_->GetChar();
  while (IsWordChar(c)) {
    if (length < kMaxWordLength) word_[length++] = static_cast<char>(c);
    c = stream_->GetChar();
  }
  stream_->UngetChar();
  word_[length] = '\0';
  value.text = std::string_view(word_, length);
  isWord = true;
  return LookupKeyword(value.text);
}

int ProductFileLexer::ReadNumber(int first, TokenValue& value) {
  std::uint32_t base = 10;
  if (first == '0') {
    const int next = stream_->GetChar();
    if (next == 'x' || next == 'X') {
      base = 16;
    } else {
      base = 8;
      stream_->UngetChar();
    }
  } else {
    stream_->UngetChar();
  }

  std::uint32_t number = 0;  // wraps on overflow
  int c = stream_->GetChar();
  for (int digit = DigitValue(c, base); digit >= 0; digit = DigitValue(c, base)) {
    number = number * base + static_cast<std::uint32_t>(digit);
    c = stream_->GetChar();
  }

  if (c == 'K' || c == 'k') {
    value.number = number << 10;
    return TOKEN_NUMBER;
  }
  if (c == 'M' || c == 'm') {
    value.number = number << 20;
    return TOKEN_NUMBER;
  }
  if (IsLetter(c) || IsDigit(c)) return TOKEN_INVALID_NUMBER;
  stream_->UngetChar();
  value.number = number;
  return TOKEN_NUMBER;
}

bool ProductFileLexer::SkipAttachedAmpersands() {
  bool any = false;
  int c = stream_->GetChar();
  while (c == '&') {
    any = true;
    c = stream_->GetChar();
  }
  stream_->UngetChar();
  return any;
}

int ProductFileLexer::LookupKeyword(std::string_view text) {
  for (const KeywordEntry& entry : KeywordTable()) {
    if (entry.keyword[0] != '\0' && ascii::EqualsIgnoringCase(entry.keyword, text)) return entry.code;
  }
  return TOKEN_IDENTIFIER;
}

const char* ProductFileLexer::TokenName(int code) {
  for (const KeywordEntry& entry : KeywordTable()) {
    if (entry.code == code) return entry.tokenName;
  }
  return "Not A Valid Token";
}
