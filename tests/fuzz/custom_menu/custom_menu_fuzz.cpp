// Fuzzes the custom-menu decoder: the input is both a command text and a
// custom-menu file. No item may hold more than 64 bytes, bytes past an
// item's length stay zero, flags are only the item flags, and every log line
// is one of the decoder's own messages.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/custom_menu/custom_menu_decoder.h"
#include "shell/custom_menu/custom_menu_item.h"
#include "shell/xml/xml_parser.h"

namespace {

void CheckLine(const std::string& line) {
  if (line.rfind("XML> Error: ", 0) != 0) std::abort();
}

void CheckBytes(const std::array<std::uint8_t, kCustomCommandMaxBytes>& bytes, std::uint32_t length) {
  if (length > kCustomCommandMaxBytes) std::abort();
  for (std::size_t i = length; i < bytes.size(); ++i) {
    if (bytes[i] != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto command = DecodeCustomCommand(text, CheckLine)) {
    if (command->length != size / 2) std::abort();
    CheckBytes(command->bytes, command->length);
  }
  const CXmlNode content = ParseXmlText(text, "content", nullptr);
  for (const auto& item : DecodeCustomMenu(content, CheckLine)) {
    CheckBytes(item.command, item.commandLength);
    if ((item.flags & ~(kCustomMenuNoResponse | kCustomMenuAllFamilies)) != 0) std::abort();
  }
  return 0;
}
