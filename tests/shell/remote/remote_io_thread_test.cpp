// The remote-control server against real TCP clients on loopback: lines cut
// from the byte stream, replies, one client at a time, closes and resets,
// remote control disabled, and the receive buffer's bound.

#include <cstdlib>
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

// Lines of a client that has gone may still be running; their replies never
// reach the next client.
TEST_F(RemoteIOThreadTest, RepliesOfAClientThatHasGoneNeverReachTheNext) {
  auto first = Connect();
  first.Close();
  EXPECT_TRUE(log_.WaitLine("Connection closed with 127.0.0.1"));
  auto next = Connect();
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("for the first"));
  EchoLinesDone();
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("for the next"));
  EXPECT_EQ(ReadLine(next), "for the next\n");
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

TEST_F(RemoteIOThreadTest, AReplyIsOneLineWhateverBreaksItsTextHeld) {
  auto client = Connect();
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("ERROR \"Error> Flash failed\r\nCheck the cable.\""));
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("a\nb\rc"));
  EXPECT_EQ(ReadLine(client), "ERROR \"Error> Flash failed. Check the cable.\"\n");
  EXPECT_EQ(ReadLine(client), "a b c\n");
}

// A client that reads nothing while its replies pile up past the output
// queue's cap: the thread never waits on it, serves the accept of a second
// client meanwhile, then drops the first and serves the next one.
TEST_F(RemoteIOThreadTest, AClientThatReadsNothingIsDroppedAtTheCapWithoutHoldingTheThread) {
  auto idle = Connect();
  idle.SetReceiveBufferSize(4096);
  const std::string reply(256 * 1024, 'r');
  for (int i = 0; i < 8; ++i) thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>(reply));
  // The thread answers the second connection at once though replies wait.
  auto second = Connect();
  EXPECT_TRUE(log_.WaitLine("Warning> Multiple connections attempted. Remote connection with 127.0.0.1 terminated"));
  EXPECT_TRUE(SeesClose(second));
  for (int i = 0; i < 24; ++i) thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>(reply));
  EXPECT_TRUE(log_.WaitLine("Warning> Remote client is not reading its replies (more than 4194304 bytes "
                            "waiting). Remote connection with 127.0.0.1 terminated"));
  EXPECT_TRUE(log_.WaitLine("Connection closed with 127.0.0.1"));
  EXPECT_EQ(GetAppSettings().GetAppInt(APP_INT_REMOTE_PEER_CONNECTED), 0);
  auto third = Connect();
  EchoLinesDone();
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("IDLE \"Startup\""));
  EXPECT_EQ(ReadLine(third), "IDLE \"Startup\"\n");
}

// A slow reader is served whole: what the socket does not take at once goes
// out as it takes it.
TEST_F(RemoteIOThreadTest, ASlowReaderGetsEveryReplyWholeAndInOrder) {
  auto client = Connect();
  client.SetReceiveBufferSize(256 * 1024);
  // More than the kernel holds at both ends, so part of it waits in the
  // output queue.
  std::vector<std::string> replies;
  for (int i = 0; i < 30; ++i) replies.push_back(std::to_string(i) + std::string(100 * 1024, static_cast<char>('a' + i % 26)));
  std::string expected;
  for (const auto& reply : replies) {
    thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>(reply));
    expected += reply + "\n";
  }
  std::string received;
  std::vector<char> buffer(64 * 1024);
  while (received.size() < expected.size()) {
    const auto result = client.Receive(buffer.data(), buffer.size(), kDeadline);
    ASSERT_EQ(result.status, platform::IoResult::Ok);
    received.append(buffer.data(), result.count);
  }
  EXPECT_TRUE(received == expected);
}

class RemoteSendTimeoutTest : public RemoteFixture {
 protected:
  void SetUp() override {
    ::setenv("QUILLON_REMOTE_SEND_TIMEOUT_MS", "300", 1);
    RemoteFixture::SetUp();
  }
  void TearDown() override {
    RemoteFixture::TearDown();
    ::unsetenv("QUILLON_REMOTE_SEND_TIMEOUT_MS");
  }
};

TEST_F(RemoteSendTimeoutTest, AClientThatTakesNothingForTheTimeOutIsDropped) {
  auto idle = Connect();
  idle.SetReceiveBufferSize(4096);
  // Below the cap, above what the kernel holds for it.
  for (int i = 0; i < 4; ++i) thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>(std::string(512 * 1024, 'r')));
  EXPECT_TRUE(log_.WaitLine("Warning> Remote client took no reply for 1 seconds. Remote connection with "
                            "127.0.0.1 terminated"));
  EXPECT_TRUE(log_.WaitLine("Connection closed with 127.0.0.1"));
  auto next = Connect();
  Send(next, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
}

class RemoteAddressTest : public RemoteFixture {
 protected:
  void SetUp() override {
    GetAppSettings().SetAppString(APP_STRING_REMOTE_ADDRESS, "127.0.0.2");
    RemoteFixture::SetUp();
  }
  void TearDown() override {
    RemoteFixture::TearDown();
    GetAppSettings().SetAppString(APP_STRING_REMOTE_ADDRESS, "");
  }
};

TEST_F(RemoteAddressTest, TheListenerTakesClientsOnItsAddressOnly) {
  int error = 0;
  auto elsewhere = platform::ConnectTcp("127.0.0.1", port_, std::chrono::seconds(10), &error);
  EXPECT_FALSE(elsewhere.Valid());
  EXPECT_EQ(error, 10061);
  auto client = platform::ConnectTcp("127.0.0.2", port_, std::chrono::seconds(10), &error);
  ASSERT_TRUE(client.Valid()) << error;
  // The client's own end is 127.0.0.1, the loopback's source address.
  EXPECT_TRUE(log_.WaitLine(EstablishedLine(client)));
  Send(client, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
}

struct BadAddressCase {
  const char* name;
  const char* address;
};

class RemoteBadAddress : public ::testing::TestWithParam<BadAddressCase> {};

TEST_P(RemoteBadAddress, IsLoggedAndNothingListens) {
  LogRecorder log;
  GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, 4321);
  GetAppSettings().SetAppString(APP_STRING_REMOTE_ADDRESS, GetParam().address);
  CRemoteIOThread thread;
  ASSERT_TRUE(thread.Create(false));
  EXPECT_TRUE(log.WaitLine("Error> socket: specified address not available from local machine"));
  EXPECT_TRUE(log.WaitLine(std::string("Error> Unable to listen for remote connections on ") + GetParam().address +
                           " port 4321"));
  EXPECT_EQ(thread.ListeningPort(), 0);
  thread.Post(WM_QUIT_THREAD);
  thread.Join();
  GetAppSettings().SetAppString(APP_STRING_REMOTE_ADDRESS, "");
}

INSTANTIATE_TEST_SUITE_P(Addresses, RemoteBadAddress,
                         ::testing::Values(BadAddressCase{"NotAnAddress", "300.1.1.1"},
                                           BadAddressCase{"AName", "station.local"},
                                           BadAddressCase{"NotThisMachines", "192.0.2.1"}),
                         [](const auto& info) { return std::string(info.param.name); });

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
