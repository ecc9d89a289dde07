#include "data_plane.h"

#include <cstdlib>
#include <filesystem>

#include "platform/temp_folder.h"

namespace quor_pst {

namespace {

constexpr const char* kSocketVariable = "QUOR_PST_SOCKET";
constexpr std::size_t kMaxAttachLine = 256;
constexpr std::size_t kChunk = 4096;

void Answer(platform::Socket& socket, const std::string& text) {
  socket.Send(text.data(), text.size(), platform::Milliseconds(1000));
}

}  // namespace

DataPlane::DataPlane(AttachHandler& handler) : handler_(handler) {}

DataPlane::~DataPlane() {
  stop_ = true;
  waitSet_.Interrupt();
  if (thread_.joinable()) thread_.join();
  for (auto& peer : peers_) peer->Disconnect();
  listener_ = platform::UnixListener();
  if (!ownFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(ownFolder_, ec);
  }
}

bool DataPlane::Start() {
  const char* fromEnvironment = std::getenv(kSocketVariable);
  if (fromEnvironment && *fromEnvironment) {
    path_ = fromEnvironment;
  } else {
    ownFolder_ = platform::MakeTemporaryFolder("quor_pst-");
    if (ownFolder_.empty()) return false;
    path_ = ownFolder_ + "/devices.sock";
  }
  listener_ = platform::UnixListener::Listen(path_);
  if (!listener_.Valid()) return false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void DataPlane::Run() {
  while (!stop_) {
    std::vector<const platform::Socket*> sockets{&listener_};
    for (auto& p : pending_) sockets.push_back(&p.socket);
    for (auto& peer : peers_) sockets.push_back(&peer->Socket());
    auto ready = waitSet_.WaitReadable(sockets, platform::kInfinite);
    if (stop_) break;

    const std::size_t pendingCount = pending_.size();
    std::vector<bool> dropPending(pendingCount, false);
    std::vector<bool> dropPeer(peers_.size(), false);
    for (std::size_t index : ready) {
      if (index == 0) continue;
      if (index <= pendingCount) {
        dropPending[index - 1] = !ReadAttachLine(pending_[index - 1]);
      } else {
        std::size_t p = index - 1 - pendingCount;
        dropPeer[p] = !CarryBytes(peers_[p]);
      }
    }
    for (std::size_t i = peers_.size(); i-- > 0;) {
      if (dropPeer[i]) {
        handler_.Detached(peers_[i]);
        peers_.erase(peers_.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    for (std::size_t i = pendingCount; i-- > 0;) {
      if (dropPending[i]) pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    peers_.insert(peers_.end(), attached_.begin(), attached_.end());
    attached_.clear();
    if (!ready.empty() && ready.front() == 0) AcceptNew();
  }
}

void DataPlane::AcceptNew() {
  while (auto socket = listener_.Accept()) pending_.push_back(Pending{std::move(*socket), {}});
}

bool DataPlane::ReadAttachLine(Pending& pending) {
  char buffer[kChunk];
  auto got = pending.socket.Receive(buffer, sizeof buffer, platform::Milliseconds(0));
  if (got.status == platform::IoResult::Timeout) return true;
  if (got.status != platform::IoResult::Ok) return false;
  pending.line.append(buffer, got.count);
  auto end = pending.line.find('\n');
  if (end == std::string::npos) {
    if (pending.line.size() <= kMaxAttachLine) return true;
    Answer(pending.socket, "ERROR syntax\n");
    return false;
  }
  std::string rest = pending.line.substr(end + 1);
  std::string line = pending.line.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.pop_back();

  AttachParse parse = ParseAttachLine(line);
  if (!parse.request) {
    Answer(pending.socket, "ERROR " + parse.error + "\n");
    return false;
  }
  auto peer = std::make_shared<DevicePeer>(std::move(pending.socket));
  if (!rest.empty()) peer->Deliver(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
  std::string refusal = handler_.Attach(*parse.request, peer, [&] {
    static const std::string kOk = "OK\n";
    peer->Send(kOk.data(), kOk.size(), platform::Milliseconds(1000));
  });
  if (!refusal.empty()) {
    const std::string answer = "ERROR " + refusal + "\n";
    peer->Send(answer.data(), answer.size(), platform::Milliseconds(1000));
    peer->Disconnect();
    return false;
  }
  attached_.push_back(peer);
  return false;
}

bool DataPlane::CarryBytes(const std::shared_ptr<DevicePeer>& peer) {
  std::uint8_t buffer[kChunk];
  auto got = peer->ReceiveAvailable(buffer, sizeof buffer);
  if (got.status == platform::IoResult::Timeout) return true;
  if (got.status != platform::IoResult::Ok) {
    peer->Disconnect();
    return false;
  }
  peer->Deliver(buffer, got.count);
  return true;
}

}  // namespace quor_pst
