#include "radiosim/pty_front_end.h"

#include <algorithm>
#include <array>

namespace radiosim {
namespace {

constexpr auto kReadWait = std::chrono::milliseconds(200);
constexpr auto kWriteWait = std::chrono::milliseconds(2000);
// With line timing, bytes are handed on in pieces of about 2 ms of line
// time (at least 16 bytes): small enough to keep the line's timing, large
// enough that the wake-ups cost little.
std::size_t TimedPiece(std::uint32_t rate) { return std::max<std::size_t>(16, rate / 10 / 500); }

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
  // With line timing the radio takes from the pseudo-terminal only what
  // the line has carried, so the rest waits on the host's side as it
  // would in a UART's transmit buffer.
  while (running_) {
    const std::size_t readSize =
        radio_.Config().lineTiming ? std::min(buffer.size(), TimedPiece(pty_.HostBaudRate())) : buffer.size();
    const long count = pty_.Read(buffer.data(), readSize, kReadWait);
    if (count < 0) break;
    if (count == 0) continue;
    Deliver(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(count)), pty_.HostBaudRate());
  }
}

void PtyFrontEnd::Deliver(std::span<const std::uint8_t> bytes, std::uint32_t rate) {
  if (!radio_.Config().lineTiming || rate == 0) {
    radio_.Receive(bytes, rate);
    return;
  }
  const std::size_t size = TimedPiece(rate);
  for (std::size_t at = 0; at < bytes.size() && running_; at += size) {
    const auto piece = bytes.subspan(at, std::min(size, bytes.size() - at));
    toRadio_.Pass(piece.size(), rate);
    radio_.Receive(piece, rate);
  }
}

void PtyFrontEnd::SendToHost(std::span<const std::uint8_t> bytes) {
  const std::uint32_t rate = radio_.Config().lineTiming ? pty_.HostBaudRate() : 0;
  const std::size_t piece = rate == 0 ? bytes.size() : TimedPiece(rate);
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const auto part = bytes.subspan(at, std::min(piece, bytes.size() - at));
    toHost_.Pass(part.size(), rate, toRadio_.FreeAt());
    if (!pty_.Write(part.data(), part.size(), kWriteWait)) {
      radio_.GetTranscript().Add("tx failed: the host did not take " + std::to_string(bytes.size()) + " bytes");
      return;
    }
  }
}

}  // namespace radiosim
