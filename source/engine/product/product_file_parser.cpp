#include "engine/product/product_file_parser.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <memory>

#include "engine/core/log_line.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/product/ascii_text.h"
#include "engine/product/keyword_table.h"
#include "engine/product/product_parse_messages.h"
#include "engine/product/product_token.h"
#include "engine/quillon_exception.h"

namespace msg = product_messages;

namespace {

constexpr const char* kDefaultFlashType = "NOR";
constexpr const char* kMSystemsType = "MSystems";

// Puts the arguments in place of the "%s" and "%d" conversions, in order.
std::string FormatText(const char* format, std::initializer_list<std::string> args) {
  std::string out;
  auto arg = args.begin();
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'd') && arg != args.end()) {
      out += *arg++;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string Hex(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

// The file name printed in messages: the path after its last separator.
std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Trace(const std::string& line) { std::fputs(line.c_str(), stdout); }

}  // namespace

namespace {

// One parameter of a flash header: where its value goes and what is said
// when it is repeated or has a value of the wrong kind.
struct FlashParameter {
  int code;
  std::uint32_t CFlashRecord::*number;  // null for a word parameter
  std::string CFlashRecord::*word;      // null for a numeric parameter
  const char* repeated;
  const char* wrongValue;
};

enum FlashGiven { kGivenSize, kGivenSectorSize, kGivenNumSectors, kGivenVendor, kGivenType,
                  kGivenEraseUnit, kGivenWriteUnit, kGivenChipSelect, kFlashGivenCount };

// The order of the rows is the order of the given marks above.
const FlashParameter kFlashParameters[kFlashGivenCount] = {
    {TOKEN_SIZE, &CFlashRecord::size, nullptr, "Flash size previously specified - size ignored",
     "Expected numeric value for size keyword"},
    {TOKEN_SECTOR_SIZE, &CFlashRecord::sectorSize, nullptr,
     "Sector size previously specified - sector_size ignored",
     "Expected numeric value for sector_size keyword"},
    {TOKEN_NUM_SECTORS, &CFlashRecord::numSectors, nullptr,
     "Number of sectors previously specified - num_sectors ignored",
     "Expected numeric value for num_sectors keyword"},
    {TOKEN_VENDOR, nullptr, &CFlashRecord::vendor, "Flash vendor previously specified - vendor ignored",
     "Expected identifier for vendor keyword"},
    {TOKEN_KEYWORD_TYPE, nullptr, &CFlashRecord::type, "Flash type previously specified - type ignored",
     "Expected identifier for flash type"},
    {TOKEN_ERASE_UNIT, &CFlashRecord::eraseUnit, nullptr,
     "Flash sector size or erase unit previously specified - value ignored",
     "Expected numeric value for erase_unit_size keyword"},
    {TOKEN_WRITE_UNIT, &CFlashRecord::writeUnit, nullptr,
     "Flash sector size or write unit previously specified - value ignored",
     "Expected numeric value for write_unit_size keyword"},
    {TOKEN_CHIP_SELECT, &CFlashRecord::chipSelect, nullptr,
     "Flash chip select value previously specified - chip_select ignored",
     "Expected numeric value for chip_select keyword"},
};

// One parameter of a RAM declaration. Nothing of it is stored; a value that
// is taken is traced.
struct RamParameter {
  int code;
  bool numeric;
  const char* repeated;
  const char* wrongValue;
  const char* trace;
};

enum RamGiven { kRamSize, kRamBase, kRamVendor, kRamModel, kRamType, kRamGivenCount };

const RamParameter kRamParameters[kRamGivenCount] = {
    {TOKEN_SIZE, true, "RAM size previously specified - size ignored",
     "Expected numeric value for size keyword", "REPOSITORY: Saving RAM size %d\n"},
    {TOKEN_BASE, true, "RAM base previously specified - base ignored", "Expected numeric value for RAM base",
     "REPOSITORY: Saving RAM base %d\n"},
    {TOKEN_VENDOR, false, "RAM vendor previously specified - vendor ignored",
     "Expected identifier for vendor name", "REPOSITORY: Saving RAM vendor name %s\n"},
    {TOKEN_MODEL, false, "RAM model previously specified - model ignored", "Expected identifier for RAM model",
     "REPOSITORY: Saving RAM model %s\n"},
    {TOKEN_KEYWORD_TYPE, false, "Flash type previously specified - type ignored",
     "Expected identifier for flash type", "REPOSITORY: Saving flash type %s\n"},
};

}  // namespace

// ---------------------------------------------------------------- tokens

void ProductFileParser::Next() {
  code_ = lexer_->GetToken(value_, isWord_, line_, column_);
}

// The end of the text; the word "endfile" is only a word.
bool ProductFileParser::AtEnd() const { return code_ == TOKEN_ENDFILE && !isWord_; }

bool ProductFileParser::Is(int code) const { return code_ == code && !(code == TOKEN_ENDFILE && isWord_); }

bool ProductFileParser::IsNumber() const { return code_ == TOKEN_NUMBER; }

// What a message shows for the last token: a word's text, a number's value,
// the characters of an invalid character or number as written, else the
// token's keyword ("endfile" for the end of the file).
std::string ProductFileParser::Describe() const {
  if (isWord_) return Word();
  if (IsNumber()) return std::to_string(value_.number);
  if (Is(TOKEN_INVALID_CHAR) || Is(TOKEN_INVALID_NUMBER)) return TokenTextAsWritten();
  for (const KeywordEntry& entry : KeywordTable()) {
    if (entry.code == code_ && entry.keyword[0] != '\0') return entry.keyword;
  }
  return ProductFileLexer::TokenName(code_);
}

// The characters of the last token, from the line it ends on: it began just
// after the reported position, or at the start of the line when that
// position lies on an earlier line.
std::string ProductFileParser::TokenTextAsWritten() const {
  const CharInputStream& stream = lexer_->Stream();
  const std::string_view line = stream.GetLineText(stream.Line());
  const std::size_t start = stream.Line() == line_ ? static_cast<std::size_t>(column_) : 0;
  const std::size_t end = std::min(static_cast<std::size_t>(stream.Column()), line.size());
  return start < end ? std::string(line.substr(start, end - start)) : std::string();
}

// ---------------------------------------------------------------- reporting

void ProductFileParser::Report(const std::string& message, int line, int column) const {
  const std::string file = FileNameOf(path_);
  std::string text = "Error> Product file parse error. " + file;
  if (line > 0 || column > 0) {
    text += " - Line " + std::to_string(line) + ", Col " + std::to_string(column) + ". " + message;
  } else {
    text += ". " + message;
  }
  PostLogLine(std::move(text));
}

void ProductFileParser::Warn(const std::string& message) const { Report(message, line_, column_); }

void ProductFileParser::Fatal(const std::string& message) {
  Report(message, line_, column_);
  lexer_.reset();  // the read ends here; a later listing call finds no file
  throw QUILLON_ERROR;
}

void ProductFileParser::FatalWithoutPosition(const std::string& message) {
  Report(message, 0, 0);
  lexer_.reset();
  throw QUILLON_ERROR;
}

// ---------------------------------------------------------------- product headers

void ProductFileParser::OpenFile(const std::string& path) {
  path_ = path;
  lexer_.reset();
  lexer_ = std::make_unique<ProductFileLexer>(path);
}

void ProductFileParser::TakeName(std::string& name, int& ampersandFlag) {
  name = Word();
  ampersandFlag = lexer_->SkipAttachedAmpersands() ? 0 : 1;
}

int ProductFileParser::ReadFirstProductName(const std::string& path, std::string& name, int& ampersandFlag) {
  OpenFile(path);
  Next();
  if (AtEnd()) Fatal(msg::kUnexpectedEndOfFileFirst);
  if (!Is(TOKEN_PRODUCT)) Fatal(msg::kFileMustBeginWithProduct);
  Next();
  if (Is(TOKEN_OPEN_BRACE)) Fatal(msg::kMissingProductName);
  if (!IsWord()) Fatal(msg::kInvalidProductNameFirst);
  TakeName(name, ampersandFlag);
  return 1;
}

int ProductFileParser::ReadNextProductName(std::string& name, int& ampersandFlag) {
  if (!lexer_) return 0;
  Next();
  if (Is(TOKEN_COMMA)) {
    Next();
    if (!IsWord()) Fatal(msg::kInvalidProductName);
    TakeName(name, ampersandFlag);
    return 1;
  }
  if (!Is(TOKEN_OPEN_BRACE)) Fatal(msg::kProductNameExpected);
  SkipBlock();
  Next();
  if (AtEnd()) {
    lexer_.reset();
    return 0;
  }
  if (!Is(TOKEN_PRODUCT)) Fatal(msg::kInfoMustBeginWithProduct);
  Next();
  if (!IsWord()) Fatal(msg::kInvalidProductName);
  TakeName(name, ampersandFlag);
  return 1;
}

// Skips a block whose "{" was just read, up to its matching "}".
void ProductFileParser::SkipBlock() {
  for (std::uint64_t depth = 1; depth > 0;) {
    Next();
    if (AtEnd()) Fatal(msg::kUnexpectedEndOfFile);
    if (Is(TOKEN_OPEN_BRACE)) ++depth;
    if (Is(TOKEN_CLOSE_BRACE)) --depth;
  }
}

// ---------------------------------------------------------------- loading

int ProductFileParser::LoadProduct(const std::string& path, const std::string& tag, CProductRecord& record) {
  // The product is parsed into a record of its own and replaces the
  // caller's only when the whole load succeeded.
  CProductRecord loaded;
  record_ = &loaded;
  expandedSectors_ = 0;
  struct Release {
    ProductFileParser& parser;
    ~Release() {
      parser.record_ = nullptr;
      parser.lexer_.reset();
    }
  } release{*this};

  std::string name;
  int ampersandFlag = 1;
  path_ = path;
  int found = ReadFirstProductName(path, name, ampersandFlag);
  while (found == 1 && !ascii::EqualsIgnoringCase(name, tag)) found = ReadNextProductName(name, ampersandFlag);
  if (found != 1) FatalWithoutPosition(FormatText(msg::kTagNotFound, {tag}));

  loaded.name = name;
  ParseProductBody();
  CheckFlashTotals();
  record = std::move(loaded);
  return 1;
}

void ProductFileParser::ParseProductBody() {
  do {
    Next();
    if (AtEnd()) Fatal(msg::kUnexpectedEndOfFile);
  } while (!Is(TOKEN_OPEN_BRACE));

  for (;;) {
    Next();
    if (Is(TOKEN_CLOSE_BRACE)) return;
    if (Is(TOKEN_FLASH)) {
      ParseFlash();
    } else if (Is(TOKEN_PROCESSOR)) {
      ParseProcessor();
    } else if (Is(TOKEN_RAM)) {
      ParseRam();
    } else if (!Is(TOKEN_KERNEL)) {
      Fatal(FormatText(msg::kUnsupportedKeyword, {Describe()}));
    }
  }
}

void ProductFileParser::ParseProcessor() {
  Next();
  if (!IsWord()) Fatal(msg::kInvalidProcessorName);
  record_->processor = ascii::ToUpper(Word());
  Next();  // normally ";", dropped whatever it is
}

void ProductFileParser::ExpectEquals(const char* message) {
  Next();
  if (!Is(TOKEN_EQUALS)) Fatal(message);
}

// ---------------------------------------------------------------- flash declaration

void ProductFileParser::ParseFlash() {
  CFlashRecord flash;
  bool given[kFlashGivenCount] = {};

  Next();
  if (Is(TOKEN_OPEN_BRACE)) Fatal(msg::kMissingFlashName);
  if (!IsWord()) Fatal(msg::kInvalidFlashName);
  flash.name = Word();

  for (Next(); !Is(TOKEN_OPEN_BRACE); Next()) ParseFlashParameter(flash, given);
  FinishFlashHeader(flash, given);
  record_->AddFlash(flash);
  ParseFlashItems();
}

void ProductFileParser::ParseFlashParameter(CFlashRecord& flash, bool given[]) {
  int index = 0;
  while (index < kFlashGivenCount && !Is(kFlashParameters[index].code)) ++index;
  if (index == kFlashGivenCount) Fatal(msg::kUnexpectedFlashParameter);
  const FlashParameter& parameter = kFlashParameters[index];

  ExpectEquals(msg::kExpectedEqualsInFlashParameters);
  Next();
  if (parameter.number != nullptr ? !IsNumber() : !IsWord()) Fatal(parameter.wrongValue);

  // A stated sector size makes the erase and write units redundant.
  const bool refused = given[index] || ((index == kGivenEraseUnit || index == kGivenWriteUnit) &&
                                        given[kGivenSectorSize]);
  if (refused) {
    Warn(parameter.repeated);
    return;
  }
  given[index] = true;
  if (parameter.number != nullptr) {
    flash.*parameter.number = value_.number;
  } else {
    flash.*parameter.word = Word();
  }
}

void ProductFileParser::FinishFlashHeader(CFlashRecord& flash, const bool given[]) {
  if (!given[kGivenType]) {
    Warn(msg::kMissingFlashType);
    flash.type = kDefaultFlashType;
  }
  if (flash.type == kMSystemsType && !given[kGivenSectorSize] &&
      !(given[kGivenEraseUnit] && given[kGivenWriteUnit])) {
    Fatal(msg::kMSystemsNeedsUnits);
  }
}

void ProductFileParser::ParseFlashItems() {
  for (;;) {
    Next();
    if (Is(TOKEN_CLOSE_BRACE)) return;
    if (AtEnd()) Fatal(msg::kUnexpectedEndOfFile);
    if (Is(TOKEN_ADDRESS)) {
      ParseSection();
    } else if (Is(TOKEN_PARTITION)) {
      ParsePartition();
    }
    // "region" and every other token are skipped.
  }
}

// ---------------------------------------------------------------- section declaration

void ProductFileParser::ParseSection() {
  CSectionRecord section;
  bool hasSectorSize = false, hasNumSectors = false, hasType = false;

  ExpectEquals(msg::kMissingEqualsAfterAddress);
  Next();
  if (!IsNumber()) Fatal(msg::kMissingAddress);
  section.address = value_.number;

  for (Next(); !Is(TOKEN_SEMICOLON); Next()) {
    if (Is(TOKEN_COMMA)) Next();
    const int keyword = code_;
    if (!Is(TOKEN_SECTOR_SIZE) && !Is(TOKEN_NUM_SECTORS) && !Is(TOKEN_KEYWORD_TYPE))
      Fatal(msg::kUnexpectedAddressParameter);
    ExpectEquals(msg::kExpectedEqualsInAddressParameters);
    Next();
    if (keyword == TOKEN_NUM_SECTORS) {
      if (!IsNumber()) Fatal(msg::kExpectedNumSectors);
      section.numSectors = value_.number;
      hasNumSectors = true;
    } else if (keyword == TOKEN_SECTOR_SIZE) {
      if (Is(TOKEN_INVALID_NUMBER)) Fatal(msg::kInvalidNumericConstant);
      if (!IsNumber()) Fatal(msg::kExpectedSectorSize);
      section.sectorSize = value_.number;
      hasSectorSize = true;
    } else {
      if (!IsWord()) Fatal(msg::kExpectedAddressType);
      section.type = Word();
      hasType = true;
    }
  }

  if (!hasSectorSize) Fatal(msg::kMissingSectionSectorSize);
  if (!hasNumSectors) Fatal(msg::kMissingSectionNumSectors);
  if (!hasType) Fatal(msg::kMissingSectionType);
  CheckSectionBounds(section);
  record_->AddSection(section);
}

// Sector lists are expanded from the sections: refuse a section that would
// wrap around the address space, and a product with too many sectors.
void ProductFileParser::CheckSectionBounds(const CSectionRecord& section) {
  if (section.sectorSize == 0) return;  // expands to nothing
  const std::uint64_t length = std::uint64_t{section.sectorSize} * section.numSectors;
  if (section.address + length > kAddressSpaceEnd)
    Fatal(FormatText(msg::kSectionPastAddressSpace, {Hex(section.address)}));
  expandedSectors_ += section.numSectors;
  if (expandedSectors_ > kMaxProductSectors)
    Fatal(FormatText(msg::kTooManySectors, {std::to_string(kMaxProductSectors)}));
}

// ---------------------------------------------------------------- partition declaration

void ProductFileParser::ParsePartition() {
  CPartitionRecord partition;

  ExpectEquals(msg::kMissingEqualsAfterPartition);
  Next();
  if (!IsNumber()) Fatal(msg::kMissingPartitionNumber);  // the number is not kept
  Next();
  if (!IsWord()) Fatal(msg::kMissingPartitionName);
  partition.name = Word();

  for (Next(); !Is(TOKEN_SEMICOLON); Next()) {
    const int keyword = code_;
    if (!Is(TOKEN_CHIP_SELECT) && !Is(TOKEN_SIZE) && !Is(TOKEN_KEYWORD_TYPE))
      Fatal(msg::kUnexpectedPartitionParameter);
    ExpectEquals(msg::kExpectedEqualsInPartitionParameters);
    Next();
    if (keyword == TOKEN_CHIP_SELECT) {
      if (!IsNumber()) Fatal(msg::kExpectedPartitionChipSelect);
      partition.chipSelect = value_.number;
    } else if (keyword == TOKEN_SIZE) {
      if (Is(TOKEN_INVALID_NUMBER)) Fatal(msg::kInvalidNumericConstant);
      if (!IsNumber()) Fatal(msg::kExpectedPartitionSize);
      partition.size = value_.number;
    } else {
      if (!IsWord()) Fatal(msg::kExpectedPartitionType);
      partition.type = Word();
    }
  }
  record_->AddPartition(partition);
}

// ---------------------------------------------------------------- RAM declaration

void ProductFileParser::ParseRam() {
  bool given[kRamGivenCount] = {};

  Next();
  if (!IsWord()) Fatal(msg::kInvalidFlashName);
  Trace(FormatText("REPOSITORY: Saving RAM name %s\n", {Word()}));

  for (Next(); !Is(TOKEN_SEMICOLON); Next()) {
    int index = 0;
    while (index < kRamGivenCount && !Is(kRamParameters[index].code)) ++index;
    if (index == kRamGivenCount) Fatal(msg::kUnexpectedRamParameter);
    const RamParameter& parameter = kRamParameters[index];

    ExpectEquals(msg::kExpectedEqualsInRamParameters);
    Next();
    if (parameter.numeric ? !IsNumber() : !IsWord()) Fatal(parameter.wrongValue);
    if (given[index]) {
      Warn(parameter.repeated);
      continue;
    }
    given[index] = true;
    Trace(FormatText(parameter.trace, {parameter.numeric ? std::to_string(value_.number) : Word()}));
  }
  if (!given[kRamSize]) Fatal(msg::kRamSizeRequired);
}

// ---------------------------------------------------------------- checks after the body

void ProductFileParser::CheckFlashTotals() {
  for (const CFlashRecord& flash : record_->flashes) {
    if (flash.numSectors == 0) continue;
    std::uint64_t count = 0;
    for (const CSectionRecord& section : flash.sections) count += section.numSectors;
    if (count != flash.numSectors) {
      FatalWithoutPosition(FormatText(msg::kSectorCountMismatch,
                                      {flash.name, std::to_string(flash.numSectors), std::to_string(count)}));
    }
  }
  for (const CFlashRecord& flash : record_->flashes) {
    if (flash.size == 0) continue;
    std::uint64_t total = 0;
    for (const CSectionRecord& section : flash.sections)
      total += std::uint64_t{section.sectorSize} * section.numSectors;
    if (total != flash.size) FatalWithoutPosition(FormatText(msg::kSizeMismatch, {flash.name}));
  }
}
