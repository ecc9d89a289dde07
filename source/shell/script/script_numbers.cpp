#include "shell/script/script_numbers.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

std::uint32_t ScriptUnsignedNumber(const std::string& text) {
  return static_cast<std::uint32_t>(std::strtoull(text.c_str(), nullptr, 0));
}

std::int32_t ScriptSignedNumber(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<std::int32_t>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}
