#pragma once
// Reading a binary or S-record file into an ImageBuffer.
//
// Binary files start at flash offset 0. S-record files: S0 lines are
// skipped, S1/S2/S3 carry data at 2/3/4-byte addresses, S7/S8/S9 end the file;
// every other line fails the read. Lines may be up to 515 characters long,
// may end in CR LF, and blank lines are skipped. The record checksum is not
// checked.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image_buffer.h"

namespace ambrel {

enum class ImageFileType { Binary = 0, SRecord = 1, Detect = 2 };

inline constexpr std::size_t kMaxSrecLine = 515;

struct SrecLine {
  enum Kind { Data = 0, End = 1, Header = 2 } kind;
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
};

// One record line without its line end; nullopt when it is not a usable line.
std::optional<SrecLine> ParseSrecLine(const std::string& line);

// The value of one hexadecimal digit, or -1.
int HexDigitValue(char c);

struct ImageLimits {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
};

// True when the file opens and its first byte can be read.
bool CanOpenImageFile(const std::string& path);
// The type that type 2 decides by content: S-record when the file starts
// with 'S' and its first line parses as a record, else binary.
ImageFileType ResolveImageFileType(ImageFileType type, const std::string& path);
// The lowest and highest offset the file gives data for; nullopt when the
// file cannot be read or holds no data.
std::optional<ImageLimits> ScanImageFile(ImageFileType type, const std::string& path);
// Loads the file into an image allocated for its limits.
bool LoadImageFile(ImageFileType type, const std::string& path, ImageBuffer& image);

}  // namespace ambrel
