// The commands that ask the user-I/O thread, hand requests on, or answer
// the client: their questions, the replies passed on, and failures.

#include "lumbrapack/pack_manager.h"
#include "script_fixture.h"

namespace script_test {
namespace {

struct QueryCase {
  const char* line;
  QuerySeen query;
  const char* answer;  // null: the reply carries no text
  std::vector<std::string> replies;
};

class QueryCommands : public ScriptFixture, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryCommands, AskAndPassTheAnswerOnUnchanged) {
  const auto& c = GetParam();
  if (c.answer) {
    context_.ReplyText(c.answer);
  } else {
    context_.Reply(WM_QUERY_REPLY, 0);
  }
  EXPECT_FALSE(Run(c.line));
  EXPECT_EQ(context_.queries, std::vector<QuerySeen>{c.query});
  EXPECT_EQ(remote_.Texts<WM_REMOTE_SEND>(), c.replies);
  EXPECT_TRUE(context_.own.Empty());  // the reply was taken
  EXPECT_TRUE(Jobs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QueryCommands,
    ::testing::Values(QueryCase{"DIRECTORY", {0, "", 1}, "\"/work/here\"", {"\"/work/here\""}},
                      QueryCase{"DIRECTORY DEFAULT", {0, "DEFAULT", 0}, nullptr, {}},
                      QueryCase{"LIST_FILES *.s19", {1, "*.s19", 1}, " \"a.s19\" ", {" \"a.s19\" "}},
                      QueryCase{"LIST_FILES", {1, "", 1}, "", {""}},
                      QueryCase{"LIST_PRODUCT_TAGS extra", {2, "", 1}, " \"TAG\" ", {" \"TAG\" "}},
                      QueryCase{"GET_FLASH_DETAILS", {3, "", 1}, "", {""}},
                      QueryCase{"STATUS", {5, "", 1}, "IDLE \"Startup\"", {"IDLE \"Startup\""}},
                      QueryCase{"status reset", {5, "reset", 1}, "IDLE \"Status reset to idle\"",
                                {"IDLE \"Status reset to idle\""}},
                      QueryCase{"DELETE old.s19", {4, "old.s19", 0}, nullptr, {}}));

TEST_F(ScriptFixture, DeleteWithoutAFileFails) {
  EXPECT_TRUE(Run("DELETE"));
  EXPECT_EQ(Log(), std::vector<std::string>{"Error> DELETE command missing filename"});
  EXPECT_TRUE(context_.queries.empty());
}

TEST_F(ScriptFixture, AQueryReplyIsTakenAheadOfOtherQueuedMessages) {
  context_.own.Post(platform::Message::Make<WM_REMOTE_COMMAND>(std::make_unique<std::string>("later")));
  context_.ReplyText("BUSY \"Flashing\"");
  EXPECT_FALSE(Run("STATUS"));
  EXPECT_EQ(remote_.Texts<WM_REMOTE_SEND>(), std::vector<std::string>{"BUSY \"Flashing\""});
  auto left = context_.own.TryGet();
  ASSERT_TRUE(left);
  EXPECT_EQ(left->number, WM_REMOTE_COMMAND);
}

struct OptionsCase {
  const char* line;
  std::uint32_t request;
  std::uint32_t reply;
  platform::WParam answer;
  bool fails;
  std::vector<std::string> tokens;  // SET's payload
};

class OptionsCommands : public ScriptFixture, public ::testing::WithParamInterface<OptionsCase> {};

TEST_P(OptionsCommands, WaitForTheAnswerAndFailOnZero) {
  const auto& c = GetParam();
  context_.Reply(c.reply, c.answer);
  EXPECT_EQ(Run(c.line), c.fails);
  auto messages = userIo_.Drain();
  ASSERT_EQ(messages.size(), 1u);  // nothing logged here: the user-I/O thread logs why
  EXPECT_EQ(messages[0].number, c.request);
  if (c.request == WM_SET_OPTION) {
    auto tokens = messages[0].Take<WM_SET_OPTION>();
    ASSERT_TRUE(tokens);
    EXPECT_EQ(*tokens, c.tokens);
  }
  EXPECT_TRUE(context_.own.Empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OptionsCommands,
    ::testing::Values(OptionsCase{"SET comm_protocol RS232 data_rate 115200", WM_SET_OPTION, WM_SET_OPTION_REPLY, 1,
                                  false, {"comm_protocol", "RS232", "data_rate", "115200"}},
                      OptionsCase{"SET", WM_SET_OPTION, WM_SET_OPTION_REPLY, 0, true, {}},
                      OptionsCase{"SET bogus", WM_SET_OPTION, WM_SET_OPTION_REPLY, 0, true, {"bogus"}},
                      OptionsCase{"SAVE_OPTIONS", WM_SAVE_OPTIONS, WM_SAVE_OPTIONS_REPLY, 1, false, {}},
                      OptionsCase{"SAVE_OPTIONS", WM_SAVE_OPTIONS, WM_SAVE_OPTIONS_REPLY, 0, true, {}},
                      OptionsCase{"RESTORE_OPTIONS", WM_RESTORE_OPTIONS, WM_RESTORE_OPTIONS_REPLY, 1, false, {}},
                      OptionsCase{"RESTORE_OPTIONS", WM_RESTORE_OPTIONS, WM_RESTORE_OPTIONS_REPLY, 0, true, {}}));

TEST_F(ScriptFixture, TransferFileHandsItsFourArgumentsToTheRemoteThread) {
  EXPECT_FALSE(Run("TRANSFER_FILE image.s19 5001 UPLOAD NOW extra"));
  auto messages = remote_.Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].number, WM_FILE_TRANSFER);
  auto arguments = messages[0].Take<WM_FILE_TRANSFER>();
  ASSERT_TRUE(arguments);
  EXPECT_EQ(*arguments, (std::vector<std::string>{"image.s19", "5001", "UPLOAD", "NOW"}));
  EXPECT_TRUE(Run("TRANSFER_FILE image.s19 5001 UPLOAD"));
  EXPECT_EQ(Log(), std::vector<std::string>{"Error> TRANSFER_FILE command incomplete"});
  EXPECT_TRUE(remote_.Drain().empty());
}

TEST_F(ScriptFixture, DownloadLatestProductsAsksTheUserIoThreadWithoutWaiting) {
  EXPECT_FALSE(Run("DOWNLOAD_LATEST_QLPS"));
  auto messages = userIo_.Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].number, WM_DOWNLOAD_PRODUCT_FILES);
  EXPECT_EQ(messages[0].wParam, 1u);
}

// A pack set with two packs built by the flashpack stand-in.
std::shared_ptr<CPackManager> TwoPacks() {
  lumbrapack::PackFileFields language;
  language.type = lumbrapack::kLanguagePack;
  language.name = u"Deutsch \u00e9";
  language.version[0] = 0x1A;
  language.version[1] = 2;
  language.version[2] = 3;
  language.version[3] = 4;
  language.buildLetter = 'R';
  language.build[0] = 0x0B;
  language.build[1] = 7;
  language.build[2] = 12;
  lumbrapack::PackFileFields theme;
  theme.type = static_cast<lumbrapack::PackType>(7);
  theme.name = u"Dark";
  // An erased partition of 64 KiB: an empty set with room for both.
  const std::vector<unsigned char> erased(64 * 1024, 0xFF);
  auto packs = std::make_shared<CPackManager>(erased.data(), static_cast<unsigned long>(erased.size()));
  auto first = lumbrapack::BuildPackFile(language, std::vector<unsigned char>(1000, 0x11));
  auto second = lumbrapack::BuildPackFile(theme, std::vector<unsigned char>(3000, 0x22));
  EXPECT_EQ(packs->AddPack(first.data(), static_cast<unsigned long>(first.size())), 1);
  EXPECT_EQ(packs->AddPack(second.data(), static_cast<unsigned long>(second.size())), 1);
  return packs;
}

TEST_F(ScriptFixture, FlashpackQueriesBeforeAnyExtractReplyTheErrorAndFail) {
  for (const char* line : {"FLASHPACK_GET_DETAILS", "FLASHPACK_GET_STATS"}) {
    EXPECT_TRUE(Run(line));
    EXPECT_EQ(remote_.Texts<WM_REMOTE_SEND>(), std::vector<std::string>{"\"Error> Flashpacks not extracted\""});
    EXPECT_EQ(Log(), std::vector<std::string>{"Error> Flashpacks not extracted"});
  }
}

TEST_F(ScriptFixture, FlashpackDetailsAndStatsDescribeThePackSet) {
  context_.packs = TwoPacks();
  lumbrapack::PackRecord first{}, second{};
  ASSERT_EQ(context_.packs->PackInfo(1, &first), 1);
  ASSERT_EQ(context_.packs->PackInfo(2, &second), 1);
  EXPECT_FALSE(Run("FLASHPACK_GET_DETAILS"));
  const std::string expected = "\"Deutsch \xc3\xa9,Language,1A.02.03.04,R0B.07.12," +
                               std::to_string((first.size + 512) / 1024) + ",Dark,7,01.00.00.00,A00.00.00," +
                               std::to_string((second.size + 512) / 1024) + "\"";
  EXPECT_EQ(remote_.Texts<WM_REMOTE_SEND>(), std::vector<std::string>{expected});
  EXPECT_FALSE(Run("FLASHPACK_GET_STATS"));
  const unsigned long total = context_.packs->m_totalMemory.load();
  const unsigned long free = context_.packs->FreeMemory();
  EXPECT_EQ(remote_.Texts<WM_REMOTE_SEND>(),
            std::vector<std::string>{"\"" + std::to_string(total) + "," + std::to_string(total - free) + "," +
                                     std::to_string(free) + "\""});
  EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace script_test
