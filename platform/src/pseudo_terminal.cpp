#include "platform/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "line_settings.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  return static_cast<int>(std::min<long long>(
      std::chrono::ceil<std::chrono::milliseconds>(left).count(), 1 << 30));
}

Clock::time_point DeadlineAfter(std::chrono::milliseconds timeout) {
  constexpr auto kLongest = std::chrono::hours(24 * 365);
  return Clock::now() + std::min<std::chrono::milliseconds>(timeout, kLongest);
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Open() {
  Close();
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  std::array<char, 128> name{};
  const bool ready = ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 &&
                     ::ptsname_r(master_, name.data(), name.size()) == 0 &&
                     ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) == 0;
  if (ready) {
    slavePath_ = name.data();
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  cancel_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!ready || slave_ < 0 || cancel_ < 0 || !detail::MakeRaw(slave_)) {
    Close();
    return false;
  }
  return true;
}

void PseudoTerminal::Close() {
  Unlink();
  CloseIfOpen(slave_);
  CloseIfOpen(master_);
  CloseIfOpen(cancel_);
  slavePath_.clear();
}

// Terminal requests on the master act on the slave, so this is what the host set.
bool PseudoTerminal::HostSettings(CommSettings& settings) const {
  return IsOpen() && detail::ReadLineSettings(master_, settings);
}

std::uint32_t PseudoTerminal::HostBaudRate() const {
  CommSettings settings;
  return HostSettings(settings) ? settings.baudRate : 0;
}

PseudoTerminal::WaitOutcome PseudoTerminal::WaitFor(short events, Clock::time_point deadline) const {
  for (;;) {
    std::array<pollfd, 2> p{{{master_, events, 0}, {cancel_, POLLIN, 0}}};
    const int r = ::poll(p.data(), p.size(), RemainingMs(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || p[1].revents) return WaitOutcome::Failed;
    if (r == 0) return Clock::now() >= deadline ? WaitOutcome::Timeout : WaitOutcome::Ready;
    if (p[0].revents & events) return WaitOutcome::Ready;
    return WaitOutcome::Failed;  // hang-up or error with nothing to do
  }
}

long PseudoTerminal::Read(void* buffer, std::size_t length, Milliseconds timeout) {
  if (!IsOpen() || Cancelled()) return -1;
  if (length == 0) return 0;
  const auto deadline = DeadlineAfter(timeout);
  for (;;) {
    const ssize_t n = ::read(master_, buffer, length);
    if (n > 0) return static_cast<long>(n);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return -1;
    switch (WaitFor(POLLIN, deadline)) {
      case WaitOutcome::Timeout: return 0;
      case WaitOutcome::Failed: return -1;
      case WaitOutcome::Ready: break;
    }
  }
}

std::size_t PseudoTerminal::ReadExact(void* buffer, std::size_t length, Milliseconds timeout) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  const auto deadline = DeadlineAfter(timeout);
  std::size_t got = 0;
  while (got < length) {
    const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now());
    const long n = Read(out + got, length - got, std::max(left, Milliseconds(0)));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

bool PseudoTerminal::Write(const void* buffer, std::size_t length, Milliseconds timeout) {
  if (!IsOpen() || Cancelled()) return false;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  const auto deadline = DeadlineAfter(timeout);
  std::size_t sent = 0;
  while (sent < length) {
    const ssize_t n = ::write(master_, in + sent, length - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (WaitFor(POLLOUT, deadline) != WaitOutcome::Ready) return false;
  }
  return true;
}

std::size_t PseudoTerminal::InputPending() const {
  int n = 0;
  if (!IsOpen() || ::ioctl(master_, FIONREAD, &n) != 0 || n < 0) return 0;
  return static_cast<std::size_t>(n);
}

void PseudoTerminal::Flush() {
  if (!IsOpen()) return;
  detail::FlushQueues(master_, true, false);  // the host's bytes not read yet
  detail::FlushQueues(slave_, true, false);   // ours, not read by the host yet
}

void PseudoTerminal::Cancel() {
  if (cancel_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(cancel_, &one, sizeof one);
}

bool PseudoTerminal::Cancelled() const {
  if (cancel_ < 0) return false;
  pollfd p{cancel_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

bool PseudoTerminal::LinkAs(const std::string& folder, int comNumber) {
  if (!IsOpen() || comNumber < 1) return false;
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path link = fs::path(folder) / ("COM" + std::to_string(comNumber));
  const fs::path temp = fs::path(folder) / (".COM" + std::to_string(comNumber) + "." +
                                           std::to_string(::getpid()) + "." + std::to_string(master_));
  fs::remove(temp, ec);
  fs::create_symlink(slavePath_, temp, ec);
  if (ec) return false;
  fs::rename(temp, link, ec);  // replaces an older link in one step
  if (ec) {
    fs::remove(temp, ec);
    return false;
  }
  Unlink();
  linkPath_ = link.string();
  return true;
}

void PseudoTerminal::Unlink() {
  if (linkPath_.empty()) return;
  std::error_code ec;
  // Only our own link: another terminal may have taken the name since.
  if (fs::is_symlink(linkPath_, ec) && fs::read_symlink(linkPath_, ec) == fs::path(slavePath_)) {
    fs::remove(linkPath_, ec);
  }
  linkPath_.clear();
}

}  // namespace platform
