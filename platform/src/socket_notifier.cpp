#include "platform/socket_notifier.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct WatchEntry {
  int fd = -1;
  bool armed = true;
  bool writeArmed = false;
  Clock::time_point writeDeadline;
  std::uint64_t generation = 0;  // tells a replaced watch from the one polled
};

struct Report {
  std::uintptr_t tag;
  LParam readiness;
};

// poll()'s time-out: until the nearest write deadline, or no limit.
int PollTimeout(const std::map<std::uintptr_t, WatchEntry>& watches, Clock::time_point now) {
  bool any = false;
  Clock::time_point nearest = Clock::time_point::max();
  for (const auto& [tag, entry] : watches) {
    if (!entry.writeArmed) continue;
    any = true;
    nearest = std::min(nearest, entry.writeDeadline);
  }
  if (!any) return -1;
  if (nearest <= now) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(nearest - now).count();
  return static_cast<int>(std::min<long long>(left, 24LL * 3600 * 1000));
}

}  // namespace

struct SocketNotifier::State {
  ThreadId owner = kNoHandle;
  std::uint32_t message = 0;
  int wakeFd = -1;
  std::mutex mutex;
  std::map<std::uintptr_t, WatchEntry> watches;
  std::uint64_t nextGeneration = 1;
  bool stopping = false;
  std::thread thread;

  void Wake() {
    const std::uint64_t one = 1;
    const ssize_t ignored = ::write(wakeFd, &one, sizeof one);
    (void)ignored;
  }

  void DrainWake() {
    std::uint64_t count = 0;
    const ssize_t ignored = ::read(wakeFd, &count, sizeof count);
    (void)ignored;
  }

  void Run() {
    std::vector<pollfd> fds;
    std::vector<std::pair<std::uintptr_t, std::uint64_t>> polled;
    for (;;) {
      fds.clear();
      polled.clear();
      int timeout = -1;
      {
        std::lock_guard lock(mutex);
        if (stopping) return;
        for (const auto& [tag, entry] : watches) {
          const short events = static_cast<short>((entry.armed ? POLLIN : 0) | (entry.writeArmed ? POLLOUT : 0));
          if (events == 0) continue;
          fds.push_back({entry.fd, events, 0});
          polled.emplace_back(tag, entry.generation);
        }
        timeout = PollTimeout(watches, Clock::now());
      }
      fds.push_back({wakeFd, POLLIN, 0});
      const int n = ::poll(fds.data(), fds.size(), timeout);
      if (n < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds.back().revents != 0) DrainWake();
      std::vector<Report> ready;
      {
        std::lock_guard lock(mutex);
        for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
          if (fds[i].revents == 0) continue;
          auto it = watches.find(polled[i].first);
          if (it == watches.end() || it->second.generation != polled[i].second) continue;
          WatchEntry& entry = it->second;
          // An error or hang-up wakes both directions; the read side
          // reports it, the write side finds it on its next send.
          const bool readable = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
          const bool writable = (fds[i].revents & (POLLOUT | POLLERR | POLLHUP)) != 0;
          if (readable && entry.armed) {
            entry.armed = false;
            ready.push_back({it->first, kReadable});
          }
          if (writable && entry.writeArmed) {
            entry.writeArmed = false;
            ready.push_back({it->first, kWritable});
          }
        }
        const auto now = Clock::now();
        for (auto& [tag, entry] : watches) {
          if (!entry.writeArmed || entry.writeDeadline > now) continue;
          entry.writeArmed = false;
          ready.push_back({tag, kWriteTimedOut});
        }
      }
      for (const Report& report : ready) PostThreadMessage(owner, message, report.tag, report.readiness);
    }
  }
};

SocketNotifier::SocketNotifier(ThreadId owner, std::uint32_t message) : state_(std::make_unique<State>()) {
  state_->owner = owner;
  state_->message = message;
  state_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  state_->thread = std::thread([state = state_.get()] { state->Run(); });
}

SocketNotifier::~SocketNotifier() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->Wake();
  state_->thread.join();
  if (state_->wakeFd >= 0) ::close(state_->wakeFd);
}

void SocketNotifier::WatchDescriptor(std::uintptr_t tag, int fd) {
  {
    std::lock_guard lock(state_->mutex);
    WatchEntry& entry = state_->watches[tag];
    entry.fd = fd;
    entry.armed = true;
    entry.writeArmed = false;
    entry.generation = state_->nextGeneration++;
  }
  state_->Wake();
}

void SocketNotifier::Watch(std::uintptr_t tag, const TcpSocket& socket) { WatchDescriptor(tag, socket.fd_); }

void SocketNotifier::Watch(std::uintptr_t tag, const TcpListener& listener) { WatchDescriptor(tag, listener.fd_); }

void SocketNotifier::Rearm(std::uintptr_t tag) {
  {
    std::lock_guard lock(state_->mutex);
    auto it = state_->watches.find(tag);
    if (it == state_->watches.end() || it->second.armed) return;
    it->second.armed = true;
  }
  state_->Wake();
}

void SocketNotifier::WatchWritable(std::uintptr_t tag, Milliseconds timeout) {
  {
    std::lock_guard lock(state_->mutex);
    auto it = state_->watches.find(tag);
    if (it == state_->watches.end()) return;
    it->second.writeArmed = true;
    it->second.writeDeadline = Clock::now() + timeout;
  }
  state_->Wake();
}

void SocketNotifier::Forget(std::uintptr_t tag) {
  {
    std::lock_guard lock(state_->mutex);
    state_->watches.erase(tag);
  }
  state_->Wake();
}

}  // namespace platform
