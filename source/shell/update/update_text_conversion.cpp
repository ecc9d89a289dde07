#include "shell/update/update_text_conversion.h"

#include "platform/file_io.h"

namespace {

constexpr unsigned char kScrambleKey = 0xA7;

}  // namespace

bool ConvertUpdateText(const std::string& textPath, const std::string& imagePath) {
  std::string bytes;
  if (!platform::ReadWholeFile(textPath, bytes)) return false;
  for (char& c : bytes) c = static_cast<char>(static_cast<unsigned char>(c) ^ kScrambleKey);
  return platform::WriteFileAtomically(imagePath, bytes);
}
