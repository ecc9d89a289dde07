#pragma once
// TCP over IPv4: a listener on a port, the connections it accepts (each
// remembers its peer's address and port as they were at the accept, so they
// can be named after the peer has gone), and connecting to a peer with a
// time-out. Failures are reported as Windows Sockets error numbers (10054
// for a connection reset, ...), which the program's error texts are keyed
// by. Sends never raise SIGPIPE.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/socket.h"

namespace platform {

// The Windows Sockets error number of an errno value (0 for 0, the errno
// value itself when it has no counterpart).
int SocketErrorFromErrno(int error);

class TcpSocket : public Socket {
 public:
  TcpSocket() = default;
  TcpSocket(TcpSocket&&) noexcept = default;
  TcpSocket& operator=(TcpSocket&&) noexcept = default;

  // Takes what has arrived (at most size bytes) without waiting: Ok with
  // count > 0; Timeout when nothing is there yet; Closed when the peer
  // ended the connection in order; Error with *error set otherwise (10054
  // for a reset). What it takes is acknowledged at once, not after the
  // delayed-acknowledgement time: a peer that holds its next small write
  // until the last one is acknowledged (Nagle's rule, on by default for
  // most clients' sockets) would otherwise wait some 40 ms for it.
  IoResult ReceiveNow(void* buffer, std::size_t size, int* error);
  // Sends every byte, waiting up to the time-out in all for room; on
  // failure count says how many went out and *error why (10060 for the
  // time-out).
  IoResult SendWhole(const void* data, std::size_t size, Milliseconds timeout, int* error);
  // Sends what the socket takes at once (at most size bytes) without
  // waiting: Ok with the count taken (count > 0); Timeout when it takes
  // nothing now; Closed when the peer has gone; Error with *error set.
  IoResult SendNow(const void* data, std::size_t size, int* error);

  // The kernel's buffer sizes for this connection (bytes); they bound how
  // much a peer that does not read can leave waiting in the kernel.
  void SetSendBufferSize(int bytes);
  void SetReceiveBufferSize(int bytes);
  // Small writes go out at once (true, as every connection made here
  // starts) or wait while earlier ones are unacknowledged (false, Nagle's
  // rule, as most clients' sockets do by default).
  void SetNoDelay(bool on);

  // Ends the connection at once with a reset instead of an orderly close,
  // as a client that vanishes does.
  void Abort();

  // The peer as it was when the connection was made.
  const std::string& PeerAddress() const { return peerAddress_; }
  std::uint16_t PeerPort() const { return peerPort_; }
  // This end's port (0 for an invalid socket).
  std::uint16_t LocalPort() const;

 private:
  TcpSocket(int fd, std::string address, std::uint16_t port)
      : Socket(fd), peerAddress_(std::move(address)), peerPort_(port) {}
  friend class TcpListener;
  friend class SocketNotifier;
  friend TcpSocket ConnectTcp(const std::string&, std::uint16_t, Milliseconds, int*);

  std::string peerAddress_;
  std::uint16_t peerPort_ = 0;
};

class TcpListener : public Socket {
 public:
  TcpListener() = default;
  TcpListener(TcpListener&&) noexcept = default;
  TcpListener& operator=(TcpListener&&) noexcept = default;

  // Listens on the port (port 0: a free port, see Port()) on every local
  // IPv4 address, or only on the given one (dotted text or "localhost");
  // an invalid listener on failure, with *error set (10048 when the port is
  // taken, 10049 for an address that is none of this machine's or no
  // address at all).
  static TcpListener Listen(std::uint16_t port, int backlog, int* error, const std::string& address = {});
  // A pending connection, without waiting; nullopt with *error 10035 when
  // none is waiting, or the accept's error.
  std::optional<TcpSocket> Accept(int* error);
  // The port the listener is bound to.
  std::uint16_t Port() const;

 private:
  explicit TcpListener(int fd) : Socket(fd) {}
  friend class SocketNotifier;
};

// Connects to address:port (dotted IPv4 text or "localhost"), giving up
// after the time-out; an invalid socket on failure, with *error set (10061
// refused, 10060 timed out, 10049 for an address that is not one).
TcpSocket ConnectTcp(const std::string& address, std::uint16_t port, Milliseconds timeout, int* error);

}  // namespace platform
