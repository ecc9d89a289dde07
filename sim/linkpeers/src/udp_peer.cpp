#include "linkpeers/udp_peer.h"

namespace linkpeers {

UdpPeer::~UdpPeer() { Stop(); }

bool UdpPeer::Start() {
  if (socket_.OpenLoopback(0) != 0) return false;
  port_ = socket_.LocalPort();
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void UdpPeer::Stop() {
  running_ = false;
  socket_.Interrupt();
  if (thread_.joinable()) thread_.join();
  socket_.Close();
}

void UdpPeer::SetMode(Mode mode, std::vector<std::uint8_t> reply) {
  std::lock_guard lock(lock_);
  mode_ = mode;
  reply_ = std::move(reply);
}

std::vector<std::vector<std::uint8_t>> UdpPeer::Received() {
  std::lock_guard lock(lock_);
  return received_;
}

void UdpPeer::Serve() {
  std::vector<std::uint8_t> buffer(65536);
  while (running_) {
    if (!socket_.WaitReadable(platform::kInfinite)) continue;
    const auto got = socket_.ReceiveFrom(buffer.data(), buffer.size(), std::chrono::milliseconds(0));
    if (got.error != 0) continue;
    std::vector<std::uint8_t> datagram(buffer.begin(), buffer.begin() + static_cast<long>(got.count));
    std::vector<std::uint8_t> answer;
    {
      std::lock_guard lock(lock_);
      received_.push_back(datagram);
      if (mode_ == Mode::Silent) continue;
      answer = mode_ == Mode::Echo ? datagram : reply_;
    }
    socket_.SendTo("127.0.0.1", got.fromPort, answer.data(), answer.size());
  }
}

}  // namespace linkpeers
