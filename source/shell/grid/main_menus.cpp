#include "shell/grid/main_menus.h"

#include <array>

#include "shell/grid/main_commands.h"

namespace {

using K = MenuEntryKind;
using R = MenuRule;

constexpr const char* kFile = "&File";
constexpr const char* kRadio = "&Radio";
constexpr const char* kGpsChip = "&GPS Chip";
constexpr const char* kSmartphone = "&Smartphone";
constexpr const char* kTools = "&Tools";
constexpr const char* kHelp = "&Help";

constexpr MenuEntry Item(const char* menu, const char* text, int id, R rule = R::Always,
                         const char* shortcut = nullptr) {
  return {menu, K::Command, text, shortcut, id, rule};
}
constexpr MenuEntry Separator(const char* menu) { return {menu, K::Separator, nullptr, nullptr, 0, R::Always}; }

// The custom menu, built from the custom-menu files, goes before "&Help".
constexpr auto kMenus = std::to_array<MenuEntry>({
    Item(kFile, "&Flash Software...", ID_FLASH_SOFTWARE, R::FlashSoftware),
    Item(kFile, "Flash F&ile...", ID_FLASH_FILE, R::Always, "Ctrl+O"),
    {kFile, K::RecentFiles, "&Recent Files", nullptr, 0, R::RecentFiles},
    Separator(kFile),
    Item(kFile, "Run &Script...", ID_RUN_SCRIPT),
    Separator(kFile),
    Item(kFile, "Open &Working Folder", ID_OPEN_WORKING_FOLDER),
    Separator(kFile),
    Item(kFile, "E&xit", ID_EXIT, R::Always, "Ctrl+Q"),

    Item(kRadio, "&Erase...", ID_ERASE),
    Item(kRadio, "&Reverse Flash...", ID_REVERSE_FLASH, R::SingleDevice),
    Separator(kRadio),
    Item(kRadio, "&Comm Check", ID_COMM_CHECK),
    Item(kRadio, "Re&set", ID_RESET_TARGET),
    Item(kRadio, "Program &Magic Key", ID_PROGRAM_MAGIC_KEY),
    Separator(kRadio),
    Item(kRadio, "RAM &Dump...", ID_RAM_DUMP),
    Item(kRadio, "Flash&Pack Manager...", ID_FLASHPACK_MANAGER, R::SingleDevice),

    Item(kGpsChip, "&Options...", ID_ORVIX_OPTIONS),
    Separator(kGpsChip),
    Item(kGpsChip, "&Flash...", ID_ORVIX_FLASH),
    Item(kGpsChip, "&Erase", ID_ORVIX_ERASE),
    Item(kGpsChip, "&Reverse Flash...", ID_ORVIX_REVERSE_FLASH),

    Item(kSmartphone, "&Format File System...", ID_FORMAT_FILE_SYSTEM),
    Item(kSmartphone, "Flash F&ile...", ID_RALIX_FLASH_FILE),

    Item(kTools, "&Options...", ID_OPTIONS),

    Item(kHelp, "&About Vexa Flash", ID_ABOUT, R::Always, "F1"),

    // The second format command asks and posts as the first; it has no
    // entry of its own beside it, only its key.
    Item(nullptr, "Format File System", ID_FORMAT_FILE_SYSTEM_2, R::Always, "Ctrl+Shift+F"),
});

}  // namespace

std::span<const MenuEntry> MainMenuEntries() { return kMenus; }

std::string RecentFileMenuText(int index, const std::string& path) {
  std::string text = "&" + std::to_string((index + 1) % 10) + " ";
  for (char c : path) {
    text += c;
    if (c == '&') text += '&';
  }
  return text;
}
