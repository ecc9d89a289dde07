#pragma once
// A small HTTP/1.1 server on 127.0.0.1 (port chosen by the system) inside
// the test process. It serves one connection at a time from a table of
// replies by path (404 for any other path), closes every connection after
// its reply, and records each request's path and headers.

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpReply {
  HttpReply() = default;
  HttpReply(int s, std::string b, std::string l = {}) : status(s), body(std::move(b)), location(std::move(l)) {}

  int status = 200;
  std::string body;
  std::string location;               // sent as a Location header when set
  std::size_t cutAfter = std::string::npos;  // close after this many body bytes (the length announced in full)
  bool stallAfterCut = false;         // after the cut, hold the connection until the client gives up
};

struct RecordedRequest {
  std::string path;
  std::string headers;  // the raw header lines
};

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool Listening() const { return listenFd_ >= 0; }
  int Port() const { return port_; }
  std::string Url(const std::string& path) const;
  void Serve(const std::string& path, HttpReply reply);
  std::vector<RecordedRequest> Requests() const;

  // A port on 127.0.0.1 that nothing listens on (bound, then released).
  static int UnusedPort();

 private:
  void Run();
  void Handle(int fd);

  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  int port_ = 0;
  mutable std::mutex lock_;
  std::map<std::string, HttpReply> replies_;
  std::vector<RecordedRequest> requests_;
  std::thread thread_;
};
