// A remote port changed while the program runs (Options, SET) is listened
// on at once, over real loopback sockets: the new port takes clients, the
// old one no longer does, a client already connected keeps working, and a
// port that cannot be had leaves remote control where it was.

#include <string>
#include <thread>

#include "remote_fixture.h"

namespace remote_test {
namespace {

// A port that was free a moment ago.
std::uint16_t FreePort() {
  int error = 0;
  auto probe = platform::TcpListener::Listen(0, 1, &error);
  EXPECT_TRUE(probe.Valid()) << error;
  return probe.Port();
}

// True when a server takes the connection. A client whose own port is the
// one it dials has connected to itself (TCP's simultaneous open), which
// happens now and then for a free port in the ephemeral range.
bool Connects(std::uint16_t port) {
  int error = 0;
  platform::TcpSocket client = platform::ConnectTcp("127.0.0.1", port, std::chrono::seconds(10), &error);
  return client.Valid() && client.LocalPort() != port;
}

class RemotePortChange : public RemoteFixture {
 protected:
  void TearDown() override {
    RemoteFixture::TearDown();
    GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, 0);
  }
  void ChangePort(std::uint16_t port) {
    GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, port);
    thread_->Post(WM_REMOTE_LISTEN);
  }
};

TEST_F(RemotePortChange, TheNewPortTakesClientsAtOnceAndTheOldOneNoLonger) {
  const std::uint16_t oldPort = port_;
  const std::uint16_t newPort = FreePort();
  ChangePort(newPort);
  ASSERT_TRUE(log_.WaitLine("Remote control listening on port " + std::to_string(newPort)));
  EXPECT_EQ(thread_->ListeningPort(), newPort);
  // The old listener is gone once the notifier has let go of it (a wait on
  // it in progress keeps it alive for that long).
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  while (Connects(oldPort) && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  EXPECT_FALSE(Connects(oldPort));

  port_ = newPort;
  auto client = Connect();
  Send(client, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("IDLE \"Startup\""));
  EXPECT_EQ(ReadLine(client), "IDLE \"Startup\"\n");
}

TEST_F(RemotePortChange, AConnectedClientKeepsWorkingAcrossTheChange) {
  auto client = Connect();
  const std::uint16_t newPort = FreePort();
  ChangePort(newPort);
  ASSERT_TRUE(log_.WaitLine("Remote control listening on port " + std::to_string(newPort)));
  Send(client, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
  thread_->Post<WM_REMOTE_SEND>(std::make_unique<std::string>("IDLE \"Startup\""));
  EXPECT_EQ(ReadLine(client), "IDLE \"Startup\"\n");
}

TEST_F(RemotePortChange, APortInUseIsLoggedAndRemoteControlStaysOnTheOldPort) {
  int error = 0;
  auto taken = platform::TcpListener::Listen(0, 1, &error);
  ASSERT_TRUE(taken.Valid());
  ChangePort(taken.Port());
  EXPECT_TRUE(log_.WaitLine("Error> socket: specified address is already in use"));
  EXPECT_TRUE(log_.WaitLine("Error> Unable to listen for remote connections on port " + std::to_string(taken.Port()) +
                            "; remote control stays on port " + std::to_string(port_)));
  EXPECT_EQ(thread_->ListeningPort(), port_);
  // The refused port is not kept: the options save and show the old one.
  EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_REMOTE_PORT), port_);
  auto client = Connect();
  Send(client, "STATUS\n");
  EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "STATUS");
}

TEST_F(RemotePortChange, TheSamePortChangesNothing) {
  thread_->Post(WM_REMOTE_LISTEN);
  Flush();
  for (const std::string& line : log_.Lines()) EXPECT_EQ(line.find("Remote control listening"), std::string::npos);
  EXPECT_EQ(thread_->ListeningPort(), port_);
  auto client = Connect();
}

}  // namespace
}  // namespace remote_test
