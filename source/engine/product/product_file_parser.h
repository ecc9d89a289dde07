#pragma once
// Reads product files: lists the product tags that a file declares, and
// loads the flash memory map of one tag into a product record.
//
// Every problem is logged as a line beginning "Error> Product file parse
// error." for the user-I/O thread; a fatal one also ends the read by
// throwing the application's exception. Product files arrive by download
// too, so nothing in them is trusted: sizes and sector counts are checked
// before anything is expanded from them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/product/product_file_lexer.h"
#include "engine/product/product_record.h"

class ProductFileParser {
 public:
  // A section may not reach beyond the 32-bit address space, and a product
  // may not expand to more sectors than this.
  static constexpr std::uint64_t kAddressSpaceEnd = std::uint64_t{1} << 32;
  static constexpr std::uint64_t kMaxProductSectors = std::uint64_t{1} << 20;

  ProductFileParser() = default;
  virtual ~ProductFileParser() = default;
  ProductFileParser(const ProductFileParser&) = delete;
  ProductFileParser& operator=(const ProductFileParser&) = delete;

  // Opens the file and reads its first product name. The ampersand flag is
  // 1, or 0 when "&" followed the name directly. Returns 1.
  int ReadFirstProductName(const std::string& path, std::string& name, int& ampersandFlag);
  // The next name: 1 with it, 0 when the file ends after a complete block
  // or no file is open.
  int ReadNextProductName(std::string& name, int& ampersandFlag);
  // Loads the product whose tag equals the given one ignoring case; returns
  // 1. On a fatal error the record is left exactly as it was.
  int LoadProduct(const std::string& path, const std::string& tag, CProductRecord& record);

 private:
  // Tokens.
  void Next();
  bool AtEnd() const;
  bool Is(int code) const;
  bool IsNumber() const;
  bool IsWord() const { return isWord_; }
  std::string Word() const { return std::string(value_.text); }
  std::string Describe() const;
  std::string TokenTextAsWritten() const;

  // Reporting.
  void Warn(const std::string& message) const;
  [[noreturn]] void Fatal(const std::string& message);
  [[noreturn]] void FatalWithoutPosition(const std::string& message);
  void Report(const std::string& message, int line, int column) const;

  // Product headers.
  void OpenFile(const std::string& path);
  void TakeName(std::string& name, int& ampersandFlag);
  void SkipBlock();

  // Product body.
  void ParseProductBody();
  void ParseProcessor();
  void ParseFlash();
  void ParseFlashParameter(CFlashRecord& flash, bool given[]);
  void FinishFlashHeader(CFlashRecord& flash, const bool given[]);
  void ParseFlashItems();
  void ParseSection();
  void CheckSectionBounds(const CSectionRecord& section);
  void ParsePartition();
  void ParseRam();
  void ExpectEquals(const char* message);
  void CheckFlashTotals();

  std::unique_ptr<ProductFileLexer> lexer_;
  std::string path_;
  CProductRecord* record_ = nullptr;  // the record being filled during a load
  std::uint64_t expandedSectors_ = 0;

  // The last token read.
  int code_ = 0;
  bool isWord_ = false;
  TokenValue value_;
  int line_ = 0;
  int column_ = 0;
};
