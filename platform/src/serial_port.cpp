#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "line_settings.h"
#include "platform/com_map.h"
#include "platform/serial_low_latency.h"
#include "platform/serial_trace.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// The device has no such line or control (a pseudo-terminal, say).
bool IsMissingLine(int err) { return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP; }

long long MillisecondsUntil(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  // Rounded up, so that a wait never ends just before its deadline and spins.
  return std::chrono::ceil<std::chrono::milliseconds>(left).count();
}

Clock::time_point After(std::uint64_t ms) {
  constexpr std::uint64_t kLongest = 1ull << 40;  // far beyond any real wait
  return Clock::now() + std::chrono::milliseconds(std::min(ms, kLongest));
}

bool ReturnsAtOnce(const CommTimeouts& t) {
  return t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 &&
         t.ReadTotalTimeoutConstant == 0;
}

bool WaitsForFirstByteOnly(const CommTimeouts& t) {
  return t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == kMaxDword &&
         t.ReadTotalTimeoutConstant > 0 && t.ReadTotalTimeoutConstant < kMaxDword;
}

std::optional<Clock::time_point> TotalDeadline(std::uint32_t multiplier, std::uint32_t constant,
                                               std::size_t length) {
  if (multiplier == 0 && constant == 0) return std::nullopt;
  return After(std::uint64_t{multiplier} * length + constant);
}

// Unix98 pseudo-terminal slaves have the character majors 136 to 143.
bool IsPseudoTerminalSlave(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned int deviceMajor = major(st.st_rdev);
  return deviceMajor >= 136 && deviceMajor <= 143;
}

// The bits a byte takes on the line: start, data, parity and stop bits.
double BitsPerByte(const CommSettings& settings) {
  const double stop = settings.stopBits == StopBits::One ? 1.0 : settings.stopBits == StopBits::Two ? 2.0 : 1.5;
  return 1.0 + settings.byteSize + (settings.parity == Parity::None ? 0.0 : 1.0) + stop;
}

}  // namespace

SerialPort::~SerialPort() {
  if (IsOpen()) Close();
}

SerialPort::SerialPort(SerialPort&& other) noexcept { *this = std::move(other); }

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
  if (this != &other) {
    // A port that holds nothing has nothing to close (and no failure to keep).
    if (IsOpen()) Close();
    fd_ = std::exchange(other.fd_, -1);
    lineAtOpen_ = other.lineAtOpen_;
    pseudoTerminal_ = other.pseudoTerminal_;
    transmit_ = other.transmit_;
    lineBytesPerSecond_ = other.lineBytesPerSecond_;
    timeouts_ = other.timeouts_;
    dtrControl_ = other.dtrControl_;
    rtsControl_ = other.rtsControl_;
    dsrOutFlow_ = other.dsrOutFlow_;
    lastError_ = other.lastError_;
    lastErrno_ = other.lastErrno_;
    openFailure_ = other.openFailure_;
  }
  return *this;
}

bool SerialPort::Fail(int err) {
  lastErrno_ = err;
  lastError_ = WindowsErrorOf(err);
  return false;
}

bool SerialPort::FailOpen(const std::string& path, int err) {
  openFailure_ = path + ": " + std::strerror(err);
  return Fail(err);
}

// A COM port without its link in the COM map folder fell back to
// /dev/ttyS<n-1>; when that does not open either, the failure names the link
// the user has to make, with the fallback's own reason after it.
bool SerialPort::FailOpenMissingLink(const std::string& name, const std::string& path, int err) {
  const std::optional<std::string> link = MissingComLink(name);
  if (!link) return FailOpen(path, err);
  openFailure_ = *link + ": " + std::strerror(ENOENT) + " (no such link in " + ComDirectory() + "; " + path +
                 ", tried in its place: " + std::strerror(err) + ")";
  return Fail(err);
}

bool SerialPort::Open(const std::string& name) {
  const std::string path = ResolvePortName(name);
  if (IsOpen()) return FailOpen(path, EBUSY);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FailOpenMissingLink(name, path, errno);
  // Exclusive like a Windows COM handle. TIOCEXCL keeps out other users, but
  // not root; the lock keeps out every other opener that goes through here.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    return FailOpen(path, err == EWOULDBLOCK ? EBUSY : err);
  }
  ::ioctl(fd, TIOCEXCL);
  TerminalLine found;
  detail::SaveLine(fd, found);  // none where the device is no terminal
  detail::MakeRaw(fd);  // fails only where the device is no terminal; SetState then says so
  RequestLowLatency(fd, path);  // a driver that refuses leaves the port as it is
  fd_ = fd;
  lineAtOpen_ = found;
  pseudoTerminal_ = IsPseudoTerminalSlave(fd);
  transmit_ = TransmitClock{};
  lineBytesPerSecond_ = 0;
  timeouts_ = {};
  dtrControl_ = DtrControl::Enable;
  rtsControl_ = RtsControl::Enable;
  dsrOutFlow_ = false;
  lastError_ = 0;
  lastErrno_ = 0;
  openFailure_.clear();
  return true;
}

bool SerialPort::Close() {
  if (!IsOpen()) return Fail(EBADF);
  const int fd = std::exchange(fd_, -1);
  ::ioctl(fd, TIOCNXCL);  // the terminal outlives us where a simulator holds it open
  if (::close(fd) != 0) return Fail(errno);
  return true;
}

bool SerialPort::GetState(CommSettings& settings) {
  if (!IsOpen()) return Fail(EBADF);
  if (!detail::ReadLineSettings(fd_, settings)) return Fail(errno);
  settings.dtrControl = dtrControl_;
  settings.rtsControl = rtsControl_;
  settings.dsrOutFlow = dsrOutFlow_;
  return true;
}

bool SerialPort::SetState(const CommSettings& settings) {
  if (!IsOpen()) return Fail(EBADF);
  if (settings.baudRate == 0 || settings.byteSize < 5 || settings.byteSize > 8) return Fail(EINVAL);
  if (!detail::WriteLineSettings(fd_, settings)) return Fail(errno);
  if (!ApplyModemControls(settings)) return false;
  dtrControl_ = settings.dtrControl;
  rtsControl_ = settings.rtsControl;
  dsrOutFlow_ = settings.dsrOutFlow;
  lineBytesPerSecond_ = settings.baudRate / BitsPerByte(settings);
  if (pseudoTerminal_) transmit_.SetLine(settings.baudRate, BitsPerByte(settings));
  return true;
}

bool SerialPort::ApplyModemControls(const CommSettings& settings) {
  const bool dtr = settings.dtrControl != DtrControl::Disable;
  const bool rts = settings.rtsControl == RtsControl::Enable || settings.rtsControl == RtsControl::Handshake;
  return EscapeFunction(dtr ? ModemLine::SetDtr : ModemLine::ClearDtr) &&
         EscapeFunction(rts ? ModemLine::SetRts : ModemLine::ClearRts);
}

bool SerialPort::RestoreLine(const TerminalLine& line) {
  if (!IsOpen()) return Fail(EBADF);
  if (!detail::RestoreLine(fd_, line)) return Fail(errno);
  return true;
}

bool SerialPort::GetTimeouts(CommTimeouts& timeouts) const {
  if (!IsOpen()) return false;
  timeouts = timeouts_;
  return true;
}

bool SerialPort::SetTimeouts(const CommTimeouts& timeouts) {
  if (!IsOpen()) return Fail(EBADF);
  timeouts_ = timeouts;
  return true;
}

bool SerialPort::ReadAvailable(std::uint8_t* out, std::size_t room, std::size_t& got, bool* ended) {
  got = 0;
  while (room > 0) {
    const ssize_t n = ::read(fd_, out + got, room);
    if (n > 0) {
      if (SerialTrace* trace = InstalledSerialTrace()) trace->BytesRead(static_cast<std::size_t>(n));
      got += static_cast<std::size_t>(n);
      room -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n == 0) {
      if (ended) *ended = true;
      return true;
    }
    return Fail(errno);
  }
  return true;
}

// Waits until a byte can be read; the time-out -1 waits without limit. False
// on a failure (the line hung up with nothing left to read); a time-out is
// true, the caller sees it from the clock.
bool SerialPort::WaitReadable(long long timeoutMs) {
  pollfd p{fd_, POLLIN, 0};
  const int wait = timeoutMs < 0 ? -1 : static_cast<int>(std::min<long long>(timeoutMs, 1 << 30));
  const int r = ::poll(&p, 1, wait);
  if (r < 0) return errno == EINTR ? true : Fail(errno);
  if (r > 0 && !(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return Fail(EIO);
  return true;
}

bool SerialPort::Read(void* buffer, std::size_t length, std::size_t& read) {
  read = 0;
  if (!IsOpen()) return Fail(EBADF);
  if (length == 0) return true;
  auto* out = static_cast<std::uint8_t*>(buffer);
  const CommTimeouts t = timeouts_;
  std::size_t got = 0;

  if (ReturnsAtOnce(t)) {
    if (!ReadAvailable(out, length, got)) return false;
    read = got;
    return true;
  }
  if (WaitsForFirstByteOnly(t)) {
    if (!ReadAvailable(out, length, got)) return false;
    if (got == 0) {
      if (!WaitReadable(t.ReadTotalTimeoutConstant)) return false;
      if (!ReadAvailable(out, length, got)) return false;
    }
    read = got;
    return true;
  }

  const auto total = TotalDeadline(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, length);
  const bool intervalUsed = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMaxDword;
  Clock::time_point lastByte{};
  while (read < length) {
    bool ended = false;
    if (!ReadAvailable(out + read, length - read, got, &ended)) return false;
    if (got > 0) {
      read += got;
      lastByte = Clock::now();
      if (read == length) break;
    }
    if (ended) break;  // end of file: nothing more will come
    std::optional<Clock::time_point> deadline = total;
    if (intervalUsed && read > 0) {
      const auto gapEnd = lastByte + std::chrono::milliseconds(t.ReadIntervalTimeout);
      deadline = deadline ? std::min(*deadline, gapEnd) : gapEnd;
    }
    long long wait = -1;
    if (deadline) {
      wait = MillisecondsUntil(*deadline);
      if (wait == 0) break;
    }
    if (!WaitReadable(wait)) return false;
  }
  return true;
}

bool SerialPort::Write(const void* buffer, std::size_t length, std::size_t& written) {
  written = 0;
  if (!IsOpen()) return Fail(EBADF);
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  if (SerialTrace* trace = InstalledSerialTrace(); trace && length > 0) trace->WriteStarting(length);
  const auto deadline =
      TotalDeadline(timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant, length);
  while (written < length) {
    const ssize_t n = ::write(fd_, in + written, length - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Fail(errno);
    long long wait = -1;
    if (deadline) {
      wait = MillisecondsUntil(*deadline);
      if (wait == 0) break;  // the write time-out: a success with fewer bytes
    }
    pollfd p{fd_, POLLOUT, 0};
    const int r = ::poll(&p, 1, wait < 0 ? -1 : static_cast<int>(std::min<long long>(wait, 1 << 30)));
    if (r < 0 && errno != EINTR) return Fail(errno);
    if (r > 0 && !(p.revents & POLLOUT) && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return Fail(EIO);
  }
  if (pseudoTerminal_) transmit_.Sent(written);
  return true;
}

bool SerialPort::WaitForInput(std::uint32_t timeoutMs, bool& ready) {
  ready = false;
  if (!IsOpen()) return Fail(EBADF);
  const auto deadline = After(timeoutMs);
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0) return Fail(errno);
    if (queued > 0) {
      ready = true;
      return true;
    }
    const long long wait = MillisecondsUntil(deadline);
    if (wait == 0) return true;
    if (!WaitReadable(wait)) return false;
  }
}

bool SerialPort::WaitForOutputDrained(std::uint32_t timeoutMs, bool& drained) {
  drained = false;
  if (!IsOpen()) return Fail(EBADF);
  const auto deadline = After(timeoutMs);
  for (;;) {
    CommStatus status;
    if (!ClearError(&status)) return false;
    if (status.outQueue == 0) {
      drained = true;
      return true;
    }
    const auto now = Clock::now();
    if (now >= deadline) return true;
    std::this_thread::sleep_until(std::min(deadline, now + TimeToSend(status.outQueue)));
  }
}

// How long the line takes to send the queued bytes; a short pause where the
// rate is not known, so that a wait still makes progress.
Clock::duration SerialPort::TimeToSend(std::uint32_t queued) const {
  using std::chrono::microseconds;
  constexpr auto kShortest = microseconds(50);
  constexpr auto kUnknownRate = std::chrono::milliseconds(1);
  if (pseudoTerminal_ && transmit_.IdleAt() > Clock::now()) {
    return std::max<Clock::duration>(transmit_.IdleAt() - Clock::now(), kShortest);
  }
  if (lineBytesPerSecond_ <= 0) return kUnknownRate;
  const auto wait = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(queued / lineBytesPerSecond_));
  return std::max<Clock::duration>(wait, kShortest);
}

bool SerialPort::Purge(std::uint32_t flags) {
  if (!IsOpen()) return Fail(EBADF);
  // The abort flags end pending overlapped operations; this port has none.
  const bool rx = flags & kPurgeRxClear;
  // A pseudo-terminal has no transmit queue of its own: what the slave
  // wrote already sits in the master's input, and flushing it there would
  // destroy bytes that have left the port. A real port's transmit queue
  // is empty anyway once a write has drained. The bytes the transmit clock
  // still counts have reached the far side too, so they stay counted.
  const bool tx = (flags & kPurgeTxClear) && !pseudoTerminal_;
  if (!rx && !tx) return true;
  if (!detail::FlushQueues(fd_, rx, tx)) return Fail(errno);
  return true;
}

bool SerialPort::ClearError(CommStatus* status) {
  if (!IsOpen()) return Fail(EBADF);
  int in = 0;
  int out = 0;
  if (::ioctl(fd_, FIONREAD, &in) != 0) return Fail(errno);
  if (::ioctl(fd_, TIOCOUTQ, &out) != 0) return Fail(errno);
  if (status) {
    status->errors = 0;
    status->inQueue = static_cast<std::uint32_t>(std::max(in, 0));
    const std::uint32_t queued = static_cast<std::uint32_t>(std::max(out, 0));
    status->outQueue = pseudoTerminal_ ? std::max(queued, transmit_.Queued()) : queued;
  }
  return true;
}

bool SerialPort::GetModemStatus(std::uint32_t& bits) {
  bits = 0;
  if (!IsOpen()) return Fail(EBADF);
  int lines = 0;
  if (::ioctl(fd_, TIOCMGET, &lines) != 0) return IsMissingLine(errno) ? true : Fail(errno);
  if (lines & TIOCM_CTS) bits |= kCtsOn;
  if (lines & TIOCM_DSR) bits |= kDsrOn;
  if (lines & TIOCM_RNG) bits |= kRingOn;
  if (lines & TIOCM_CAR) bits |= kRlsdOn;
  return true;
}

bool SerialPort::ChangeModemBits(unsigned long request, int bits) {
  if (::ioctl(fd_, request, &bits) != 0 && !IsMissingLine(errno)) return Fail(errno);
  return true;
}

bool SerialPort::EscapeFunction(ModemLine line) {
  if (!IsOpen()) return Fail(EBADF);
  switch (line) {
    case ModemLine::SetDtr: return ChangeModemBits(TIOCMBIS, TIOCM_DTR);
    case ModemLine::ClearDtr: return ChangeModemBits(TIOCMBIC, TIOCM_DTR);
    case ModemLine::SetRts: return ChangeModemBits(TIOCMBIS, TIOCM_RTS);
    case ModemLine::ClearRts: return ChangeModemBits(TIOCMBIC, TIOCM_RTS);
    case ModemLine::SetBreak:
      if (::ioctl(fd_, TIOCSBRK) != 0 && !IsMissingLine(errno)) return Fail(errno);
      return true;
    case ModemLine::ClearBreak:
      if (::ioctl(fd_, TIOCCBRK) != 0 && !IsMissingLine(errno)) return Fail(errno);
      return true;
  }
  return Fail(EINVAL);
}

namespace {

// Opens a terminal only to look at or change its line, without taking it.
class TerminalHandle {
 public:
  explicit TerminalHandle(const std::string& name)
      : fd_(::open(ResolvePortName(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
  ~TerminalHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  TerminalHandle(const TerminalHandle&) = delete;
  TerminalHandle& operator=(const TerminalHandle&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool ReadTerminalModes(const std::string& name, TerminalModes& modes) {
  TerminalHandle terminal(name);
  return terminal.fd() >= 0 && detail::ReadModes(terminal.fd(), modes);
}

bool WriteTerminalModes(const std::string& name, const TerminalModes& modes) {
  TerminalHandle terminal(name);
  return terminal.fd() >= 0 && detail::WriteModes(terminal.fd(), modes);
}

}  // namespace platform
