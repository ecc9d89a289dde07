// Clients that do not read their replies, against the running program: the
// program never waits on them. A second client is refused at once while the
// first leaves thousands of replies unread; a client past the output cap,
// or one that takes nothing for the send time-out, is disconnected with its
// log line; the next client is served each time. And the -remote_address
// switch binds the port to one address.

#include <gtest/gtest.h>

#include <filesystem>

#include "program_fixture.h"

namespace e2e {
namespace {

constexpr int kTinyReceiveBuffer = 4096;
constexpr auto kPrompt = std::chrono::seconds(5);

const char kCapLine[] =
    "Warning> Remote client is not reading its replies (more than 4194304 bytes waiting). "
    "Remote connection with 127.0.0.1 terminated";

class E2eRemoteStall : public ::testing::Test {
 protected:
  // A client that shrinks its receive buffer and will read nothing.
  LineClient NonReadingClient() {
    LineClient client = program.Connect();
    EXPECT_TRUE(client.Valid());
    client.Socket().SetReceiveBufferSize(kTinyReceiveBuffer);
    EXPECT_TRUE(program.WaitLog("Remote connection established with 127.0.0.1 on port " +
                                std::to_string(client.LocalPort())));
    return client;
  }
  // A folder "many" whose LIST_FILES reply is about 21 KB.
  void MakeLongListing() {
    std::filesystem::create_directory(program.File("many"));
    for (int i = 0; i < 200; ++i) {
      char name[128];
      std::snprintf(name, sizeof name, "%s_%03d.s19", std::string(90, 'n').c_str(), i);
      program.Write(std::string("many/") + name, "");
    }
  }
  static std::string Lines(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line + "\r\n";
    return text;
  }
  // The next client gets its answer.
  void ExpectNextClientServed() {
    LineClient next = program.Connect();
    ASSERT_TRUE(next.Valid());
    EXPECT_EQ(next.Ask("LIST_PRODUCT_TAGS"), " \"VEXA20\" \n");
  }
  void ExpectNoTimeOutText() {
    for (const auto& line : program.LogLines()) {
      EXPECT_EQ(line.find("timed out"), std::string::npos) << line;
    }
  }

  Program program;
};

TEST_F(E2eRemoteStall, ANonReadingClientNeitherHoldsOffNorKeepsOutTheNext) {
  ASSERT_TRUE(program.Start());
  LineClient idle = NonReadingClient();
  ASSERT_TRUE(idle.SendRaw(Lines("LIST_FILES *.s19", 8000)));
  ASSERT_TRUE(program.WaitLogCount("Remote command: LIST_FILES *.s19", 8000, std::chrono::seconds(120)));
  // Its replies wait; the second client is accepted and closed at once.
  LineClient second = program.Connect();
  ASSERT_TRUE(second.Valid());
  EXPECT_TRUE(second.ClosedByPeer(kPrompt));
  EXPECT_TRUE(program.WaitLog("Warning> Multiple connections attempted. Remote connection with 127.0.0.1 terminated",
                              kPrompt));
  // Lines of the first still run.
  ASSERT_TRUE(idle.Send("DIRECTORY sub"));
  EXPECT_TRUE(program.WaitLog("Remote command: DIRECTORY sub", kPrompt));
  idle.Close();
  EXPECT_TRUE(program.WaitLog("Connection closed with 127.0.0.1"));
  ExpectNextClientServed();
  ExpectNoTimeOutText();
}

TEST_F(E2eRemoteStall, AClientPastTheOutputCapIsDisconnected) {
  ASSERT_TRUE(program.Start());
  MakeLongListing();
  LineClient idle = NonReadingClient();
  ASSERT_TRUE(idle.Send("DIRECTORY many"));
  ASSERT_TRUE(idle.SendRaw(Lines("LIST_FILES", 400)));
  EXPECT_TRUE(program.WaitLog(kCapLine, std::chrono::seconds(60)));
  EXPECT_TRUE(program.WaitLog("Connection closed with 127.0.0.1"));
  ExpectNextClientServed();
  ExpectNoTimeOutText();
}

TEST_F(E2eRemoteStall, AClientThatTakesNothingForTheSendTimeOutIsDisconnected) {
  ProgramOptions options;
  options.environment = {{"QUILLON_REMOTE_SEND_TIMEOUT_MS", "500"}};
  ASSERT_TRUE(program.Start(options));
  MakeLongListing();
  LineClient idle = NonReadingClient();
  ASSERT_TRUE(idle.Send("DIRECTORY many"));
  // About 2 MB: more than the kernel holds for it, less than the cap.
  ASSERT_TRUE(idle.SendRaw(Lines("LIST_FILES", 100)));
  EXPECT_TRUE(program.WaitLog(
      "Warning> Remote client took no reply for 1 seconds. Remote connection with 127.0.0.1 terminated"));
  EXPECT_TRUE(program.WaitLog("Connection closed with 127.0.0.1"));
  for (const auto& line : program.LogLines()) EXPECT_NE(line, kCapLine);
  ExpectNextClientServed();
}

TEST_F(E2eRemoteStall, TheRemoteAddressSwitchListensOnThatAddressOnly) {
  ProgramOptions options;
  options.arguments = {"-remote_address", "127.0.0.2"};
  ASSERT_TRUE(program.Start(options));
  LineClient client = program.Connect("127.0.0.2");
  ASSERT_TRUE(client.Valid());
  EXPECT_EQ(client.Ask("LIST_PRODUCT_TAGS"), " \"VEXA20\" \n");
  int error = 0;
  auto elsewhere = platform::ConnectTcp("127.0.0.1", program.Port(), std::chrono::seconds(2), &error);
  EXPECT_FALSE(elsewhere.Valid());
  EXPECT_EQ(error, 10061);
}

TEST_F(E2eRemoteStall, TheRemoteAddressSwitchWithoutAnAddressStopsTheProgram) {
  ProgramOptions options;
  options.arguments = {"/remote_address"};
  ASSERT_TRUE(program.Launch(options));
  EXPECT_EQ(program.WaitForExit(), 2);
  EXPECT_NE(program.Output().find("-remote_address needs the local address to listen on"), std::string::npos)
      << program.Output();
}

}  // namespace
}  // namespace e2e
