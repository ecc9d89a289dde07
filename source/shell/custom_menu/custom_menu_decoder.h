#pragma once
// Turns the parsed "content" element of a custom-menu file into menu items.
// Pure functions of their input; problems are reported through log, in the
// program's own words ("XML> ..."), as lines for the log file.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/custom_menu/custom_menu_item.h"
#include "shell/xml/xml_node.h"

using CustomMenuLog = std::function<void(const std::string&)>;

// The root type that marks a custom-menu file (compared exactly).
inline constexpr std::string_view kCustomMenuFileType = "Quillon Custom Menu Items";

struct CustomCommandBytes {
  std::array<std::uint8_t, kCustomCommandMaxBytes> bytes{};
  std::uint32_t length = 0;
};

// Hex digits, two per byte, most significant first. An odd number of
// characters, or more than two per byte of the frame, refuses the command
// (none); a character that is not a hex digit is reported and left out of
// the bytes, though it still counts towards the length.
std::optional<CustomCommandBytes> DecodeCustomCommand(std::string_view text, const CustomMenuLog& log);

// The flags of a "menuitem" element: the response element and the
// targetproc elements.
std::uint32_t CustomMenuItemFlags(const CXmlNode& menuItem);

// The items of one file's "content" element, in document order; none when
// its type is not the custom-menu type.
std::vector<CustomMenuItem> DecodeCustomMenu(const CXmlNode& content, const CustomMenuLog& log);
