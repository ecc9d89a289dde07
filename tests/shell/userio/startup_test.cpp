#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/app_settings.h"
#include "shell/userio/product_selection.h"
#include "user_io_fixture.h"

namespace shell_test {
namespace {

using StartupTest = UserIoFixture;

TEST_F(StartupTest, FilesAreNamedAfterTheTitleInTheStartDirectory) {
  settings.SetAppString(APP_STRING_WINDOW_TITLE, "Bench 2");
  Start();
  EXPECT_EQ(thread->ConfigFilePath(), dir.File("Bench 2.cfg"));
  EXPECT_EQ(thread->LogFilePath(), dir.File("Bench 2.log"));
  EXPECT_TRUE(dir.Exists("Bench 2.cfg"));
  EXPECT_NE(dir.Read("Bench 2.log").find("] Reading configuration file " + dir.File("Bench 2.cfg") + "\n"),
            std::string::npos);
  EXPECT_EQ(settings.GetAppString(APP_STRING_WORKING_DIRECTORY), dir.Dir());
}

TEST_F(StartupTest, AnOldLogIsRemovedAndTheFirstStatusIsStartup) {
  dir.Write("Vexa20 Flash.log", "[00:00:00] Error> from the last run\n");
  WriteDefaultProduct();
  Start();
  EXPECT_EQ(LogText().find("last run"), std::string::npos);
  EXPECT_EQ(Status(), "IDLE \"Startup\"");
  EXPECT_TRUE(prompts->Prompts().empty());
}

TEST_F(StartupTest, TheMainWindowLearnsTheMenuTheProductAndToContinue) {
  WriteDefaultProduct();
  Start();
  auto messages = mainWindow.TakeAll();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].number, WM_REBUILD_CUSTOM_MENU);
  ASSERT_EQ(messages[1].number, WM_SELECT_PRODUCT);
  auto selection = messages[1].Take<WM_SELECT_PRODUCT>();
  ASSERT_TRUE(selection);
  EXPECT_EQ(selection->productFile, "Quor_Plover.qlp");
  EXPECT_EQ(selection->productTag, "Vexa_Series");
  EXPECT_EQ(messages[2].number, WM_STARTUP_CONTINUE);
  EXPECT_EQ(window->Titles(), std::vector<std::string>{"Vexa20 Flash"});
}

TEST_F(StartupTest, TheConfigurationIsReadOverTheDefaultsAndTheProductLoaded) {
  dir.Write("Vexa20 Flash.cfg", "flash_product_tag=RADIO_B\nremote_port=4100\n");
  WriteDefaultProduct();
  Start();
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4100);
  EXPECT_EQ(settings.GetIntParam(OPTION_AUTO_ERASE_FLASH), 1);
  EXPECT_EQ(settings.GetSectorList().sectors.size(), 10u);
  EXPECT_NE(LogText().find("Reading product file " + dir.File("Quor_Plover.qlp")), std::string::npos) << LogText();
}

TEST_F(StartupTest, AMissingProductFileShowsTheErrorBoxAndStartUpGoesOn) {
  Start();
  ASSERT_TRUE(prompts->WaitForPrompts(1, std::chrono::seconds(20)));
  const auto shown = prompts->Prompts();
  // The box says which file was looked for where, and how to choose a product.
  EXPECT_EQ(shown[0].text.rfind("Error> Unable to read product file\n\n", 0), 0u) << shown[0].text;
  EXPECT_NE(shown[0].text.find("The product file Quor_Plover.qlp is not in the working folder " + dir.Dir()),
            std::string::npos)
      << shown[0].text;
  EXPECT_NE(shown[0].text.find("its last entry, \"Select a new product file...\""), std::string::npos);
  EXPECT_EQ(shown[0].caption, "Vexa20 Flash");
  EXPECT_EQ(shown[0].style, 0x10u);
  auto numbers = WindowMessages();
  EXPECT_EQ(numbers, (std::vector<std::uint32_t>{WM_REBUILD_CUSTOM_MENU, WM_STARTUP_CONTINUE}));
}

// The line before the error names the file and the folder it was looked for in.
struct MissingProductCase {
  const char* name;
  const char* configuration;
  bool folderInPlace;  // a folder of the product file's name
  const char* line;    // with the working folder after it
  const char* end;     // after the folder
};

class MissingProduct : public UserIoFixture, public ::testing::WithParamInterface<MissingProductCase> {};

TEST_P(MissingProduct, TheLineBeforeTheErrorNamesTheFileAndTheFolder) {
  const MissingProductCase& c = GetParam();
  dir.Write("Vexa20 Flash.cfg", c.configuration);
  if (c.folderInPlace) std::filesystem::create_directory(dir.File("Quor_Plover.qlp"));
  Start();
  Flush();
  const std::string text = LogText();
  const std::string expected = std::string(c.line) + dir.Dir() + c.end + "\n";
  const auto at = text.find(expected);
  ASSERT_NE(at, std::string::npos) << text;
  const std::string after = text.substr(at + expected.size());
  EXPECT_EQ(after.find("] Error> Unable to read product file\n"), 9u) << after;
  EXPECT_NE(text.rfind("] Reading product file ", at), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Products, MissingProduct,
    ::testing::Values(
        MissingProductCase{"NotThere", "", false, "The product file Quor_Plover.qlp is not in the working folder ", ""},
        MissingProductCase{"NoneSelected", "flash_product_file=\n", false,
                           "No product file is selected (flash_product_file is empty) in the working folder ", ""},
        MissingProductCase{"AFolderOfItsName", "", true,
                           "The product file Quor_Plover.qlp in the working folder ", " is not a file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, AReadOnlyLogIsKeptAndItsBoxShown) {
  WriteDefaultProduct();
  dir.Write("Vexa20 Flash.log", "old\n");
  dir.MakeReadOnly("Vexa20 Flash.log");
  Start();
  Flush();
  ASSERT_TRUE(prompts->WaitForPrompts(1, std::chrono::seconds(20)));
  EXPECT_EQ(prompts->Prompts()[0].text,
            "Error> Log file is read only and will not be updated.\r\nAll other error messages will be ignored");
  EXPECT_EQ(dir.Read("Vexa20 Flash.log"), "old\n");
}

TEST_F(StartupTest, ARemoteThreadThatWasNotSuspendedDisablesRemoteOperations) {
  WriteDefaultProduct();
  seams.resumeRemoteIo = [] { return 0; };
  Start();
  Flush();
  ASSERT_TRUE(prompts->WaitForPrompts(1, std::chrono::seconds(20)));
  EXPECT_EQ(prompts->Prompts()[0].text, "Error> Invalid RemoteIO response - remote operations disabled");
}

TEST_F(StartupTest, TheCustomMenuIsLoadedBeforeTheWindowRebuildsIt) {
  WriteDefaultProduct();
  int loads = 0;
  seams.loadCustomMenu = [&] { ++loads; };
  Start();
  EXPECT_EQ(loads, 1);
  mainWindow.TakeAll();
  PostToTarget<WM_RELOAD_CUSTOM_MENU>(PT_USER_IO);
  Flush();
  EXPECT_EQ(loads, 2);
  EXPECT_EQ(WindowMessages(), std::vector<std::uint32_t>{WM_REBUILD_CUSTOM_MENU});
}

TEST_F(StartupTest, TheDownloadSeamGetsTheScriptFlag) {
  WriteDefaultProduct();
  std::vector<bool> calls;
  seams.downloadProductFiles = [&](bool fromScript) { calls.push_back(fromScript); };
  Start();
  PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_USER_IO, 1);
  PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_USER_IO, 0);
  Flush();
  EXPECT_EQ(calls, (std::vector<bool>{true, false}));
}

TEST_F(StartupTest, QuitWritesTheConfiguration) {
  WriteDefaultProduct();
  Start();
  settings.SetIntParam(OPTION_REMOTE_PORT, 4777);
  Stop();
  EXPECT_NE(dir.Read("Vexa20 Flash.cfg").find("remote_port=4777\n"), std::string::npos);
}

TEST_F(StartupTest, AConfigurationThatCannotBeWrittenAtQuitIsLoggedAndTheQuitGoesOn) {
  WriteDefaultProduct();
  Start();
  // A folder in the file's place: the new file cannot be renamed over it.
  std::filesystem::remove(dir.File("Vexa20 Flash.cfg"));
  std::filesystem::create_directory(dir.File("Vexa20 Flash.cfg"));
  PostToTarget<WM_QUIT_THREAD>(PT_USER_IO);
  thread->Join();
  EXPECT_FALSE(thread->Running());
  SetTargetThread(PT_USER_IO, platform::kNoHandle);
  thread.reset();
  EXPECT_NE(LogText().find("Error> Unable to write configuration file " + dir.File("Vexa20 Flash.cfg")),
            std::string::npos);
}

}  // namespace
}  // namespace shell_test
