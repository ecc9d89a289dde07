// Feeds arbitrary bytes as a product file to the lexer and the parser: every
// token, the listing of the product names, and a load of each listed name
// and of one absent tag. Nothing may crash, hang or read out of bounds, and
// what a load returns must keep the records' invariants.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/product/product_file_lexer.h"
#include "engine/product/product_file_parser.h"
#include "engine/product/product_token.h"
#include "engine/quillon_exception.h"

namespace {

std::string inputPath;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void LexEverything() {
  ProductFileLexer lexer(inputPath);
  for (;;) {
    TokenValue value;
    bool isWord = false;
    int line = -1, column = -1;
    const int code = lexer.GetToken(value, isWord, line, column);
    Require(line >= 0 && column >= 0, "token position is negative");
    Require(!isWord || (value.text.size() >= 1 && value.text.size() <= ProductFileLexer::kMaxWordLength),
            "word length out of range");
    if (code == TOKEN_ENDFILE && !isWord) return;
  }
}

std::vector<std::string> ListNames() {
  std::vector<std::string> names;
  ProductFileParser parser;
  std::string name;
  int flag = -1;
  try {
    for (int more = parser.ReadFirstProductName(inputPath, name, flag); more == 1;
         more = parser.ReadNextProductName(name, flag)) {
      Require(flag == 0 || flag == 1, "ampersand flag is neither 0 nor 1");
      names.push_back(name);
    }
  } catch (QUILLON_EXCEPTION) {
  }
  return names;
}

void CheckRecord(const CProductRecord& record) {
  std::uint64_t expanded = 0;
  for (const CFlashRecord& flash : record.flashes) {
    std::uint64_t count = 0, bytes = 0;
    for (const CSectionRecord& section : flash.sections) {
      const std::uint64_t length = std::uint64_t{section.sectorSize} * section.numSectors;
      count += section.numSectors;
      bytes += length;
      if (section.sectorSize != 0) {
        Require(section.address + length <= ProductFileParser::kAddressSpaceEnd, "section wraps");
        expanded += section.numSectors;
      }
    }
    Require(flash.numSectors == 0 || flash.numSectors == count, "sector count check missed");
    Require(flash.size == 0 || flash.size == bytes, "size check missed");
  }
  Require(expanded <= ProductFileParser::kMaxProductSectors, "too many sectors");
}

void Load(const std::string& tag) {
  ProductFileParser parser;
  CProductRecord record;
  record.name = "BEFORE";
  try {
    parser.LoadProduct(inputPath, tag, record);
    CheckRecord(record);
  } catch (QUILLON_EXCEPTION) {
    Require(record.name == "BEFORE" && record.flashes.empty(), "failed load changed the record");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Trace lines are of no interest here; the log lines go nowhere, as no
  // user-I/O thread is registered.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  inputPath = (std::filesystem::temp_directory_path() /
               ("quillon-product-fuzz-" + std::to_string(::getpid()) + ".qlp"))
                  .string();
  std::atexit([] { std::remove(inputPath.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(inputPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  LexEverything();
  const std::vector<std::string> names = ListNames();
  for (std::size_t i = 0; i < names.size() && i < 4; ++i) Load(names[i]);
  Load("NOT_IN_THE_FILE");
  return 0;
}
