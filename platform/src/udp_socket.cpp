#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace platform {
namespace {

int SocketsError(int err) {
  switch (err) {
    case EAGAIN: return kWsaTimedOut;
    case EBADF:
    case ENOTSOCK: return kWsaNotSocket;
    case EADDRNOTAVAIL: return kWsaAddressNotAvailable;
    case ECONNREFUSED:
    case ECONNRESET: return kWsaConnectionReset;
    case EMSGSIZE: return kWsaMessageSize;
    default: return kWsaInvalidArgument;
  }
}

int PollMs(Milliseconds timeout) {
  if (timeout == kInfinite) return -1;
  return static_cast<int>(std::min<long long>(timeout.count(), 1 << 30));
}

}  // namespace

UdpSocket::~UdpSocket() {
  Close();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

int UdpSocket::Open(std::uint16_t localPort) { return OpenOn(INADDR_ANY, localPort); }
int UdpSocket::OpenLoopback(std::uint16_t localPort) { return OpenOn(INADDR_LOOPBACK, localPort); }

int UdpSocket::OpenOn(std::uint32_t address, std::uint16_t localPort) {
  Close();
  if (wakeFd_ < 0) wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return SocketsError(errno);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(address);
  local.sin_port = htons(localPort);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int err = SocketsError(errno);
    Close();
    return err;
  }
  return 0;
}

void UdpSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::uint16_t UdpSocket::LocalPort() const {
  sockaddr_in local{};
  socklen_t len = sizeof local;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &len) != 0) return 0;
  return ntohs(local.sin_port);
}

int UdpSocket::SendTo(const std::string& address, std::uint16_t port, const void* data, std::size_t length) {
  if (fd_ < 0) return kWsaNotSocket;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) return kWsaAddressNotAvailable;
  const ssize_t n = ::sendto(fd_, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  return n < 0 ? SocketsError(errno) : 0;
}

UdpReceive UdpSocket::ReceiveFrom(void* buffer, std::size_t size, Milliseconds timeout) {
  UdpReceive result;
  if (fd_ < 0) {
    result.error = kWsaNotSocket;
    return result;
  }
  pollfd p{fd_, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, PollMs(timeout));
  } while (r < 0 && errno == EINTR);
  if (r == 0) {
    result.error = kWsaTimedOut;
    return result;
  }
  sockaddr_in from{};
  socklen_t len = sizeof from;
  // MSG_TRUNC gives the datagram's real length when it is cut to the buffer.
  const ssize_t n = ::recvfrom(fd_, buffer, size, MSG_TRUNC | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) {
    result.error = SocketsError(errno);
    return result;
  }
  result.datagram = static_cast<std::size_t>(n);
  result.count = std::min(result.datagram, size);
  result.fromPort = ntohs(from.sin_port);
  return result;
}

bool UdpSocket::WaitReadable(Milliseconds timeout) {
  if (fd_ < 0) return false;
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  int r;
  do {
    r = ::poll(fds, 2, PollMs(timeout));
  } while (r < 0 && errno == EINTR);
  if (r <= 0 || fds[1].revents) return false;
  // A pending socket error counts as ready: the next receive reports it.
  return fds[0].revents != 0;
}

void UdpSocket::Interrupt() {
  const std::uint64_t one = 1;
  if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
}

}  // namespace platform
