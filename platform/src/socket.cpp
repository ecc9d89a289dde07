#include "platform/socket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline for poll(): -1 for no deadline.
int PollTimeout(Milliseconds timeout, Clock::time_point start) {
  if (timeout == kInfinite) return -1;
  auto left = std::chrono::duration_cast<Milliseconds>(start + timeout - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for the descriptor to be ready for the given events; false on time-out.
bool WaitReady(int fd, short events, Milliseconds timeout, Clock::time_point start) {
  for (;;) {
    pollfd p{fd, events, 0};
    int n = poll(&p, 1, PollTimeout(timeout, start));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return true;  // let the following call report the error
  }
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void Socket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void Socket::Shutdown() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

IoResult Socket::Receive(void* buffer, std::size_t size, Milliseconds timeout) {
  if (fd_ < 0) return {IoResult::Error, 0};
  if (size == 0) return {IoResult::Ok, 0};
  auto start = Clock::now();
  for (;;) {
    if (!WaitReady(fd_, POLLIN, timeout, start)) return {IoResult::Timeout, 0};
    ssize_t n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    if (n > 0) return {IoResult::Ok, static_cast<std::size_t>(n)};
    if (n == 0) return {IoResult::Closed, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
    if (errno == ECONNRESET) return {IoResult::Closed, 0};
    return {IoResult::Error, 0};
  }
}

IoResult Socket::Send(const void* data, std::size_t size, Milliseconds timeout) {
  if (fd_ < 0) return {IoResult::Error, 0};
  auto start = Clock::now();
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t sent = 0;
  while (sent < size) {
    if (!WaitReady(fd_, POLLOUT, timeout, start)) return {IoResult::Timeout, sent};
    ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET)) return {IoResult::Closed, sent};
    return {IoResult::Error, sent};
  }
  return {IoResult::Ok, sent};
}

SocketWaitSet::SocketWaitSet() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SocketWaitSet::~SocketWaitSet() {
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void SocketWaitSet::Interrupt() {
  std::uint64_t one = 1;
  if (wakeFd_ >= 0) {
    ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    (void)ignored;
  }
}

std::vector<std::size_t> SocketWaitSet::WaitReadable(const std::vector<const Socket*>& sockets,
                                                     Milliseconds timeout) {
  std::vector<pollfd> fds;
  fds.reserve(sockets.size() + 1);
  for (const Socket* s : sockets) fds.push_back({s ? s->fd_ : -1, POLLIN, 0});
  fds.push_back({wakeFd_, POLLIN, 0});
  auto start = Clock::now();
  std::vector<std::size_t> ready;
  int n;
  do {
    n = poll(fds.data(), fds.size(), PollTimeout(timeout, start));
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return ready;
  if (fds.back().revents != 0) {
    std::uint64_t count;
    ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
    (void)ignored;
  }
  for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
    if (fds[i].fd >= 0 && fds[i].revents != 0) ready.push_back(i);
  }
  return ready;
}

}  // namespace platform
