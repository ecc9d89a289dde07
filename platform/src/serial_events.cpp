#include "platform/serial_events.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/com_map.h"

namespace platform {
namespace {

// Modem lines are read this often while a wait runs: DSR changes give no
// readiness on a descriptor.
constexpr int kLinePollMs = 20;

int QueuedBytes(int fd) {
  int queued = 0;
  return ::ioctl(fd, FIONREAD, &queued) == 0 ? queued : 0;
}

// The line hung up (or the descriptor failed) and nothing is left to read.
bool HungUp(int fd, short revents) {
  if (!(revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
  return !(revents & POLLIN) || QueuedBytes(fd) == 0;
}

}  // namespace

SerialEventWait::SerialEventWait(SerialPort& port) : port_(port) {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  port_.GetModemStatus(lastDsr_);
  lastDsr_ &= kDsrOn;
}

SerialEventWait::~SerialEventWait() {
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void SerialEventWait::Interrupt() {
  const std::uint64_t one = 1;
  if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
}

SerialEventWait::Outcome SerialEventWait::Wait(std::uint32_t* error) {
  if (error) *error = 0;
  for (;;) {
    pollfd fds[2] = {{port_.NativeDescriptor(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const int r = ::poll(fds, 2, kLinePollMs);
    if (r < 0 && errno != EINTR) {
      if (error) *error = kErrorGenFailure;
      return Outcome::Failed;
    }
    if (r > 0 && fds[1].revents) return Outcome::Interrupted;
    if (r > 0 && HungUp(fds[0].fd, fds[0].revents)) {
      if (error) *error = kErrorGenFailure;
      return Outcome::Failed;
    }
    if (r > 0 && (fds[0].revents & POLLIN)) return Outcome::Received;
    std::uint32_t bits = 0;
    if (port_.GetModemStatus(bits) && (bits & kDsrOn) != lastDsr_) {
      lastDsr_ = bits & kDsrOn;
      return Outcome::DsrChanged;
    }
  }
}

bool SerialDeviceGone(const SerialPort& port, const std::string& path) {
  pollfd p{port.NativeDescriptor(), POLLIN, 0};
  if (::poll(&p, 1, 0) > 0 && HungUp(p.fd, p.revents)) return true;
  struct stat st {};
  return ::stat(ResolvePortName(path).c_str(), &st) != 0;
}

}  // namespace platform
