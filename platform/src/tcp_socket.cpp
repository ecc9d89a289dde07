#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct ErrnoToSocketError {
  int error;
  int socketError;
};

// errno values to Windows Sockets error numbers.
constexpr ErrnoToSocketError kSocketErrors[] = {
    {EACCES, 10013},          {EFAULT, 10014},         {EINVAL, 10022},
    {EMFILE, 10024},          {ENFILE, 10024},         {EAGAIN, 10035},
    {EINPROGRESS, 10036},     {EALREADY, 10036},       {ENOTSOCK, 10038},
    {EBADF, 10038},           {EDESTADDRREQ, 10039},   {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},      {EAFNOSUPPORT, 10047},   {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},       {ENETUNREACH, 10051},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},     {EPIPE, 10054},
    {ENOBUFS, 10055},         {ENOMEM, 10055},         {EISCONN, 10056},
    {ENOTCONN, 10057},        {ESHUTDOWN, 10058},      {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},
};

constexpr int kWouldBlock = 10035;
constexpr int kTimedOut = 10060;
constexpr int kAddressNotAvailable = 10049;

void SetError(int* error, int value) {
  if (error) *error = value;
}

int Remaining(Milliseconds timeout, Clock::time_point start) {
  if (timeout == kInfinite) return -1;
  const auto left = std::chrono::duration_cast<Milliseconds>(start + timeout - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// poll() until the events come or the deadline passes; false on time-out.
bool WaitFor(int fd, short events, Milliseconds timeout, Clock::time_point start) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, Remaining(timeout, start));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return true;  // the call that follows reports the error
  }
}

std::string DottedAddress(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

}  // namespace

int SocketErrorFromErrno(int error) {
  if (error == 0) return 0;
  if (error == EWOULDBLOCK) return kWouldBlock;
  for (const auto& entry : kSocketErrors) {
    if (entry.error == error) return entry.socketError;
  }
  return error;
}

IoResult TcpSocket::ReceiveNow(void* buffer, std::size_t size, int* error) {
  SetError(error, 0);
  if (fd_ < 0) {
    SetError(error, SocketErrorFromErrno(ENOTSOCK));
    return {IoResult::Error, 0};
  }
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    if (n > 0) {
      // Quick-acknowledgement mode does not last: set again after every
      // receive, it sends the acknowledgement still pending.
      const int on = 1;
      ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
      return {IoResult::Ok, static_cast<std::size_t>(n)};
    }
    if (n == 0) return {size == 0 ? IoResult::Ok : IoResult::Closed, 0};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoResult::Timeout, 0};
    SetError(error, SocketErrorFromErrno(errno));
    return {IoResult::Error, 0};
  }
}

IoResult TcpSocket::SendWhole(const void* data, std::size_t size, Milliseconds timeout, int* error) {
  SetError(error, 0);
  if (fd_ < 0) {
    SetError(error, SocketErrorFromErrno(ENOTSOCK));
    return {IoResult::Error, 0};
  }
  const auto start = Clock::now();
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t sent = 0;
  while (sent < size) {
    const ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd_, POLLOUT, timeout, start)) {
        SetError(error, kTimedOut);
        return {IoResult::Timeout, sent};
      }
      continue;
    }
    const int cause = n < 0 ? errno : EPIPE;
    SetError(error, SocketErrorFromErrno(cause));
    return {cause == EPIPE || cause == ECONNRESET ? IoResult::Closed : IoResult::Error, sent};
  }
  return {IoResult::Ok, sent};
}

IoResult TcpSocket::SendNow(const void* data, std::size_t size, int* error) {
  SetError(error, 0);
  if (fd_ < 0) {
    SetError(error, SocketErrorFromErrno(ENOTSOCK));
    return {IoResult::Error, 0};
  }
  for (;;) {
    const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) return {IoResult::Ok, static_cast<std::size_t>(n)};
    if (n == 0) return {size == 0 ? IoResult::Ok : IoResult::Timeout, 0};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoResult::Timeout, 0};
    const int cause = errno;
    SetError(error, SocketErrorFromErrno(cause));
    return {cause == EPIPE || cause == ECONNRESET ? IoResult::Closed : IoResult::Error, 0};
  }
}

void TcpSocket::SetSendBufferSize(int bytes) {
  if (fd_ >= 0) ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

void TcpSocket::SetReceiveBufferSize(int bytes) {
  if (fd_ >= 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void TcpSocket::SetNoDelay(bool on) {
  const int value = on ? 1 : 0;
  if (fd_ >= 0) ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
}

void TcpSocket::Abort() {
  if (fd_ < 0) return;
  const linger reset{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  Close();
}

TcpListener TcpListener::Listen(std::uint16_t port, int backlog, int* error, const std::string& address) {
  SetError(error, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (!address.empty()) {
    const std::string dotted = address == "localhost" ? "127.0.0.1" : address;
    if (::inet_pton(AF_INET, dotted.c_str(), &local.sin_addr) != 1) {
      SetError(error, kAddressNotAvailable);
      return TcpListener();
    }
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetError(error, SocketErrorFromErrno(errno));
    return TcpListener();
  }
  TcpListener listener(fd);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(fd, backlog) != 0) {
    SetError(error, SocketErrorFromErrno(errno));
    return TcpListener();
  }
  return listener;
}

std::optional<TcpSocket> TcpListener::Accept(int* error) {
  SetError(error, 0);
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  for (;;) {
    const int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd >= 0) {
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return TcpSocket(fd, DottedAddress(peer), ntohs(peer.sin_port));
    }
    if (errno == EINTR) continue;
    SetError(error, SocketErrorFromErrno(errno));
    return std::nullopt;
  }
}

std::uint16_t TcpSocket::LocalPort() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

std::uint16_t TcpListener::Port() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

TcpSocket ConnectTcp(const std::string& address, std::uint16_t port, Milliseconds timeout, int* error) {
  SetError(error, 0);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  const std::string dotted = address == "localhost" ? "127.0.0.1" : address;
  if (::inet_pton(AF_INET, dotted.c_str(), &peer.sin_addr) != 1) {
    SetError(error, kAddressNotAvailable);
    return TcpSocket();
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetError(error, SocketErrorFromErrno(errno));
    return TcpSocket();
  }
  TcpSocket socket(fd, dotted, port);
  const auto start = Clock::now();
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      SetError(error, SocketErrorFromErrno(errno));
      return TcpSocket();
    }
    if (!WaitFor(fd, POLLOUT, timeout, start)) {
      SetError(error, kTimedOut);
      return TcpSocket();
    }
    int result = 0;
    socklen_t length = sizeof result;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0) result = errno;
    if (result != 0) {
      SetError(error, SocketErrorFromErrno(result));
      return TcpSocket();
    }
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return socket;
}

}  // namespace platform
