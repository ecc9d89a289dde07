#pragma once
// The text template of every AmbrelError code.

namespace ambrel {

// The printf template of the code's text ("" for codes without one).
const char* AmbrelErrorTemplate(int code);

// The three texts of code 14, by what the flash ids say.
inline constexpr const char* kChipNotPresentText = "Chip not present at specified location\n";
inline constexpr const char* kRamFoundText = "RAM memory found at specified location\n";
inline constexpr const char* kUnsupportedChipText =
    "Unsupported chip found:  manufacturer id - 0x%x, device id - 0x%x\n";

}  // namespace ambrel
