// Fuzzes the script tokenizer and the sector arguments with any line:
// the tokens never carry white space at their ends, the only failure is the
// script error, and the arguments as sector arguments either select
// sectors inside the list or fail the same way, on a list of five sectors
// and on an empty one.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/quillon_exception.h"
#include "shell/script/script_line.h"
#include "shell/script/sector_ranges.h"

namespace {

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

void CheckSectors(const ScriptTokens& tokens, std::vector<SectorEntry> sectors) {
  const std::vector<std::string> specs(tokens.size() > 1 ? tokens.begin() + 1 : tokens.end(), tokens.end());
  try {
    ParseSectorRanges(specs, sectors);
  } catch (QUILLON_EXCEPTION e) {
    if (e != QUILLON_ERROR) std::abort();
    return;
  }
  for (const auto& s : sectors) {
    if (s.selected > 1) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  ScriptTokens tokens;
  try {
    SplitScriptLine(line, tokens);
  } catch (QUILLON_EXCEPTION e) {
    if (e != QUILLON_ERROR) std::abort();
  }
  std::size_t characters = 0;
  for (const auto& token : tokens) {
    if (!token.empty() && (IsWhite(token.front()) || IsWhite(token.back()))) std::abort();
    characters += token.size();
  }
  if (characters > size) std::abort();
  CheckSectors(tokens, {{0, 16, "CODE", 0}, {16, 16, "CODE", 1}, {32, 8, "PARAM", 0},
                        {40, 8, "PARAM", 0}, {48, 16, "CODEPLUG", 0}});
  CheckSectors(tokens, {});
  return 0;
}
