#pragma once
// A remote-I/O thread under test with recording targets in place of the
// user-I/O thread (log lines, status), the pre-processing thread (command
// lines) and the core thread (queued jobs, finished transfers), and TCP
// clients on loopback. Every wait has a deadline.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "platform/target_registry.h"
#include "platform/tcp_socket.h"
#include "shell/remote/remote_io_thread.h"

namespace remote_test {

inline constexpr auto kDeadline = std::chrono::seconds(20);

// Reads messages of one number from a recording queue, with a deadline.
class Recorder {
 public:
  explicit Recorder(std::int32_t target) : target_(target) { SetTargetThread(target, queue_.handle()); }
  ~Recorder() { SetTargetThread(target_, platform::kNoHandle); }
  platform::MessageQueue& queue() { return queue_.queue(); }
  std::optional<platform::Message> Next(std::uint32_t number, std::chrono::milliseconds timeout = kDeadline) {
    return queue_.queue().TakeMatching(number, number, timeout);
  }
  // The next text of message M ("<none>" after the deadline).
  template <platform::MessageId M>
  std::string NextText() {
    auto message = Next(M);
    if (!message) return "<none>";
    auto text = message->Take<M>();
    return text ? *text : "<null>";
  }

 private:
  std::int32_t target_;
  platform::RegisteredQueue queue_;
};

// The log: every line seen is kept, so a wait can look back.
class LogRecorder : public Recorder {
 public:
  LogRecorder() : Recorder(PT_USER_IO) {}
  // Waits until a line equal to text has been logged.
  bool WaitLine(const std::string& text) {
    for (;;) {
      for (std::size_t i = consumed_; i < lines_.size(); ++i) {
        if (lines_[i] == text) {
          consumed_ = i + 1;
          return true;
        }
      }
      std::string next = NextText<WM_LOG_LINE>();
      if (next == "<none>") return false;
      lines_.push_back(next);
    }
  }
  // Every line logged so far (those still queued included).
  const std::vector<std::string>& Lines() {
    while (auto m = queue().TryGet()) {
      if (auto t = m->Take<WM_LOG_LINE>()) lines_.push_back(*t);
    }
    return lines_;
  }

 private:
  std::vector<std::string> lines_;
  std::size_t consumed_ = 0;
};

class RemoteFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, 0);
    GetAppSettings().SetIntParam(OPTION_ENABLE_REMOTE_CONTROL, enableRemote_);
    GetAppSettings().SetAppInt(APP_INT_REMOTE_PEER_CONNECTED, 0);
    thread_ = std::make_unique<CRemoteIOThread>();
    SetTargetThread(PT_REMOTE_IO, thread_->Id());
    ASSERT_TRUE(thread_->Create(true));
    ASSERT_EQ(thread_->Resume(), 1);
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (thread_->ListeningPort() == 0 && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    port_ = thread_->ListeningPort();
    ASSERT_NE(port_, 0);
  }
  void TearDown() override {
    if (thread_) {
      thread_->Post(WM_QUIT_THREAD);
      thread_->Join();
    }
    SetTargetThread(PT_REMOTE_IO, platform::kNoHandle);
    GetAppSettings().SetIntParam(OPTION_ENABLE_REMOTE_CONTROL, 0);
  }

  // A client connected to the server whose accept has been logged.
  platform::TcpSocket Connect() {
    int error = 0;
    platform::TcpSocket client = platform::ConnectTcp("127.0.0.1", port_, std::chrono::seconds(10), &error);
    EXPECT_TRUE(client.Valid()) << error;
    EXPECT_TRUE(log_.WaitLine(EstablishedLine(client)));
    return client;
  }
  std::string EstablishedLine(const platform::TcpSocket& client) const {
    return "Remote connection established with 127.0.0.1 on port " + std::to_string(LocalPort(client));
  }
  static std::uint16_t LocalPort(const platform::TcpSocket& client) { return client.LocalPort(); }

  static void Send(platform::TcpSocket& client, const std::string& text) {
    ASSERT_TRUE(client.SendAll(text.data(), text.size()));
  }
  // Reads until a line feed (or the deadline); the line with its line feed.
  static std::string ReadLine(platform::TcpSocket& client) {
    std::string text;
    char c = 0;
    while (client.Receive(&c, 1, kDeadline).status == platform::IoResult::Ok) {
      text.push_back(c);
      if (c == '\n') break;
    }
    return text;
  }
  // True when the server ends the connection (no data first).
  static bool SeesClose(platform::TcpSocket& client) {
    char c;
    return client.Receive(&c, 1, kDeadline).status == platform::IoResult::Closed;
  }
  // Waits until the thread has handled everything posted to it before: an
  // empty line posted behind it comes back as an empty command (use it only
  // while no partial line is pending).
  void Flush() {
    thread_->Post<WM_REMOTE_RECEIVE>(std::make_unique<std::string>("\n"));
    EXPECT_EQ(commands_.NextText<WM_REMOTE_COMMAND>(), "");
  }

  // Plays the pre-processing thread's part after a client has gone: the
  // marker goes back once the client's lines have run (here: at once).
  void EchoLinesDone() {
    auto marker = commands_.Next(WM_REMOTE_LINES_DONE);
    ASSERT_TRUE(marker.has_value());
    thread_->Post<WM_REMOTE_LINES_DONE>(marker->wParam);
  }

  int enableRemote_ = 1;
  LogRecorder log_;
  Recorder commands_{PT_PREPROCESSING};
  Recorder core_{PT_CORE};
  std::unique_ptr<CRemoteIOThread> thread_;
  std::uint16_t port_ = 0;
};

}  // namespace remote_test
