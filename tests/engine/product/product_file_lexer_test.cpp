#include "engine/product/product_file_lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/product/product_token.h"
#include "engine/quillon_exception.h"
#include "temp_file.h"

namespace {

using namespace std::string_literals;

// One token as the tests compare it: code, word text or number value, and
// the reported position.
struct Token {
  int code;
  std::string text;
  std::uint32_t number = 0;
  int line = -1;
  int column = -1;
};

class LexerTest : public ::testing::Test {
 protected:
  // Every token up to and including the end of the text.
  std::vector<Token> Tokens(std::string_view text) {
    ProductFileLexer lexer(folder_.Write("f.qlp", text));
    std::vector<Token> tokens;
    for (int guard = 0; guard < 1000; ++guard) {
      TokenValue value;
      bool isWord = true;
      Token token;
      token.code = lexer.GetToken(value, isWord, token.line, token.column);
      if (isWord) token.text = std::string(value.text);
      if (token.code == TOKEN_NUMBER) token.number = value.number;
      tokens.push_back(token);
      if (token.code == TOKEN_ENDFILE && !isWord) break;
    }
    return tokens;
  }
  std::vector<int> Codes(std::string_view text) {
    std::vector<int> codes;
    for (const Token& t : Tokens(text)) codes.push_back(t.code);
    return codes;
  }

  TempFolder folder_;
};

TEST_F(LexerTest, PunctuationAndEndOfText) {
  EXPECT_EQ(Codes("& , ; = { }"),
            (std::vector<int>{TOKEN_AMPERSAND, TOKEN_COMMA, TOKEN_SEMICOLON, TOKEN_EQUALS,
                              TOKEN_OPEN_BRACE, TOKEN_CLOSE_BRACE, TOKEN_ENDFILE}));
  EXPECT_EQ(Codes(""), std::vector<int>{TOKEN_ENDFILE});
  EXPECT_EQ(Codes("  \t\r\n \n"), std::vector<int>{TOKEN_ENDFILE});
}

struct NumberCase {
  const char* text;
  int code;
  std::uint32_t value;
};

TEST_F(LexerTest, Numbers) {
  const NumberCase cases[] = {
      {"0x1F", TOKEN_NUMBER, 31},        {"0X1f", TOKEN_NUMBER, 31},
      {"017", TOKEN_NUMBER, 15},         {"64K", TOKEN_NUMBER, 65536},
      {"2M", TOKEN_NUMBER, 2097152},     {"4m", TOKEN_NUMBER, 4194304},
      {"0", TOKEN_NUMBER, 0},            {"0x", TOKEN_NUMBER, 0},
      {"123", TOKEN_NUMBER, 123},        {"0x10k", TOKEN_NUMBER, 16384},
      {"4294967295", TOKEN_NUMBER, 4294967295u},
      {"4294967296", TOKEN_NUMBER, 0},   // wraps in 32 bits
      {"0x100000001", TOKEN_NUMBER, 1},  {"4096M", TOKEN_NUMBER, 0},
      {"09", TOKEN_INVALID_NUMBER, 0},   {"12a", TOKEN_INVALID_NUMBER, 0},
      {"0xG", TOKEN_INVALID_NUMBER, 0},  {"1e", TOKEN_INVALID_NUMBER, 0},
  };
  for (const NumberCase& c : cases) {
    const std::vector<Token> tokens = Tokens(c.text);
    ASSERT_EQ(tokens.size(), 2u) << c.text;
    EXPECT_EQ(tokens[0].code, c.code) << c.text;
    if (c.code == TOKEN_NUMBER) {
      EXPECT_EQ(tokens[0].number, c.value) << c.text;
    }
    EXPECT_EQ(tokens[1].code, TOKEN_ENDFILE) << c.text;
  }
}

TEST_F(LexerTest, SuffixEndsTheNumberAndTheNextCharacterStartsANewToken) {
  const std::vector<Token> tokens = Tokens("4Kb 8;");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[0].code, TOKEN_NUMBER);
  EXPECT_EQ(tokens[0].number, 4096u);
  EXPECT_EQ(tokens[1].code, TOKEN_IDENTIFIER);
  EXPECT_EQ(tokens[1].text, "b");
  EXPECT_EQ(tokens[2].number, 8u);
  EXPECT_EQ(tokens[3].code, TOKEN_SEMICOLON);
}

TEST_F(LexerTest, InvalidNumberConsumesTheOffendingCharacterOnly) {
  EXPECT_EQ(Codes("12ab"), (std::vector<int>{TOKEN_INVALID_NUMBER, TOKEN_IDENTIFIER, TOKEN_ENDFILE}));
}

TEST_F(LexerTest, KeywordsIgnoreCase) {
  EXPECT_EQ(Codes("Flash FLASH flash calder HARROW bisel quillon product"),
            (std::vector<int>{TOKEN_FLASH, TOKEN_FLASH, TOKEN_FLASH, TOKEN_CALDER, TOKEN_HARROW,
                              TOKEN_BISEL, TOKEN_QUILLON, TOKEN_PRODUCT, TOKEN_ENDFILE}));
}

TEST_F(LexerTest, EveryKeywordOfTheTableIsFound) {
  for (int code = 0; code <= TOKEN_QUILLON; ++code) {
    if (code == TOKEN_IDENTIFIER || code == TOKEN_INVALID_CHAR || code == TOKEN_INVALID_NUMBER ||
        code == TOKEN_NUMBER || code == 31)
      continue;
    SCOPED_TRACE(code);
    const std::string name = ProductFileLexer::TokenName(code);
    ASSERT_EQ(name.rfind("TOKEN_", 0), 0u);
  }
  EXPECT_EQ(ProductFileLexer::LookupKeyword("erase_unit"), TOKEN_ERASE_UNIT);
  EXPECT_EQ(ProductFileLexer::LookupKeyword("OMAP1610"), TOKEN_OMAP1610);
  EXPECT_EQ(ProductFileLexer::LookupKeyword("ti_ROM"), TOKEN_TI_ROM);
  EXPECT_EQ(ProductFileLexer::LookupKeyword("endfile"), TOKEN_ENDFILE);
  EXPECT_EQ(ProductFileLexer::LookupKeyword("RADIO_A"), TOKEN_IDENTIFIER);
}

TEST_F(LexerTest, TokenNames) {
  EXPECT_STREQ(ProductFileLexer::TokenName(TOKEN_ADDRESS), "TOKEN_ADDRESS");
  EXPECT_STREQ(ProductFileLexer::TokenName(TOKEN_NUMBER), "TOKEN_NUMBER");
  EXPECT_STREQ(ProductFileLexer::TokenName(TOKEN_RAM), "TOKEN_RAM");
  EXPECT_STREQ(ProductFileLexer::TokenName(TOKEN_QUILLON), "TOKEN_QUILLON");
  EXPECT_STREQ(ProductFileLexer::TokenName(31), "Not A Valid Token");
  EXPECT_STREQ(ProductFileLexer::TokenName(46), "Not A Valid Token");
  EXPECT_STREQ(ProductFileLexer::TokenName(-1), "Not A Valid Token");
}

TEST_F(LexerTest, WordCharacters) {
  const std::vector<Token> tokens = Tokens("erase-unit _abc a_1-b2");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[0].code, TOKEN_IDENTIFIER);
  EXPECT_EQ(tokens[0].text, "erase-unit");
  EXPECT_EQ(tokens[1].code, TOKEN_INVALID_CHAR);
  EXPECT_EQ(tokens[2].code, TOKEN_IDENTIFIER);
  EXPECT_EQ(tokens[2].text, "abc");
  EXPECT_EQ(tokens[3].text, "a_1-b2");
}

TEST_F(LexerTest, LongWordKeepsItsFirst32Characters) {
  const std::string word40 = "flash" + std::string(35, 'x');
  const std::vector<Token> tokens = Tokens(word40 + " ;");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].text, word40.substr(0, 32));
  EXPECT_EQ(tokens[1].code, TOKEN_SEMICOLON);
  // The lookup is made on the kept characters.
  const std::string sizeThenJunk = "sector_size" + std::string(21, 'q');
  EXPECT_EQ(Codes(sizeThenJunk + "zzz")[0], TOKEN_IDENTIFIER);
}

TEST_F(LexerTest, BytesAbove127AreInvalidCharactersButNotInComments) {
  EXPECT_EQ(Codes("\xFF \xE9t\xC0"),
            (std::vector<int>{TOKEN_INVALID_CHAR, TOKEN_INVALID_CHAR, TOKEN_IDENTIFIER,
                              TOKEN_INVALID_CHAR, TOKEN_ENDFILE}));
  EXPECT_EQ(Codes("# caf\xE9 \xFF\nram"), (std::vector<int>{TOKEN_RAM, TOKEN_ENDFILE}));
  EXPECT_EQ(Codes("a\x01 @ ! \"_"),
            (std::vector<int>{TOKEN_IDENTIFIER, TOKEN_INVALID_CHAR, TOKEN_INVALID_CHAR,
                              TOKEN_INVALID_CHAR, TOKEN_INVALID_CHAR, TOKEN_INVALID_CHAR,
                              TOKEN_ENDFILE}));
}

TEST_F(LexerTest, CommentsRunToTheLineEnd) {
  EXPECT_EQ(Codes("size # = 5 ;\n= # last line without line end"),
            (std::vector<int>{TOKEN_SIZE, TOKEN_EQUALS, TOKEN_ENDFILE}));
  EXPECT_EQ(Codes("#only a comment"), std::vector<int>{TOKEN_ENDFILE});
  EXPECT_EQ(Codes("a#b\nc"), (std::vector<int>{TOKEN_IDENTIFIER, TOKEN_IDENTIFIER, TOKEN_ENDFILE}));
}

// The reported position is that of the last character read before the token.
TEST_F(LexerTest, Positions) {
  const std::vector<Token> tokens = Tokens("product\n\n\nabc\nflash x\n");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[0].line, 0);  // very first token: no position
  EXPECT_EQ(tokens[0].column, 0);
  // "flash" starts line 5 after the line "abc" of three characters.
  EXPECT_EQ(tokens[1].line, 3);
  EXPECT_EQ(tokens[1].column, 1);
  EXPECT_EQ(tokens[2].code, TOKEN_FLASH);
  EXPECT_EQ(tokens[2].line, 4);
  EXPECT_EQ(tokens[2].column, 4);
  EXPECT_EQ(tokens[3].code, TOKEN_IDENTIFIER);
  EXPECT_EQ(tokens[3].line, 5);
  EXPECT_EQ(tokens[3].column, 6);
}

TEST_F(LexerTest, EndOfTextAfterAWordKeepsThePositionOfItsLastCharacter) {
  const std::vector<Token> tokens = Tokens("ab cd");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[2].code, TOKEN_ENDFILE);
  EXPECT_EQ(tokens[2].line, 1);
  EXPECT_EQ(tokens[2].column, 5);
}

TEST_F(LexerTest, CarriageReturnLineEndsReadLikeLineFeeds) {
  const std::vector<Token> lf = Tokens("flash x\nsize = 4K;\n");
  const std::vector<Token> crlf = Tokens("flash x\r\nsize = 4K;\r\n");
  ASSERT_EQ(lf.size(), crlf.size());
  for (std::size_t i = 0; i < lf.size(); ++i) {
    EXPECT_EQ(lf[i].code, crlf[i].code);
    EXPECT_EQ(lf[i].text, crlf[i].text);
    EXPECT_EQ(lf[i].number, crlf[i].number);
    EXPECT_EQ(lf[i].line, crlf[i].line);
  }
  // "size" follows the carriage return, which counts as a column.
  EXPECT_EQ(lf[2].column, 8);
  EXPECT_EQ(crlf[2].column, 9);
}

TEST_F(LexerTest, AttachedAmpersandsAreConsumedOnlyWithoutABlank) {
  ProductFileLexer lexer(folder_.Write("f.qlp", "A&& B &"));
  TokenValue value;
  bool isWord = false;
  int line = 0, column = 0;
  EXPECT_EQ(lexer.GetToken(value, isWord, line, column), TOKEN_IDENTIFIER);
  EXPECT_TRUE(lexer.SkipAttachedAmpersands());
  EXPECT_EQ(lexer.GetToken(value, isWord, line, column), TOKEN_IDENTIFIER);
  EXPECT_EQ(value.text, "B");
  EXPECT_FALSE(lexer.SkipAttachedAmpersands());
  EXPECT_EQ(lexer.GetToken(value, isWord, line, column), TOKEN_AMPERSAND);
  EXPECT_FALSE(lexer.SkipAttachedAmpersands());
  EXPECT_EQ(lexer.GetToken(value, isWord, line, column), TOKEN_ENDFILE);
}

TEST_F(LexerTest, NonWordTokensLeaveTheValueAndClearIsWord) {
  ProductFileLexer lexer(folder_.Write("f.qlp", "77 ;"));
  TokenValue value;
  bool isWord = true;
  int line = 0, column = 0;
  EXPECT_EQ(lexer.GetToken(value, isWord, line, column), TOKEN_NUMBER);
  EXPECT_FALSE(isWord);
  EXPECT_EQ(lexer.GetToken(value, isWord, line, column), TOKEN_SEMICOLON);
  EXPECT_EQ(value.number, 77u);
}

TEST_F(LexerTest, MissingFileThrows) {
  EXPECT_THROW(ProductFileLexer(folder_.PathOf("absent.qlp")), QUILLON_EXCEPTION);
}

}  // namespace
