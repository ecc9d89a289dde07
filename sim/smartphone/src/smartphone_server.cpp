#include "smartphone_sim/smartphone_server.h"

#include <cstdint>

namespace smartphone_sim {

using platform::IoResult;
using platform::Milliseconds;

SmartphoneServer::SmartphoneServer(SessionFaults faults) : session_(faults) {}

SmartphoneServer::~SmartphoneServer() { Stop(); }

bool SmartphoneServer::Start(const std::string& path, std::string* error) {
  listener_ = platform::UnixListener::Listen(path, error);
  if (!listener_.Valid()) return false;
  stopping_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void SmartphoneServer::Stop() {
  stopping_ = true;
  ReleaseAnswers();
  waits_.Interrupt();
  if (thread_.joinable()) thread_.join();
  listener_.Close();
}

void SmartphoneServer::Serve() {
  while (!stopping_) {
    if (waits_.WaitReadable({&listener_}, platform::kInfinite).empty()) continue;
    auto peer = listener_.Accept();
    if (!peer) continue;
    ++connections_;
    ServeConnection(*peer);
  }
}

void SmartphoneServer::ServeConnection(platform::Socket& peer) {
  std::uint8_t buffer[4096];
  while (!stopping_) {
    if (waits_.WaitReadable({&peer}, platform::kInfinite).empty()) continue;
    IoResult r = peer.Receive(buffer, sizeof buffer, Milliseconds(0));
    if (r.status == IoResult::Timeout) continue;
    if (r.status != IoResult::Ok) return;  // the library disconnected
    const auto answer = session_.Feed(buffer, r.count);
    if (answer.empty()) continue;
    if (!PassGate() || !peer.SendAll(answer.data(), answer.size())) return;
  }
}

void SmartphoneServer::HoldAnswers() {
  std::lock_guard lock(gateMutex_);
  held_ = true;
}

void SmartphoneServer::ReleaseAnswers() {
  {
    std::lock_guard lock(gateMutex_);
    held_ = false;
  }
  gateChanged_.notify_all();
}

bool SmartphoneServer::WaitAnswerHeld(std::chrono::milliseconds timeout) {
  std::unique_lock lock(gateMutex_);
  return gateChanged_.wait_for(lock, timeout, [this] { return answerWaiting_; });
}

bool SmartphoneServer::PassGate() {
  std::unique_lock lock(gateMutex_);
  if (held_) {
    answerWaiting_ = true;
    gateChanged_.notify_all();
    gateChanged_.wait(lock, [this] { return !held_; });
    answerWaiting_ = false;
  }
  return !stopping_;
}

}  // namespace smartphone_sim
