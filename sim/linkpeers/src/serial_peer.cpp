#include "linkpeers/serial_peer.h"

namespace linkpeers {
namespace {

constexpr std::chrono::milliseconds kQuietGap{20};

}  // namespace

SerialPeer::SerialPeer() = default;

SerialPeer::~SerialPeer() { Stop(); }

bool SerialPeer::Start(const std::string& folder, int comNumber) {
  if (!pty_.Open()) return false;
  if (!folder.empty() && !pty_.LinkAs(folder, comNumber)) return false;
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void SerialPeer::Stop() {
  running_ = false;
  pty_.Cancel();
  if (thread_.joinable()) thread_.join();
  pty_.Unlink();
  pty_.Close();
}

void SerialPeer::Hangup() {
  running_ = false;
  pty_.Cancel();
  if (thread_.joinable()) thread_.join();
  pty_.Close();
}

void SerialPeer::SetMode(Mode mode) {
  std::lock_guard lock(lock_);
  mode_ = mode;
}

void SerialPeer::SetAnswer(std::vector<std::uint8_t> reply, int delayMs, bool echoFirst) {
  std::lock_guard lock(lock_);
  mode_ = Mode::Answer;
  answer_ = std::move(reply);
  answerDelayMs_ = delayMs;
  echoFirst_ = echoFirst;
}

void SerialPeer::SetBisyncKnobs(const BisyncKnobs& knobs) {
  std::lock_guard lock(lock_);
  mode_ = Mode::Bisync;
  bisync_.knobs = knobs;
}

void SerialPeer::Send(const std::vector<std::uint8_t>& bytes) {
  pty_.Write(bytes.data(), bytes.size(), std::chrono::milliseconds(2000));
}

void SerialPeer::SendFrame(const std::vector<std::uint8_t>& message, bool corrupt) {
  Send(BuildFrame(message, corrupt));
}

std::vector<std::uint8_t> SerialPeer::Received() {
  std::lock_guard lock(lock_);
  return received_;
}

std::vector<std::vector<std::uint8_t>> SerialPeer::Accepted() {
  std::lock_guard lock(lock_);
  return bisync_.accepted;
}

std::vector<std::string> SerialPeer::Transcript() {
  std::lock_guard lock(lock_);
  return bisync_.transcript;
}

bool SerialPeer::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::uint64_t seen;
    {
      std::lock_guard lock(lock_);
      seen = changes_;
    }
    if (condition()) return true;
    std::unique_lock lock(lock_);
    if (!changed_.wait_until(lock, end, [&] { return changes_ != seen; })) return condition();
  }
}

void SerialPeer::OnBytes(const std::uint8_t* data, std::size_t n) {
  std::unique_lock lock(lock_);
  received_.insert(received_.end(), data, data + n);
  switch (mode_) {
    case Mode::Silent: break;
    case Mode::Echo: {
      lock.unlock();
      pty_.Write(data, n, std::chrono::milliseconds(2000));
      lock.lock();
      break;
    }
    case Mode::Answer: pendingRequest_.insert(pendingRequest_.end(), data, data + n); break;
    case Mode::Bisync: {
      for (std::size_t i = 0; i < n; ++i) {
        BisyncPeer::Output out;
        bisync_.Feed(data[i], out);
        const int late = bisync_.knobs.answerLateMs;
        const bool corrupt = bisync_.knobs.corruptReply;
        if (out.replyDue) bisync_.knobs.corruptReply = false;
        lock.unlock();
        if (!out.bytes.empty()) pty_.Write(out.bytes.data(), out.bytes.size(), std::chrono::milliseconds(2000));
        if (out.replyDue) {
          if (late > 0) std::this_thread::sleep_for(std::chrono::milliseconds(late));
          SendFrame(out.reply, corrupt);
        }
        lock.lock();
      }
      break;
    }
  }
  ++changes_;
  changed_.notify_all();
}

// Answer mode: the request is complete after a quiet gap.
void SerialPeer::Flush(std::unique_lock<std::mutex>& lock) {
  if (mode_ != Mode::Answer || pendingRequest_.empty()) return;
  std::vector<std::uint8_t> request;
  request.swap(pendingRequest_);
  const auto reply = answer_;
  const int delay = answerDelayMs_;
  const bool echo = echoFirst_;
  lock.unlock();
  if (echo) Send(request);
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  if (!reply.empty()) Send(reply);
  lock.lock();
  ++changes_;
  changed_.notify_all();
}

void SerialPeer::Serve() {
  std::uint8_t buffer[512];
  while (running_) {
    const long n = pty_.Read(buffer, sizeof buffer, kQuietGap);
    if (n < 0) break;
    if (n > 0) {
      OnBytes(buffer, static_cast<std::size_t>(n));
      continue;
    }
    std::unique_lock lock(lock_);
    Flush(lock);
  }
}

}  // namespace linkpeers
