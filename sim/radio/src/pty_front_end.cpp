#include "radiosim/pty_front_end.h"

#include <array>

namespace radiosim {
namespace {

constexpr auto kReadWait = std::chrono::milliseconds(200);
constexpr auto kWriteWait = std::chrono::milliseconds(2000);

}  // namespace

PtyFrontEnd::PtyFrontEnd(RadioSimulator& radio) : radio_(radio) {}

PtyFrontEnd::~PtyFrontEnd() { Stop(); }

bool PtyFrontEnd::Start() {
  if (running_) return true;
  if (!pty_.Open()) return false;
  radio_.AttachHost(this);
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

bool PtyFrontEnd::LinkAs(const std::string& folder, int comNumber) { return pty_.LinkAs(folder, comNumber); }

void PtyFrontEnd::Stop() {
  if (!running_.exchange(false)) return;
  pty_.Cancel();
  if (thread_.joinable()) thread_.join();
  radio_.AttachHost(nullptr);
  pty_.Unlink();
  pty_.Close();
}

void PtyFrontEnd::Serve() {
  std::array<std::uint8_t, 4096> buffer{};
  while (running_) {
    const long count = pty_.Read(buffer.data(), buffer.size(), kReadWait);
    if (count < 0) break;
    if (count == 0) continue;
    radio_.Receive(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(count)),
                   pty_.HostBaudRate());
  }
}

void PtyFrontEnd::SendToHost(std::span<const std::uint8_t> bytes) {
  if (!pty_.Write(bytes.data(), bytes.size(), kWriteWait))
    radio_.GetTranscript().Add("tx failed: the host did not take " + std::to_string(bytes.size()) + " bytes");
}

}  // namespace radiosim
