#include "radiosim/pty_front_end.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/precise_sleeps.h"

namespace radiosim {
namespace {

constexpr auto kReadWait = std::chrono::milliseconds(200);
constexpr auto kWriteWait = std::chrono::milliseconds(2000);
// With line timing, bytes are handed on in pieces of about 2 ms of line
// time (at least 16 bytes): small enough to keep the line's timing, large
// enough that the wake-ups cost little.
std::size_t TimedPiece(std::uint32_t rate) { return std::max<std::size_t>(16, rate / 10 / 500); }
// What the radio sends goes out in finer pieces (about 0.2 ms of line
// time), so an acknowledgement reaches the host well before the reply
// that follows it, as on a real line.
std::size_t TimedSendPiece(std::uint32_t rate) { return std::max<std::size_t>(4, rate / 10 / 5000); }

}  // namespace

PtyFrontEnd::PtyFrontEnd(RadioSimulator& radio) : radio_(radio) {}

PtyFrontEnd::~PtyFrontEnd() { Stop(); }

bool PtyFrontEnd::Start() {
  if (running_) return true;
  if (!pty_.Open()) return false;
  radio_.AttachHost(this);
  running_ = true;
  thread_ = std::thread([this] { radio_.Config().lineTiming ? ServeTimed() : Serve(); });
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

// With line timing the radio takes the host's bytes from the
// pseudo-terminal only as the line carries them (the rest waits on the
// host's side, as in a UART's transmit buffer). Bytes that were already
// waiting continue the line's schedule, so a reader that wakes up late
// (a loaded machine) catches up instead of stretching the line; bytes the
// radio had to wait for start when they were read.
void PtyFrontEnd::ServeTimed() {
  // The pacer's sleeps end a piece when the line has carried it; the
  // system's usual slack would add up to 50 µs to every answer.
  platform::UsePreciseSleeps();
  std::array<std::uint8_t, 4096> buffer{};
  seenEmpty_ = LinePacer::Clock::now();
  while (running_) {
    const std::uint32_t rate = pty_.HostBaudRate();
    const auto checked = LinePacer::Clock::now();
    const bool waiting = pty_.InputPending() > 0;
    if (!waiting) seenEmpty_ = checked;
    const long count = pty_.Read(buffer.data(), std::min(buffer.size(), TimedPiece(rate)), kReadWait);
    if (count < 0) break;
    if (count == 0) {
      seenEmpty_ = LinePacer::Clock::now();  // nothing came while the read waited
      continue;
    }
    const auto now = LinePacer::Clock::now();
    NoteRead(now);
    // Bytes that came while the radio was sending came after its last byte
    // reached the host: the host answers what it has received.
    const auto notBefore = sentSinceRead_ ? std::max(seenEmpty_, toHost_.FreeAt()) : seenEmpty_;
    const auto written = toRadio_.WrittenAt(waiting, notBefore, now);
    sentSinceRead_ = false;
    if (pty_.InputPending() == 0) seenEmpty_ = LinePacer::Clock::now();
    Deliver(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(count)), rate, written);
  }
}

void PtyFrontEnd::Deliver(std::span<const std::uint8_t> bytes, std::uint32_t rate, LinePacer::Clock::time_point written) {
  if (rate == 0) {
    radio_.Receive(bytes, rate);
    return;
  }
  const std::size_t size = TimedPiece(rate);
  for (std::size_t offset = 0; offset < bytes.size() && running_; offset += size) {
    const auto piece = bytes.subspan(offset, std::min(size, bytes.size() - offset));
    NoteLateness(toRadio_.Pass(piece.size(), rate, written));
    if (timing_) {
      handedAt_ = LinePacer::Clock::now();
      answered_ = false;
    }
    radio_.Receive(piece, rate);
  }
}

void PtyFrontEnd::SendToHost(std::span<const std::uint8_t> bytes) {
  const std::uint32_t rate = radio_.Config().lineTiming ? pty_.HostBaudRate() : 0;
  sentSinceRead_ = true;
  const std::size_t piece = rate == 0 ? bytes.size() : TimedSendPiece(rate);
  if (timing_ && !answered_) {
    answered_ = true;
    const std::chrono::duration<double, std::micro> took = LinePacer::Clock::now() - handedAt_;
    std::lock_guard lock(timingsMutex_);
    timings_.turnaroundUs.push_back(took.count());
  }
  LinePacer::Clock::duration late{};
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const auto part = bytes.subspan(at, std::min(piece, bytes.size() - at));
    const bool last = at + part.size() == bytes.size();
    late = last ? toHost_.PassOnTime(part.size(), rate, toRadio_.FreeAt())
                : toHost_.Pass(part.size(), rate, toRadio_.FreeAt());
    NoteLateness(late);
    if (!pty_.Write(part.data(), part.size(), kWriteWait)) {
      radio_.GetTranscript().Add("tx failed: the host did not take " + std::to_string(bytes.size()) + " bytes");
      return;
    }
  }
  NoteAnswerSent(late);
}

void PtyFrontEnd::NoteLateness(LinePacer::Clock::duration late) {
  if (!timing_) return;
  std::lock_guard lock(timingsMutex_);
  timings_.latenessUs.push_back(std::chrono::duration<double, std::micro>(late).count());
}

void PtyFrontEnd::NoteRead(LinePacer::Clock::time_point at) {
  if (!timing_) return;
  std::lock_guard lock(timingsMutex_);
  timings_.readsAt.push_back(at);
}

void PtyFrontEnd::NoteAnswerSent(LinePacer::Clock::duration lastPieceLate) {
  if (!timing_) return;
  const auto now = LinePacer::Clock::now();
  std::lock_guard lock(timingsMutex_);
  timings_.answersSentAt.push_back(now);
  timings_.lastPieceLatenessUs.push_back(std::chrono::duration<double, std::micro>(lastPieceLate).count());
}

void PtyFrontEnd::StartTimings() {
  std::lock_guard lock(timingsMutex_);
  timings_ = {};
  timing_ = true;
}

PtyFrontEnd::Timings PtyFrontEnd::TakeTimings() {
  std::lock_guard lock(timingsMutex_);
  timing_ = false;
  return std::exchange(timings_, {});
}

}  // namespace radiosim
