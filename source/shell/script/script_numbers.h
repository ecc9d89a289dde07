#pragma once
// How script commands read their number arguments.

#include <cstdint>
#include <string>

// An address or record length: "0x"/"0X" starts a hexadecimal number, a
// leading 0 an octal one, anything else is decimal; reading stops at the
// first character that does not fit; text without a number gives 0.
std::uint32_t ScriptUnsignedNumber(const std::string& text);
// A flashpack or port number: signed decimal, text without a number gives 0.
std::int32_t ScriptSignedNumber(const std::string& text);
