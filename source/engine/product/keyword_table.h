#pragma once
// The product-file keyword table: one row per token kind, searched in order.
// Rows of token kinds that have no keyword carry an empty keyword.

#include <span>

struct KeywordEntry {
  const char* tokenName;
  const char* keyword;
  int code;
};

std::span<const KeywordEntry> KeywordTable();
