#include "loopback_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kIoDeadlineMs = 30000;

// Requests to the loopback server never go through a proxy that the
// environment names: set before main, while the process has one thread.
const bool kLoopbackBypassesProxies = [] {
  ::setenv("no_proxy", "127.0.0.1", 1);
  ::setenv("NO_PROXY", "127.0.0.1", 1);
  return true;
}();

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

bool SendAll(int fd, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

int BindLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  listenFd_ = BindLoopback(port_);
  if (listenFd_ < 0 || ::listen(listenFd_, 16) != 0 || ::pipe2(wakeFds_, O_CLOEXEC) != 0) {
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return;
  }
  thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  if (thread_.joinable()) {
    const char stop = 's';
    [[maybe_unused]] const ssize_t n = ::write(wakeFds_[1], &stop, 1);
    thread_.join();
  }
  for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]}) {
    if (fd >= 0) ::close(fd);
  }
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::Serve(const std::string& path, HttpReply reply) {
  std::lock_guard<std::mutex> guard(lock_);
  replies_[path] = std::move(reply);
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

int LoopbackHttpServer::UnusedPort() {
  int port = 0;
  const int fd = BindLoopback(port);
  if (fd >= 0) ::close(fd);
  return port;
}

void LoopbackHttpServer::Run() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    const int connection = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Handle(connection);
    ::close(connection);
  }
}

void LoopbackHttpServer::Handle(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (!WaitReadable(fd, kIoDeadlineMs)) return;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  const std::size_t lineEnd = request.find("\r\n");
  const std::size_t pathStart = request.find(' ') + 1;
  const std::size_t pathEnd = request.find(' ', pathStart);
  RecordedRequest recorded{request.substr(pathStart, pathEnd - pathStart),
                           request.substr(lineEnd + 2, request.find("\r\n\r\n") - lineEnd - 2)};
  HttpReply reply;
  {
    std::lock_guard<std::mutex> guard(lock_);
    requests_.push_back(recorded);
    const auto found = replies_.find(recorded.path);
    if (found == replies_.end()) {
      reply.status = 404;
      reply.body = "not here";
    } else {
      reply = found->second;
    }
  }
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
  head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n";
  if (!reply.location.empty()) head += "Location: " + reply.location + "\r\n";
  head += "\r\n";
  if (!SendAll(fd, head + reply.body.substr(0, reply.cutAfter))) return;
  if (reply.stallAfterCut) {
    // Hold the connection open until the client ends it.
    while (WaitReadable(fd, kIoDeadlineMs) && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
  }
}
