#pragma once
// XML files may be stored as UTF-16 (with or without a byte-order mark); the
// parser reads UTF-8, so such files are converted first.

#include <string>
#include <string_view>

enum class XmlTextEncoding { Utf8, Utf16LittleEndian, Utf16BigEndian };

// Looks at the first min(size, 10000) bytes: a UTF-16 byte-order mark
// decides; without one, a text whose bytes at odd (little-endian) or even
// (big-endian) positions are mostly zero while the others are not is taken
// for UTF-16, as plain ASCII text stored in UTF-16 looks.
XmlTextEncoding DetectXmlTextEncoding(std::string_view bytes);

// The text as UTF-8: UTF-16 is converted (the byte-order mark dropped,
// unpaired surrogates replaced by U+FFFD); UTF-8 loses a byte-order mark.
std::string XmlTextToUtf8(std::string bytes);
