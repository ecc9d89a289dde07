#pragma once
// Turns a product file into tokens: keywords, identifiers, numbers and
// punctuation, each with the position of the last character read before it.
// Blanks, line ends and "#" comments are skipped. Character classes are plain
// ASCII: bytes above 127 are never letters.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/product/char_input_stream.h"

// What a token carries: the text of a word (valid until the next token is
// read) or the value of a number.
struct TokenValue {
  std::string_view text;
  std::uint32_t number = 0;
};

class ProductFileLexer {
 public:
  static constexpr std::size_t kMaxWordLength = 32;

  // Throws QUILLON_EXCEPTION when the file cannot be opened.
  explicit ProductFileLexer(const std::string& fileName);
  virtual ~ProductFileLexer() = default;
  ProductFileLexer(const ProductFileLexer&) = delete;
  ProductFileLexer& operator=(const ProductFileLexer&) = delete;

  // Skips blanks, line ends and comments up to the next token.
  void SkipBlanks();
  // Reads one token and returns its code. For a word isWord is set and
  // value.text holds it; for a number value.number holds it; other tokens
  // leave the value as it was.
  int GetToken(TokenValue& value, bool& isWord, int& line, int& column);
  // Consumes "&" characters that follow directly, without a blank; true
  // when there was at least one.
  bool SkipAttachedAmpersands();

  // The code of the first keyword equal to the text ignoring ASCII case,
  // else TOKEN_IDENTIFIER.
  static int LookupKeyword(std::string_view text);
  // The token name of the first row with that code, else "Not A Valid Token".
  static const char* TokenName(int code);

  const CharInputStream& Stream() const { return *stream_; }

 private:
  int ReadWord(int first, TokenValue& value, bool& isWord);
  int ReadNumber(int first, TokenValue& value);

  std::unique_ptr<CharInputStream> stream_;
  char word_[kMaxWordLength + 1] = {};
};
