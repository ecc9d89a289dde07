#include "platform/unix_socket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

UnixListener UnixListener::Listen(const std::string& path, std::string* error) {
  UnixListener listener;
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    if (error) *error = "socket path too long or empty: " + path;
    return listener;
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return listener;
  }
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
    if (error) *error = std::strerror(errno);
    ::close(fd);
    return listener;
  }
  listener.fd_ = fd;
  listener.path_ = path;
  return listener;
}

UnixListener::~UnixListener() {
  if (Valid() && !path_.empty()) ::unlink(path_.c_str());
}

std::optional<Socket> UnixListener::Accept() {
  if (!Valid()) return std::nullopt;
  for (;;) {
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) return Socket(fd);
    if (errno == EINTR) continue;
    return std::nullopt;
  }
}

Socket ConnectUnix(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, address)) return Socket();
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Socket();
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return Socket();
  }
  return Socket(fd);
}

}  // namespace platform
