#include "shell/custom_menu/custom_menu_decoder.h"

#include <array>

namespace {

struct FamilyName {
  std::string_view name;
  std::uint32_t flag;
};

constexpr std::array<FamilyName, 3> kTargetFamilies{{
    {"harrow", kCustomMenuHarrow},
    {"calder", kCustomMenuCalder},
    {"bisel", kCustomMenuBisel},
}};

constexpr std::size_t kMaxCommandDigits = 2 * kCustomCommandMaxBytes;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The first text of the first child of the name; empty when there is none.
std::string FirstText(const CXmlNode& element, std::string_view childName) {
  const std::string* text = element.Child(childName, 0).Text(0);
  return text ? *text : std::string();
}

std::uint32_t FamilyFlag(const std::string* text) {
  if (text == nullptr) return 0;
  for (const auto& family : kTargetFamilies) {
    if (*text == family.name) return family.flag;
  }
  return 0;
}

}  // namespace

std::optional<CustomCommandBytes> DecodeCustomCommand(std::string_view text, const CustomMenuLog& log) {
  const std::string command(text);
  if (text.size() % 2 != 0) {
    log("XML> Error: Command '" + command + "' is not an even number of characters");
    return std::nullopt;
  }
  if (text.size() > kMaxCommandDigits) {
    log("XML> Error: Command '" + command + "' is longer than 64 bytes");
    return std::nullopt;
  }
  CustomCommandBytes decoded;
  for (std::size_t j = 0; j < text.size(); ++j) {
    const int value = HexValue(text[j]);
    if (value < 0) {
      log("XML> Error: Character '" + std::string(1, text[j]) + "' invalid in command " + command);
      continue;
    }
    std::uint8_t& byte = decoded.bytes[j / 2];
    byte = (j % 2 == 0) ? static_cast<std::uint8_t>(value) : static_cast<std::uint8_t>((byte << 4) | value);
  }
  decoded.length = static_cast<std::uint32_t>(text.size() / 2);
  return decoded;
}

std::uint32_t CustomMenuItemFlags(const CXmlNode& menuItem) {
  std::uint32_t flags = 0;
  const CXmlNode response = menuItem.Child("response", 0);
  if (!response.IsEmpty() && response.Text(0) != nullptr && *response.Text(0) == "false") {
    flags |= kCustomMenuNoResponse;
  }
  const int targets = menuItem.ChildCount("targetproc");
  if (targets == 0) return flags | kCustomMenuAllFamilies;
  for (int i = 0; i < targets; ++i) flags |= FamilyFlag(menuItem.Child("targetproc", i).Text(0));
  return flags;
}

std::vector<CustomMenuItem> DecodeCustomMenu(const CXmlNode& content, const CustomMenuLog& log) {
  std::vector<CustomMenuItem> items;
  const std::string* type = content.AttributeValue("type");
  if (type == nullptr || *type != kCustomMenuFileType) return items;
  const int count = content.ChildCount("menuitem");
  for (int i = 0; i < count; ++i) {
    const CXmlNode menuItem = content.Child("menuitem", i);
    const auto command = DecodeCustomCommand(FirstText(menuItem, "command"), log);
    if (!command) continue;
    CustomMenuItem item;
    item.label = FirstText(menuItem, "label");
    item.command = command->bytes;
    item.commandLength = command->length;
    item.flags = CustomMenuItemFlags(menuItem);
    items.push_back(std::move(item));
  }
  return items;
}
