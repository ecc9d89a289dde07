// The menu table beside the command table, and the rules that grey its items.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>

#include "shell/grid/main_commands.h"
#include "shell/grid/main_menus.h"
#include "shell/grid/menu_state.h"

namespace {

TEST(MenuTable, EveryItemRunsACommandOfTheCommandTable) {
  for (const MenuEntry& entry : MainMenuEntries()) {
    if (entry.kind != MenuEntryKind::Command) continue;
    SCOPED_TRACE(entry.text);
    ASSERT_NE(entry.text, nullptr);
    EXPECT_NE(PlanCommand(entry.commandId).kind, CommandKind::None);
  }
}

TEST(MenuTable, ExposesEveryCommandThatHasAHandler) {
  std::set<int> exposed;
  for (const MenuEntry& entry : MainMenuEntries()) exposed.insert(entry.commandId);
  for (int id : {32771, 32772, 32773, 32774, 32775, 32776, 32777, 32783, 32788, 32790, 32793, 32796, 32797, 32798,
                 32801, 32813, 32817, 32848, 32849, 32851}) {
    EXPECT_TRUE(exposed.count(id)) << id;
  }
  // The error report page is reached from error boxes only.
  EXPECT_FALSE(exposed.count(ID_ERROR_REPORT));
}

TEST(MenuTable, MnemonicsAreUniqueWithinEachPopUpAndOnTheBar) {
  std::map<std::string, std::set<char>> keys;
  std::set<char> bar;
  std::set<std::string> seen;
  auto mnemonic = [](const char* text) {
    const std::string s = text;
    const auto at = s.find('&');
    return at == std::string::npos || at + 1 >= s.size() ? '\0' : static_cast<char>(std::tolower(s[at + 1]));
  };
  for (const MenuEntry& entry : MainMenuEntries()) {
    if (entry.menu == nullptr || entry.kind == MenuEntryKind::Separator) continue;
    if (seen.insert(entry.menu).second) {
      EXPECT_TRUE(bar.insert(mnemonic(entry.menu)).second) << entry.menu;
    }
    const char key = mnemonic(entry.text);
    EXPECT_NE(key, '\0') << entry.text;
    EXPECT_TRUE(keys[entry.menu].insert(key).second) << entry.menu << " " << entry.text;
  }
}

TEST(MenuTable, StandardShortcutsForOpeningQuittingAndHelp) {
  std::map<int, std::string> shortcuts;
  for (const MenuEntry& entry : MainMenuEntries()) {
    if (entry.shortcut) shortcuts[entry.commandId] = entry.shortcut;
  }
  EXPECT_EQ(shortcuts[ID_FLASH_FILE], "Ctrl+O");
  EXPECT_EQ(shortcuts[ID_EXIT], "Ctrl+Q");
  EXPECT_EQ(shortcuts[ID_ABOUT], "F1");
}

struct StateCase {
  ShellState shell;
  MenuState menu;
};

class MenuStateTable : public ::testing::TestWithParam<StateCase> {};

TEST_P(MenuStateTable, ComesFromTheShellState) {
  const MenuState got = ComputeMenuState(GetParam().shell);
  const MenuState& want = GetParam().menu;
  EXPECT_EQ(got.flashSoftwareEnabled, want.flashSoftwareEnabled);
  EXPECT_EQ(got.toolbarEnabled, want.toolbarEnabled);
  EXPECT_EQ(got.singleDeviceEnabled, want.singleDeviceEnabled);
  EXPECT_EQ(got.recentFilesEnabled, want.recentFilesEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    States, MenuStateTable,
    ::testing::Values(StateCase{{true, 0, false}, {true, true, true, false}},
                      StateCase{{true, 1, true}, {true, true, true, true}},
                      StateCase{{true, 2, false}, {true, true, false, false}},
                      StateCase{{false, 1, true}, {false, false, true, true}},
                      StateCase{{false, 10, true}, {false, false, false, true}}));

TEST(MenuRules, EachRuleFollowsItsPartOfTheState) {
  MenuState state;
  state.flashSoftwareEnabled = false;
  state.singleDeviceEnabled = true;
  state.recentFilesEnabled = false;
  EXPECT_TRUE(MenuItemEnabled(MenuRule::Always, state));
  EXPECT_FALSE(MenuItemEnabled(MenuRule::FlashSoftware, state));
  EXPECT_TRUE(MenuItemEnabled(MenuRule::SingleDevice, state));
  EXPECT_FALSE(MenuItemEnabled(MenuRule::RecentFiles, state));
  state = MenuState{true, true, false, true};
  EXPECT_TRUE(MenuItemEnabled(MenuRule::FlashSoftware, state));
  EXPECT_FALSE(MenuItemEnabled(MenuRule::SingleDevice, state));
  EXPECT_TRUE(MenuItemEnabled(MenuRule::RecentFiles, state));
}

TEST(MenuRules, ReverseFlashAndTheFlashPackManagerAreTheSingleDeviceItems) {
  std::set<int> single;
  for (const MenuEntry& entry : MainMenuEntries()) {
    if (entry.rule == MenuRule::SingleDevice) single.insert(entry.commandId);
  }
  EXPECT_EQ(single, (std::set<int>{ID_REVERSE_FLASH, ID_FLASHPACK_MANAGER}));
}

TEST(RecentFileMenuText, NumbersFromOneToZeroAndShowsAmpersands) {
  EXPECT_EQ(RecentFileMenuText(0, "/images/a.s19"), "&1 /images/a.s19");
  EXPECT_EQ(RecentFileMenuText(8, "b.s19"), "&9 b.s19");
  EXPECT_EQ(RecentFileMenuText(9, "c.s19"), "&0 c.s19");
  EXPECT_EQ(RecentFileMenuText(1, "R&D/x.s19"), "&2 R&&D/x.s19");
}

}  // namespace
