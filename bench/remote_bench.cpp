// The remote-control path on loopback: a client sends STATUS and waits for
// its reply line, over and over on one connection. The line goes through
// the remote-I/O thread, the script interpreter on a pre-processing thread
// and a user-I/O thread that answers the query, and the reply comes back
// the same way. Prints round trips per second and the median and
// 99th-percentile latency.
//
//   bench_remote [--seconds N]
//
// The pre-processing and user-I/O threads here are small stand-ins that do
// what the program's threads do for a remote line: run it with the
// interactive flags off, and answer a status query.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/quillon_exception.h"
#include "platform/tcp_socket.h"
#include "platform/worker_thread.h"
#include "shell/remote/remote_io_thread.h"
#include "shell/script/script_interpreter.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Query {
  std::int32_t kind;
  std::string argument;
  std::int32_t wantReply;
};

// Answers every query with the start-up status, as the user-I/O thread does.
class UserIoStandIn : public platform::WorkerThread {
 public:
  UserIoStandIn() {
    Map().On(WM_QUERY, [](platform::Message& m) {
      auto query = m.Take<Query>();
      if (query && query->wantReply) {
        PostToTarget(PT_PREPROCESSING, WM_QUERY_REPLY, std::make_unique<std::string>("IDLE \"Startup\""));
      } else {
        PostToTarget(PT_PREPROCESSING, WM_QUERY_REPLY);
      }
    });
    Map().On(WM_QUIT_THREAD, [this](platform::Message&) { PostQuitMessage(0); });
  }
};

// Runs remote lines through the interpreter, as the pre-processing thread does.
class PreprocessingStandIn : public platform::WorkerThread, private IScriptContext {
 public:
  PreprocessingStandIn() : interpreter_(*this) {
    Map().On(WM_REMOTE_COMMAND, [this](platform::Message& m) {
      auto line = m.Take<std::string>();
      try {
        interpreter_.RunRemoteLine(line ? *line : std::string());
      } catch (QUILLON_EXCEPTION) {
      }
    });
    Map().On(WM_QUIT_THREAD, [this](platform::Message&) { PostQuitMessage(0); });
  }

 private:
  int Interactive() const override { return 0; }
  int SecondRequest() const override { return 0; }
  int AskPrompt(std::int32_t) override { return 2; }
  std::optional<platform::Message> WaitForReply(std::uint32_t number) override { return WaitForMessage(number); }
  std::shared_ptr<CPackManager> SharePackManager() const override { return nullptr; }
  bool PostQuery(std::int32_t kind, const std::string& argument, std::int32_t wantReply) override {
    return PostToTarget(PT_USER_IO, WM_QUERY, std::make_unique<Query>(Query{kind, argument, wantReply})) != 0;
  }
  std::string ExpandShortcut(const std::string& path) const override { return path; }

  CScriptInterpreter interpreter_;
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 5;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
  }
  GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, 0);
  GetAppSettings().SetIntParam(OPTION_ENABLE_REMOTE_CONTROL, 1);

  UserIoStandIn userIo;
  PreprocessingStandIn preprocessing;
  CRemoteIOThread remote;
  SetTargetThread(PT_USER_IO, userIo.Id());
  SetTargetThread(PT_PREPROCESSING, preprocessing.Id());
  SetTargetThread(PT_REMOTE_IO, remote.Id());
  userIo.Create();
  preprocessing.Create();
  remote.Create(true);
  remote.Resume();
  const auto listenDeadline = Clock::now() + std::chrono::seconds(10);
  while (remote.ListeningPort() == 0 && Clock::now() < listenDeadline) std::this_thread::yield();
  if (remote.ListeningPort() == 0) {
    std::fprintf(stderr, "the remote-control server did not listen\n");
    return 1;
  }

  int error = 0;
  platform::TcpSocket client = platform::ConnectTcp("127.0.0.1", remote.ListeningPort(), std::chrono::seconds(10), &error);
  if (!client.Valid()) {
    std::fprintf(stderr, "connect failed: %d\n", error);
    return 1;
  }
  const std::string request = "STATUS\n";
  const std::string expected = "IDLE \"Startup\"\n";
  std::vector<double> latencies;
  std::string reply;
  char buffer[256];
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (Clock::now() < end) {
    const auto sent = Clock::now();
    if (!client.SendAll(request.data(), request.size())) break;
    reply.clear();
    while (reply.size() < expected.size()) {
      auto got = client.Receive(buffer, sizeof buffer, std::chrono::seconds(10));
      if (got.status != platform::IoResult::Ok) break;
      reply.append(buffer, got.count);
    }
    if (reply != expected) {
      std::fprintf(stderr, "unexpected reply '%s'\n", reply.c_str());
      return 1;
    }
    latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("STATUS round trips: %zu in %.2f s = %.0f per second (target 5000); latency median %.1f us, "
              "99th percentile %.1f us\n",
              latencies.size(), elapsed, static_cast<double>(latencies.size()) / elapsed, Percentile(latencies, 0.5),
              Percentile(latencies, 0.99));

  client.Close();
  for (platform::WorkerThread* thread : std::initializer_list<platform::WorkerThread*>{&remote, &preprocessing, &userIo}) {
    thread->Post(WM_QUIT_THREAD);
    thread->Join();
  }
  return 0;
}
