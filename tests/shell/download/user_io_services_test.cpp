// The user-I/O thread with the shell's own custom-menu loader and download:
// files of its working folder, lines in its log, boxes and status from it.

#include <gtest/gtest.h>

#include "../userio/user_io_fixture.h"
#include "loopback_http_server.h"
#include "shell/custom_menu/custom_menu_store.h"

namespace shell_test {
namespace {

const char* const kMenu =
    "<?xml version=\"1.0\"?>\n<content type=\"Quillon Custom Menu Items\">"
    "<menuitem><label>Status</label><command>0a1B</command></menuitem></content>\n";

class UserIoServicesTest : public UserIoFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listening());
    PublishCustomMenu({});
    WriteDefaultProduct();
  }
  void TearDown() override { PublishCustomMenu({}); }

  std::vector<std::string> MenuLabels() {
    std::vector<std::string> labels;
    for (const auto& item : *GetCustomMenu()) labels.push_back(item.label);
    return labels;
  }
  // After start-up (which reads the configuration over the defaults).
  void UseServer() { settings.SetStringParam(OPTION_SERVER, server.Url("/")); }

  LoopbackHttpServer server;
};

TEST_F(UserIoServicesTest, CustomMenuLoadsAtStartUpAndOnReload) {
  dir.Write("menu.xml", kMenu);
  Start();
  EXPECT_EQ(MenuLabels(), std::vector<std::string>{"Status"});
  dir.Write("second.xml", "<content type=\"Quillon Custom Menu Items\"><menuitem><label>Reset</label>"
                          "<command>abc</command></menuitem><menuitem><label>Ping</label>"
                          "<command>01</command></menuitem></content>");
  dir.Write("broken.xml", "<content>&bogus;</content>");
  mainWindow.TakeAll();
  PostToTarget<WM_RELOAD_CUSTOM_MENU>(PT_USER_IO);
  Flush();
  Flush();  // the log lines the reload posted to its own queue are written by now
  EXPECT_EQ(MenuLabels(), (std::vector<std::string>{"Status", "Ping"}));
  EXPECT_EQ(WindowMessages(), std::vector<std::uint32_t>{WM_REBUILD_CUSTOM_MENU});
  EXPECT_NE(LogText().find("] XML> Error: Unexpected token found\n"), std::string::npos) << LogText();
  EXPECT_NE(LogText().find("] XML> Error: Command 'abc' is not an even number of characters\n"), std::string::npos);
}

TEST_F(UserIoServicesTest, ScriptDownloadEndsDone) {
  Start();
  UseServer();
  server.Serve("/qlp/qlp_list.txt", {200, server.Url("/new.qlp") + "\r\n"});
  server.Serve("/new.qlp", {200, "product New {}\r\n"});
  PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_USER_IO, 1);
  EXPECT_TRUE(WaitForStatus("DONE \"Processing Complete\""));
  EXPECT_EQ(dir.Read("new.qlp"), "product New {}\n");
  EXPECT_NE(LogText().find("] Saving remote file " + server.Url("/new.qlp") + " as new.qlp\n"), std::string::npos);
}

TEST_F(UserIoServicesTest, ScriptDownloadFailureEndsErrorWithTheLine) {
  Start();
  UseServer();
  PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_USER_IO, 1);
  EXPECT_TRUE(WaitForStatus("ERROR \"Error> Unable to download the latest QLPs from server\r\n" + server.Url("/") + "\""));
}

TEST_F(UserIoServicesTest, UserDownloadFailureSelectsTheProductAgainAndShowsTheLine) {
  Start();
  UseServer();
  mainWindow.TakeAll();
  PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_USER_IO, 0);
  ASSERT_TRUE(prompts->WaitForPrompts(1, kDeadline));
  EXPECT_EQ(prompts->Prompts()[0].text, "Error> Unable to download the latest QLPs from server\r\n" + server.Url("/"));
  Flush();
  // The selection went through the user-I/O thread again, which rebuilds the menu after it.
  EXPECT_EQ(WindowMessages(), std::vector<std::uint32_t>{WM_REBUILD_CUSTOM_MENU});
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "Quor_Plover.qlp");
}

TEST_F(UserIoServicesTest, UserDownloadSuccessOpensTheProductList) {
  Start();
  UseServer();
  server.Serve("/qlp/qlp_list.txt", {200, ""});
  mainWindow.TakeAll();
  PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_USER_IO, 0);
  ASSERT_TRUE(mainWindow.Wait(WM_SHOW_PRODUCT_LIST).has_value());
  EXPECT_TRUE(prompts->Prompts().empty());
}

}  // namespace
}  // namespace shell_test
