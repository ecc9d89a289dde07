// The remote-control server against real TCP clients on loopback: lines cut
// from the byte stream, replies, one client at a time, closes and resets,
// remote control disabled, and the receive buffer's bound.

#include <string>
#include <vector>

#include "remote_fixture.h"

namespace remote_test {
namespace {

class RemoteIOThreadTest : public RemoteFixture {};

struct CutCase {
  std::string sent;                   // then "END\n"
  std::vector<std::string> commands;  // posted to the pre-processing thread
};

class RemoteLineCutting : public RemoteFixture, public ::testing::WithParamInterface<CutCase> {};

TEST_P(RemoteLineCutting, PostsEachLineOnceInOrder) {
  auto client = Connect();
  Send(client, GetParam().sent);
  Send(client, "END\n");
  for (const auto& expected : GetParam().commands) EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), expected);
  EXPECT_FALSE(commands_.queue().TryGet());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RemoteLineCutting,
    ::testing::Values(CutCase{"STATUS\nLIST_FILES *.s19\n", {"STATUS", "LIST_FILES *.s19", "END"}},
                      CutCase{"STATUS\nSTA", {"STATUS", "STAEND"}},
                      CutCase{"\n", {"", "END"}},
                      CutCase{"STATUS RESET\r\n", {"STATUS RESET\r", "END"}},
                      CutCase{std::string("ST\0AT\0US\nDIR", 12), {"STATUS", "DIREND"}}));

TEST_F(RemoteIOThreadTest, ALineSplitAcrossReceivesIsPostedOnceWhenItsLineFeedArrives) {
  auto client = Connect();
  Send(client, "LIST_");
  Send(client, "FILES\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "LIST_FILES");
  Flush();
}

TEST_F(RemoteIOThreadTest, RepliesReachTheClientWholeAndInOrder) {
  auto client = Connect();
  std::string big(200 * 1024, 'x');
  for (std::size_t i = 0; i < big.size(); i += 97) big[i] = static_cast<char>('a' + i % 26);
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("IDLE \"Startup\""));
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>(big));
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>(""));
  EXPECT_EQ(ReadLine(client), "IDLE \"Startup\"\n");
  EXPECT_EQ(ReadLine(client), big + "\n");
  EXPECT_EQ(ReadLine(client), "\n");
}

TEST_F(RemoteIOThreadTest, ASecondClientIsRefusedWhileTheFirstKeepsWorking) {
  auto first = Connect();
  auto second = Connect();
  EXPECT_TRUE(log_.WaitLine("Warning> Multiple connections attempted. Remote connection with 127.0.0.1 terminated"));
  EXPECT_TRUE(SeesClose(second));
  Send(first, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("IDLE \"Startup\""));
  EXPECT_EQ(ReadLine(first), "IDLE \"Startup\"\n");
  EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_REMOTE_PEER_CONNECTED), 1);
}

TEST_F(RemoteIOThreadTest, ACloseFreesTheSlotAndDropsThePartialLine) {
  auto first = Connect();
  Send(first, "PARTIAL");
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("sync"));
  EXPECT_EQ(ReadLine(first), "sync\n");
  first.Close();
  EXPECT_TRUE(log_.WaitLine("Connection closed with 127.0.0.1"));
  EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_REMOTE_PEER_CONNECTED), 0);
  auto second = Connect();
  Send(second, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
}

TEST_F(RemoteIOThreadTest, AResetIsLoggedAndFreesTheSlotWithoutAnErrorBox) {
  auto first = Connect();
  first.Abort();
  EXPECT_TRUE(log_.WaitLine("Error> socket: connection reset by remote side"));
  EXPECT_TRUE(log_.WaitLine("Connection closed with 127.0.0.1"));
  auto second = Connect();
  Send(second, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
  for (const auto& line : log_.Lines()) EXPECT_EQ(line.find("Multiple"), std::string::npos) << line;
  // No error box was asked for.
  EXPECT_FALSE(log_.Next(WM_USER_PROMPT, std::chrono::milliseconds(0)));
}

TEST_F(RemoteIOThreadTest, AReplyWithoutAClientIsDroppedSilently) {
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("IDLE \"Startup\""));
  Flush();
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(RemoteIOThreadTest, AnOverlongLineIsDroppedWithAWarningAndNeverRuns) {
  auto client = Connect();
  const std::string flood(70 * 1024, 'A');
  Send(client, flood);
  EXPECT_TRUE(log_.WaitLine("Warning> socket read error"));
  Send(client, "TAIL OF IT\nSTATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
  Flush();
}

class RemoteDisabledTest : public RemoteFixture {
 protected:
  RemoteDisabledTest() { enableRemote_ = 0; }
};

TEST_F(RemoteDisabledTest, EveryClientIsLoggedThenClosed) {
  for (int i = 0; i < 2; ++i) {
    auto client = Connect();
    EXPECT_TRUE(log_.WaitLine("Error> Remote control is disabled. Remote connection with 127.0.0.1 terminated"));
    EXPECT_TRUE(SeesClose(client));
  }
  EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_REMOTE_PEER_CONNECTED), 0);
}

TEST(RemoteIOThreadListen, APortInUseIsLoggedWithItsSocketErrorText) {
  LogRecorder log;
  int error = 0;
  auto taken = platform::TcpListener::Listen(0, 1, &error);
  ASSERT_TRUE(taken.Valid());
  GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, taken.Port());
  CRemoteIOThread thread;
  ASSERT_TRUE(thread.Create(false));
  EXPECT_TRUE(log.WaitLine("Error> socket: specified address is already in use"));
  thread.Post(WM_QUIT_THREAD);
  thread.Join();
}

}  // namespace
}  // namespace remote_test
