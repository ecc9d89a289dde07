#pragma once
// Numbers as the configuration file and the SET command read them.

#include <cstdint>
#include <optional>
#include <string_view>

// Leading blanks, an optional sign, then digits up to the first non-digit;
// no digits gives 0. A value beyond the int range is held at its limit.
int ParseDecimal(std::string_view text);

// Automatic base: "0x" hex, a leading 0 octal, else decimal; leading blanks
// and a sign allowed; no digits gives 0. Held at the u32 range.
std::uint32_t ParseAutoBase(std::string_view text);

// An address as a user types it: the whole text (blanks around it aside) is
// "0x" and hex digits, a leading 0 and octal digits, or decimal digits, and
// fits 32 bits; nullopt for anything else ("zzz", "12ab", "", "-4").
std::optional<std::uint32_t> ParseAddressText(std::string_view text);
