// TRANSFER_FILE as a remote client uses it: the client listens, the
// program connects back and carries one file prefixed by its length, at
// once or as a queued job whose progress STATUS shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "program_fixture.h"

namespace e2e {
namespace {

std::string BigEndianLength(std::uint32_t length) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((length >> shift) & 0xFF);
  return bytes;
}

std::string Contents(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((seed + i * 13 + (i >> 8)) & 0xFF);
  return bytes;
}

// The client's end of a transfer: a listener the program connects to.
class TransferPeer {
 public:
  TransferPeer() {
    int error = 0;
    listener_ = platform::TcpListener::Listen(0, 1, &error);
    EXPECT_TRUE(listener_.Valid()) << error;
  }
  std::uint16_t Port() const { return listener_.Port(); }

  // The program's connection, polling until it comes.
  platform::TcpSocket Accept() {
    std::optional<platform::TcpSocket> accepted;
    PollUntil([&] {
      int error = 0;
      accepted = listener_.Accept(&error);
      return accepted.has_value();
    });
    EXPECT_TRUE(accepted.has_value()) << "the program never connected";
    return accepted ? std::move(*accepted) : platform::TcpSocket();
  }

  // Everything the program sends until it closes; nullopt when it does
  // not close in time.
  static std::optional<std::string> ReceiveAll(platform::TcpSocket& socket) {
    std::string bytes;
    const auto end = Clock::now() + kDeadline;
    char buffer[65536];
    while (Clock::now() < end) {
      const auto got = socket.Receive(buffer, sizeof buffer, platform::Milliseconds(1000));
      if (got.status == platform::IoResult::Closed) return bytes;
      if (got.status == platform::IoResult::Ok) bytes.append(buffer, got.count);
      if (got.status == platform::IoResult::Error) return std::nullopt;
    }
    return std::nullopt;
  }

 private:
  platform::TcpListener listener_;
};

class E2eFileTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.Start());
    client = program.Connect();
    ASSERT_TRUE(client.Valid());
    ASSERT_EQ(client.Ask("STATUS RESET"), kIdle);
  }
  // Sends the request; the program answers OK at once.
  void Request(const std::string& file, std::uint16_t port, const char* direction, const char* when) {
    EXPECT_EQ(client.Ask("TRANSFER_FILE " + file + " " + std::to_string(port) + " " + direction + " " + when), "OK\n");
  }

  static constexpr char kIdle[] = "IDLE \"Status reset to idle\"\n";
  Program program;
  LineClient client;
};

TEST_F(E2eFileTransfer, AnUploadWritesTheFileAndPostsNoProgress) {
  TransferPeer peer;
  Request("up.bin", peer.Port(), "UPLOAD", "NOW");
  auto socket = peer.Accept();
  const std::string contents = Contents(256, 1);
  ASSERT_TRUE(socket.SendAll(BigEndianLength(256).data(), 4));
  ASSERT_TRUE(socket.SendAll(contents.data(), contents.size()));
  socket.Close();
  ASSERT_TRUE(program.WaitLog("Upload complete for up.bin, 256 bytes transferred"));
  EXPECT_EQ(program.Read("up.bin"), contents);
  EXPECT_EQ(client.Ask("STATUS"), kIdle);
  const auto log = program.LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "Uploading up.bin"), log.end());
}

TEST_F(E2eFileTransfer, DownloadsSendTheLengthAndTheBytes) {
  struct Case {
    std::string file;
    std::string contents;
  };
  program.Write("empty.bin", "");
  const std::vector<Case> table = {{"down.bin", Contents(100000, 5)}, {"empty.bin", ""}};
  for (const auto& c : table) {
    SCOPED_TRACE(c.file);
    program.Write(c.file, c.contents);
    TransferPeer peer;
    Request(c.file, peer.Port(), "DOWNLOAD", "NOW");
    auto socket = peer.Accept();
    EXPECT_EQ(TransferPeer::ReceiveAll(socket), BigEndianLength(static_cast<std::uint32_t>(c.contents.size())) + c.contents);
    EXPECT_TRUE(program.WaitLog("Downloading " + c.file));
    EXPECT_TRUE(program.WaitLog("Download complete for " + c.file + ", " + std::to_string(c.contents.size()) +
                                " bytes transferred"));
  }
  EXPECT_EQ(client.Ask("STATUS"), kIdle);
}

// A download of what is no regular file connects, sends nothing and
// closes.
TEST_F(E2eFileTransfer, ADownloadOfNoFileSendsNothing) {
  std::filesystem::create_directory(program.File("folder"));
  for (const char* name : {"missing.bin", "folder"}) {
    SCOPED_TRACE(name);
    TransferPeer peer;
    Request(name, peer.Port(), "DOWNLOAD", "NOW");
    auto socket = peer.Accept();
    EXPECT_EQ(TransferPeer::ReceiveAll(socket), "");
  }
  EXPECT_TRUE(program.WaitLogCount("Error> file transfer: file not found", 2));
}

TEST_F(E2eFileTransfer, AShortUploadKeepsWhatCameAndFails) {
  TransferPeer peer;
  Request("short.bin", peer.Port(), "UPLOAD", "NOW");
  auto socket = peer.Accept();
  const std::string contents = Contents(600, 9);
  ASSERT_TRUE(socket.SendAll(BigEndianLength(1000).data(), 4));
  ASSERT_TRUE(socket.SendAll(contents.data(), contents.size()));
  socket.Close();
  ASSERT_TRUE(program.WaitLog("Error> file transfer: file upload failed"));
  EXPECT_EQ(program.Read("short.bin"), contents);
}

// Nobody listens, or the port is none: the connect fails; a queued
// transfer still lets the queue go on (the DELETE after it runs).
TEST_F(E2eFileTransfer, NobodyListeningFailsTheConnectAndTheQueueGoesOn) {
  program.Write("gone.txt", "x");
  const std::string free = std::to_string(FreePort());
  const std::vector<std::string> lines = {"TRANSFER_FILE a.bin " + free + " DOWNLOAD NOW",
                                         "TRANSFER_FILE a.bin 70000 UPLOAD NOW", "TRANSFER_FILE a.bin 0 UPLOAD NOW",
                                         "TRANSFER_FILE a.bin " + free + " UPLOAD QUEUE"};
  for (const std::string& line : lines) {
    EXPECT_EQ(client.Ask(line), "OK\n") << line;
  }
  ASSERT_TRUE(client.Send("DELETE gone.txt"));
  EXPECT_TRUE(program.WaitLogCount("Error> file transfer: could not connect to socket", 4));
  EXPECT_TRUE(PollUntil([&] { return !program.Exists("gone.txt"); }));
  // The queued transfer failed: the run status says so, not DONE.
  EXPECT_TRUE(PollUntil([&] {
    return client.Ask("STATUS") == "ERROR \"Error> file transfer: could not connect to socket\"\n";
  }));
  EXPECT_FALSE(program.Exists("a.bin"));
}

// A station's client connects the moment the program listens and sends its
// first lines at once: a queued transfer that cannot connect and a DELETE
// behind it. Both are queued, however far the program's start has gone; the
// transfer fails, and the DELETE runs right after it.
TEST(E2eFileTransferAtStart, TheFirstLinesAreQueuedAndTheQueueGoesOnPastAFailedTransfer) {
  Program program;
  program.Write("gone.txt", "x");
  ASSERT_TRUE(program.Launch());
  platform::TcpSocket socket;
  ASSERT_TRUE(PollUntil([&] {
    int error = 0;
    socket = platform::ConnectTcp("127.0.0.1", program.Port(), std::chrono::seconds(2), &error);
    return socket.Valid();
  }));
  LineClient client(std::move(socket));
  const std::string port = std::to_string(FreePort());
  // The OK says the transfer is queued; the DELETE goes behind it.
  ASSERT_EQ(client.Ask("TRANSFER_FILE a.bin " + port + " UPLOAD QUEUE"), "OK\n");
  ASSERT_TRUE(client.Send("DELETE gone.txt"));
  EXPECT_TRUE(PollUntil([&] { return !program.Exists("gone.txt"); }, std::chrono::seconds(10)));
  const auto log = program.LogLines();
  const auto at = [&](const std::string& line) { return std::find(log.begin(), log.end(), line) - log.begin(); };
  EXPECT_LT(at("Starting remote transfer of file a.bin"), at("Error> file transfer: could not connect to socket"));
  EXPECT_LT(at("Error> file transfer: could not connect to socket"), at("Deleting gone.txt"));
  EXPECT_LT(at("Deleting gone.txt"), static_cast<std::ptrdiff_t>(log.size()));
  // The queue went on, but the transfer failed: the run status says so.
  EXPECT_TRUE(PollUntil([&] {
    return client.Ask("STATUS") == "ERROR \"Error> file transfer: could not connect to socket\"\n";
  }));
  EXPECT_FALSE(program.Exists("a.bin"));
}

// A queued upload shows its progress in whole percents as the bytes come.
TEST_F(E2eFileTransfer, AQueuedUploadShowsRisingPercentages) {
  TransferPeer peer;
  Request("queued.bin", peer.Port(), "UPLOAD", "QUEUE");
  auto socket = peer.Accept();
  const std::string contents = Contents(100000, 3);
  ASSERT_TRUE(socket.SendAll(BigEndianLength(100000).data(), 4));
  EXPECT_TRUE(program.WaitLog("Starting remote transfer of file queued.bin"));
  for (int quarter = 1; quarter <= 3; ++quarter) {
    ASSERT_TRUE(socket.SendAll(contents.data() + (quarter - 1) * 25000, 25000));
    const std::string busy = "BUSY \"Uploading " + std::to_string(quarter * 25) + "%\"\n";
    EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == busy; })) << busy;
  }
  ASSERT_TRUE(socket.SendAll(contents.data() + 75000, 25000));
  socket.Close();
  ASSERT_TRUE(program.WaitLog("Upload complete for queued.bin, 100000 bytes transferred"));
  EXPECT_EQ(program.Read("queued.bin"), contents);
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
}

// A queued download whose client reads slowly: every STATUS in between is
// BUSY with a percentage that never falls.
TEST_F(E2eFileTransfer, AQueuedDownloadShowsPercentagesThatNeverFall) {
  const std::string contents = Contents(8 << 20, 4);
  program.Write("big.bin", contents);
  TransferPeer peer;
  Request("big.bin", peer.Port(), "DOWNLOAD", "QUEUE");
  auto socket = peer.Accept();
  std::string received;
  std::vector<int> percents;
  char buffer[65536];
  const auto end = Clock::now() + kDeadline;
  while (received.size() < contents.size() + 4 && Clock::now() < end) {
    const std::string status = *client.Ask("STATUS");
    if (status.rfind("BUSY \"Downloading ", 0) == 0) percents.push_back(std::stoi(status.substr(18)));
    const auto got = socket.Receive(buffer, sizeof buffer, platform::Milliseconds(1000));
    if (got.status == platform::IoResult::Ok) received.append(buffer, got.count);
    if (got.status == platform::IoResult::Closed || got.status == platform::IoResult::Error) break;
  }
  EXPECT_EQ(TransferPeer::ReceiveAll(socket), "");
  EXPECT_EQ(received, BigEndianLength(8 << 20) + contents);
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_LE(percents.back(), 100);
  EXPECT_TRUE(program.WaitLog("Download complete for big.bin, 8388608 bytes transferred"));
}

}  // namespace
}  // namespace e2e
