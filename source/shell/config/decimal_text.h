#pragma once
// Numbers as the configuration file and the SET command read them.

#include <cstdint>
#include <string_view>

// Leading blanks, an optional sign, then digits up to the first non-digit;
// no digits gives 0. A value beyond the int range is held at its limit.
int ParseDecimal(std::string_view text);

// Automatic base: "0x" hex, a leading 0 octal, else decimal; leading blanks
// and a sign allowed; no digits gives 0. Held at the u32 range.
std::uint32_t ParseAutoBase(std::string_view text);
