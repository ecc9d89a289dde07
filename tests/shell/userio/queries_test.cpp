#include <gtest/gtest.h>

#include "engine/core/job_request.h"
#include "shell/userio/set_option_tokens.h"
#include "user_io_fixture.h"

namespace shell_test {
namespace {

class QueriesTest : public UserIoFixture {
 protected:
  void SetUp() override {
    WriteDefaultProduct();
    dir.Write("other.qlp", "product RADIO_Z { processor Bisel; }\n");
    dir.Write("image.s19", "S0");
    dir.Write("Image2.S19", "S0");
    std::filesystem::create_directory(dir.File("sub.s19"));
    Start();
  }
  int Reply(std::uint32_t number) {
    auto reply = preprocessing.Wait(number);
    if (!reply) {
      ADD_FAILURE() << "no reply";
      return -1;
    }
    return static_cast<int>(reply->wParam);
  }
};

TEST_F(QueriesTest, ListFilesMatchesWithoutRegardToCaseAndMarksFolders) {
  EXPECT_EQ(Query(QUERY_LIST_FILES, "*.s19"), " \"Image2.S19\"  \"image.s19\"  \"sub.s19/\" ");
  EXPECT_EQ(Query(QUERY_LIST_FILES, "nothing*"), "");
}

TEST_F(QueriesTest, ListFilesWithoutPatternListsEverything) {
  const std::string all = Query(QUERY_LIST_FILES);
  for (const char* name : {"\"Quor_Plover.qlp\"", "\"other.qlp\"", "\"sub.s19/\"", "\"Vexa20 Flash.cfg\""}) {
    EXPECT_NE(all.find(name), std::string::npos) << name;
  }
  EXPECT_EQ(all.find("\".\""), std::string::npos);
}

TEST_F(QueriesTest, ProductTagsOfEveryProductFileInFileOrder) {
  EXPECT_EQ(Query(QUERY_LIST_PRODUCT_TAGS), " \"Vexa_Series\"  \"RADIO_B\"  \"RADIO_C\"  \"RADIO_Z\" ");
}

TEST_F(QueriesTest, FlashDetailsOfTheCurrentProduct) {
  EXPECT_EQ(Query(QUERY_FLASH_DETAILS),
            " \"address=0x0, sector_size=0x2000, num_sectors=8, type=CODE\" "
            " \"address=0x10000, sector_size=0x10000, num_sectors=2, type=DATA\" ");
}

TEST_F(QueriesTest, DirectoryQueryAnswersAndChanges) {
  const std::string start = std::filesystem::current_path().string();
  EXPECT_EQ(Query(QUERY_DIRECTORY), "\"" + start + "\"");
  EXPECT_EQ(Query(QUERY_DIRECTORY, dir.File("sub.s19")), "");
  EXPECT_EQ(Query(QUERY_DIRECTORY), "\"" + dir.File("sub.s19") + "\"");
  EXPECT_EQ(Query(QUERY_DIRECTORY, "default"), "");
  EXPECT_EQ(Query(QUERY_DIRECTORY), "\"" + start + "\"");
  EXPECT_EQ(Query(QUERY_DIRECTORY, dir.File("missing")), "");
  Flush();
  const std::string log = LogText();
  EXPECT_NE(log.find("Changing the Windows current working directory to " + dir.File("sub.s19")), std::string::npos);
  EXPECT_NE(log.find("Changing the Windows current working directory to " + dir.Dir()), std::string::npos);
  EXPECT_NE(log.find("Error> Unable to change to directory, " + dir.File("missing")), std::string::npos);
}

TEST_F(QueriesTest, DeleteQueuesADeviceIndependentJob) {
  EXPECT_EQ(Query(QUERY_DELETE, "old.s19"), "");
  auto job = core.Wait(WM_QUEUE_JOB);
  ASSERT_TRUE(job);
  auto request = job->Take<WM_QUEUE_JOB>();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->jobCode, WM_DELETE_FILE);
  EXPECT_EQ(request->device, DEVICE_INDEPENDENT);
  const std::string* name = request->payload.Get<std::string>();
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(*name, "old.s19");
}

TEST_F(QueriesTest, AQueryWithoutWantedReplyStillRepliesWithNothing) {
  PostToTarget<WM_QUERY>(PT_USER_IO, std::make_unique<QueryRequest>(QueryRequest{QUERY_STATUS, PT_REMOTE_IO, 0, ""}));
  auto reply = asker.Wait(WM_QUERY_REPLY);
  ASSERT_TRUE(reply);
  EXPECT_FALSE(reply->HasPayload());
  EXPECT_EQ(reply->wParam, 0u);
}

TEST_F(QueriesTest, SetRepliesToThePreprocessingThreadAndWritesTheFile) {
  PostToTarget<WM_SET_OPTION>(PT_USER_IO, std::make_unique<SetOptionTokens>(SetOptionTokens{"data_rate", "230400"}));
  EXPECT_EQ(Reply(WM_SET_OPTION_REPLY), 1);
  EXPECT_NE(dir.Read("Vexa20 Flash.cfg").find("data_rate=1\n"), std::string::npos);
  PostToTarget<WM_SET_OPTION>(PT_USER_IO, std::make_unique<SetOptionTokens>(SetOptionTokens{"serial_port", "com4", "x"}));
  EXPECT_EQ(Reply(WM_SET_OPTION_REPLY), 0);
  EXPECT_EQ(settings.GetIntParam(OPTION_SERIAL_PORT), 3);
  EXPECT_NE(dir.Read("Vexa20 Flash.cfg").find("serial_port=0\n"), std::string::npos);
}

TEST_F(QueriesTest, SetProductMapLoadsTheProductAndTellsTheWindow) {
  mainWindow.TakeAll();
  PostToTarget<WM_SET_OPTION>(PT_USER_IO, std::make_unique<SetOptionTokens>(SetOptionTokens{"flash_product_map", "RADIO_Z"}));
  EXPECT_EQ(Reply(WM_SET_OPTION_REPLY), 1);
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "other.qlp");
  EXPECT_EQ(Query(QUERY_FLASH_DETAILS), "");  // RADIO_Z has no flash part
  EXPECT_EQ(WindowMessages(), std::vector<std::uint32_t>{WM_SELECT_PRODUCT});
}

TEST_F(QueriesTest, RestoreBeforeAnySaveGivesBackTheStartUpOptions) {
  settings.SetIntParam(OPTION_REMOTE_PORT, 5001);
  PostToTarget<WM_RESTORE_OPTIONS>(PT_USER_IO);
  EXPECT_EQ(Reply(WM_RESTORE_OPTIONS_REPLY), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4000);
  EXPECT_NE(dir.Read("Vexa20 Flash.cfg").find("remote_port=4000\n"), std::string::npos);
}

TEST_F(QueriesTest, SaveThenRestore) {
  settings.SetIntParam(OPTION_REMOTE_PORT, 5001);
  PostToTarget<WM_SAVE_OPTIONS>(PT_USER_IO);
  EXPECT_EQ(Reply(WM_SAVE_OPTIONS_REPLY), 1);
  settings.SetIntParam(OPTION_REMOTE_PORT, 5002);
  PostToTarget<WM_RESTORE_OPTIONS>(PT_USER_IO);
  EXPECT_EQ(Reply(WM_RESTORE_OPTIONS_REPLY), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 5001);
}

TEST_F(QueriesTest, ARestoreWhoseWriteFailsRepliesZero) {
  std::filesystem::remove(dir.File("Vexa20 Flash.cfg"));
  std::filesystem::create_directory(dir.File("Vexa20 Flash.cfg"));
  PostToTarget<WM_RESTORE_OPTIONS>(PT_USER_IO);
  EXPECT_EQ(Reply(WM_RESTORE_OPTIONS_REPLY), 0);
}

}  // namespace
}  // namespace shell_test
