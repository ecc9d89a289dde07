#pragma once
// Connected stream sockets: sends and receives with time-outs, and a wait
// for readability on several sockets that another thread can interrupt.
// Sends never raise SIGPIPE; a peer that went away is a Closed result.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_queue.h"  // Milliseconds, kInfinite

namespace platform {

struct IoResult {
  enum Status { Ok, Closed, Timeout, Error };
  Status status = Error;
  std::size_t count = 0;  // bytes moved
};

class Socket {
 public:
  Socket() = default;
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool Valid() const { return fd_ >= 0; }
  void Close();
  // Ends both directions; a peer's blocked receive sees the end at once.
  void Shutdown();

  // Receives what is there (at most size bytes), waiting up to the time-out
  // for the first byte. Ok with count > 0, Closed when the peer has ended,
  // Timeout when nothing came.
  IoResult Receive(void* buffer, std::size_t size, Milliseconds timeout);
  // Sends all bytes, waiting up to the time-out in all; count says how many
  // went out when it fails.
  IoResult Send(const void* data, std::size_t size, Milliseconds timeout);
  // Sends all bytes or fails; true on success.
  bool SendAll(const void* data, std::size_t size) { return Send(data, size, kInfinite).status == IoResult::Ok; }

 protected:
  explicit Socket(int fd) : fd_(fd) {}
  int fd_ = -1;
  friend class SocketWaitSet;
  friend class UnixListener;
  friend Socket ConnectUnix(const std::string& path);
};

// Waits for any of several sockets to become readable (or ended).
class SocketWaitSet {
 public:
  SocketWaitSet();
  ~SocketWaitSet();
  SocketWaitSet(const SocketWaitSet&) = delete;
  SocketWaitSet& operator=(const SocketWaitSet&) = delete;

  // Indexes of the readable sockets; empty on time-out or interruption.
  std::vector<std::size_t> WaitReadable(const std::vector<const Socket*>& sockets, Milliseconds timeout);
  // Wakes a wait in progress (or the next one) from any thread.
  void Interrupt();

 private:
  int wakeFd_ = -1;
};

}  // namespace platform
