#include "platform/termination_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace platform {

namespace {

int g_pipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already says that a request is pending.
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

int WatchTerminationSignals() {
  static std::once_flag once;
  static int descriptor = -1;
  std::call_once(once, [] {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0) return;
    descriptor = g_pipe[0];
  });
  return descriptor;
}

void DrainTerminationSignals() {
  if (g_pipe[0] < 0) return;
  char buffer[64];
  while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
  }
}

}  // namespace platform
