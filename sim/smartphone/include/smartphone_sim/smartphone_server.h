#pragma once
// Serves one simulated smartphone on a Unix-domain socket: the terminal
// library connects there (one connection at a time) and talks to the
// phone's session, which keeps its files across connections.

#include <atomic>
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

 private:
  void Serve();
  void ServeConnection(platform::Socket& peer);

  SmartphoneSession session_;
  platform::UnixListener listener_;
  platform::SocketWaitSet waits_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

}  // namespace smartphone_sim
