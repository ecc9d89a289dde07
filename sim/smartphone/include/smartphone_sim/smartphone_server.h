#pragma once
// Serves one simulated smartphone on a Unix-domain socket: the terminal
// library connects there (one connection at a time) and talks to the
// phone's session, which keeps its files across connections.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/unix_socket.h"
#include "smartphone_sim/smartphone_session.h"

namespace smartphone_sim {

class SmartphoneServer {
 public:
  explicit SmartphoneServer(SessionFaults faults = {});
  ~SmartphoneServer();
  SmartphoneServer(const SmartphoneServer&) = delete;
  SmartphoneServer& operator=(const SmartphoneServer&) = delete;

  // Starts listening at path; false (with *error) when that fails.
  bool Start(const std::string& path, std::string* error = nullptr);
  void Stop();

  SmartphoneSession& Session() { return session_; }
  int Connections() const { return connections_.load(); }

  // The answer gate: while it is held, the phone's next answer waits at the
  // gate and the phone reads nothing more from the link, so the command
  // that is running cannot end; releasing it sends the answer and serving
  // goes on. Stop releases it.
  void HoldAnswers();
  void ReleaseAnswers();
  // True once an answer waits at the held gate, within the time-out.
  bool WaitAnswerHeld(std::chrono::milliseconds timeout);

 private:
  void Serve();
  void ServeConnection(platform::Socket& peer);
  // Blocks while the gate is held; false when the server stops meanwhile.
  bool PassGate();

  SmartphoneSession session_;
  platform::UnixListener listener_;
  platform::SocketWaitSet waits_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::mutex gateMutex_;
  std::condition_variable gateChanged_;
  bool held_ = false;
  bool answerWaiting_ = false;
  std::thread thread_;
};

}  // namespace smartphone_sim
