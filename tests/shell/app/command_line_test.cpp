#include "shell/app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "shell/app/expand_shortcut.h"
#include "../support/shell_test_support.h"

namespace {

struct CommandLineCase {
  const char* name;
  std::vector<std::string> arguments;
  bool hasTitle;
  const char* title;
};

class CommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTable, TheIdSwitchNamesTheTitle) {
  CFlashCommandLineInfo info;
  info.ParseArguments(GetParam().arguments);
  EXPECT_EQ(info.HasTitle(), GetParam().hasTitle);
  EXPECT_EQ(info.Title(), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTable,
    ::testing::Values(CommandLineCase{"None", {}, false, ""},
                      CommandLineCase{"SlashId", {"/id", "T"}, true, "T"},
                      CommandLineCase{"DashId", {"-id", "T"}, true, "T"},
                      CommandLineCase{"UpperCaseIsNoSwitch", {"/ID", "T"}, false, ""},
                      CommandLineCase{"LastPlainArgumentWins", {"/id", "A", "B"}, true, "B"},
                      CommandLineCase{"PlainBeforeSwitchIgnored", {"X", "/id", "T"}, true, "T"},
                      CommandLineCase{"OtherSwitchKeepsId", {"/id", "A", "/x", "B"}, true, "B"},
                      CommandLineCase{"OtherSwitchAlone", {"/x", "B"}, false, ""},
                      CommandLineCase{"TitleWithBlank", {"-id", "Bench 2"}, true, "Bench 2"},
                      CommandLineCase{"SwitchWithoutArgument", {"/id"}, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct RemoteAddressCase {
  const char* name;
  std::vector<std::string> arguments;
  bool hasAddress;
  const char* address;
  bool missing;
  const char* title;  // the title beside it
};

class RemoteAddressTable : public ::testing::TestWithParam<RemoteAddressCase> {};

TEST_P(RemoteAddressTable, TheRemoteAddressSwitchTakesTheNextArgument) {
  CFlashCommandLineInfo info;
  info.ParseArguments(GetParam().arguments);
  EXPECT_EQ(info.HasRemoteAddress(), GetParam().hasAddress);
  EXPECT_EQ(info.RemoteAddress(), GetParam().address);
  EXPECT_EQ(info.RemoteAddressMissing(), GetParam().missing);
  EXPECT_EQ(info.Title(), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RemoteAddressTable,
    ::testing::Values(
        RemoteAddressCase{"NoneListensEverywhere", {"-id", "T"}, false, "", false, "T"},
        RemoteAddressCase{"Dash", {"-remote_address", "127.0.0.1"}, true, "127.0.0.1", false, ""},
        RemoteAddressCase{"Slash", {"/remote_address", "10.0.0.7"}, true, "10.0.0.7", false, ""},
        RemoteAddressCase{"UpperCaseIsNoSwitch", {"-REMOTE_ADDRESS", "127.0.0.1"}, false, "", false, ""},
        RemoteAddressCase{"AfterIdTheTitleStays", {"-id", "T", "-remote_address", "127.0.0.1"}, true, "127.0.0.1",
                          false, "T"},
        RemoteAddressCase{"BeforeIdBothTaken", {"-remote_address", "127.0.0.1", "-id", "T"}, true, "127.0.0.1",
                          false, "T"},
        RemoteAddressCase{"LaterPlainArgumentsStillName", {"-id", "A", "-remote_address", "127.0.0.1", "B"}, true,
                          "127.0.0.1", false, "B"},
        RemoteAddressCase{"MissingAtTheEnd", {"-id", "T", "-remote_address"}, false, "", true, "T"},
        RemoteAddressCase{"MissingBeforeASwitch", {"-remote_address", "-id", "T"}, true, "T", false, ""},
        RemoteAddressCase{"EmptyIsMissing", {"-remote_address", ""}, false, "", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct UserFolderCase {
  const char* name;
  std::vector<std::string> arguments;
  bool userFolder;
  const char* title;
};

class UserFolderTable : public ::testing::TestWithParam<UserFolderCase> {};

TEST_P(UserFolderTable, TheUserFolderSwitchTakesNoArgumentAndKeepsTheTitle) {
  CFlashCommandLineInfo info;
  info.ParseArguments(GetParam().arguments);
  EXPECT_EQ(info.UsesUserFolder(), GetParam().userFolder);
  EXPECT_EQ(info.Title(), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UserFolderTable,
    ::testing::Values(UserFolderCase{"None", {"-id", "T"}, false, "T"},
                      UserFolderCase{"Dash", {"-user_folder"}, true, ""},
                      UserFolderCase{"Slash", {"/user_folder"}, true, ""},
                      UserFolderCase{"UpperCaseIsNoSwitch", {"-USER_FOLDER"}, false, ""},
                      UserFolderCase{"AfterIdLaterArgumentsStillName", {"-id", "A", "-user_folder", "B"}, true, "B"},
                      UserFolderCase{"BeforeId", {"-user_folder", "-id", "T"}, true, "T"}),
    [](const auto& info) { return std::string(info.param.name); });

class ExpandShortcutTest : public ::testing::Test {
 protected:
  shell_test::TempFolder dir;
  shell_test::RecordingTarget userIo{PT_USER_IO};
};

TEST_F(ExpandShortcutTest, ALinkIsFollowedToItsFile) {
  dir.Write("image.s19", "S0");
  std::filesystem::create_symlink(dir.File("image.s19"), dir.File("link1"));
  std::filesystem::create_symlink("link1", dir.File("link2"));
  EXPECT_EQ(ExpandShortcut(dir.File("link2")), std::filesystem::canonical(dir.File("image.s19")).string());
  EXPECT_TRUE(userIo.TakeLogLines().empty());
}

TEST_F(ExpandShortcutTest, ADanglingLinkGivesWhatItNames) {
  std::filesystem::create_symlink("gone.s19", dir.File("link"));
  EXPECT_EQ(ExpandShortcut(dir.File("link")), dir.File("gone.s19"));
}

TEST_F(ExpandShortcutTest, AFileThatIsNoLinkIsUsedAsItIs) {
  dir.Write("image.s19", "S0");
  EXPECT_EQ(ExpandShortcut(dir.File("image.s19")), dir.File("image.s19"));
  EXPECT_EQ(userIo.TakeLogLines(), std::vector<std::string>{"Unable to load the file name."});
}

TEST_F(ExpandShortcutTest, AnEmptyPathAtOnce) {
  EXPECT_EQ(ExpandShortcut(""), "");
  EXPECT_TRUE(userIo.TakeLogLines().empty());
}

}  // namespace
