#include "platform/usb_change_monitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::string Text(const char* value) { return value ? value : ""; }

bool ParseHex16(const std::string& text, std::uint16_t& value) {
  if (text.empty() || text.size() > 4) return false;
  unsigned v = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    v = v * 16 + static_cast<unsigned>(digit);
  }
  value = static_cast<std::uint16_t>(v);
  return true;
}

UsbDeviceChange ChangeOf(udev_device* d) {
  UsbDeviceChange change;
  const std::string action = Text(udev_device_get_action(d));
  if (action == "add") change.action = UsbDeviceChange::Action::Add;
  else if (action == "remove") change.action = UsbDeviceChange::Action::Remove;
  const std::string subsystem = Text(udev_device_get_subsystem(d));
  const std::string devtype = Text(udev_device_get_devtype(d));
  if (subsystem == "usb" && devtype == "usb_device") change.kind = UsbDeviceChange::Kind::UsbDevice;
  else if (subsystem == "tty") change.kind = UsbDeviceChange::Kind::Tty;
  change.syspath = Text(udev_device_get_syspath(d));
  change.devnode = Text(udev_device_get_devnode(d));
  change.idsKnown = ParseUsbProductText(Text(udev_device_get_property_value(d, "PRODUCT")),
                                        change.vendorId, change.productId);
  return change;
}

}  // namespace

bool ParseUsbProductText(const std::string& text, std::uint16_t& vendorId, std::uint16_t& productId) {
  auto first = text.find('/');
  if (first == std::string::npos) return false;
  auto second = text.find('/', first + 1);
  if (second == std::string::npos) return false;
  std::uint16_t v, p;
  if (!ParseHex16(text.substr(0, first), v) || !ParseHex16(text.substr(first + 1, second - first - 1), p))
    return false;
  vendorId = v;
  productId = p;
  return true;
}

struct UsbChangeMonitor::State {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  int quitFd = -1;
  int flushFd = -1;
  std::mutex flushMutex;
  std::condition_variable flushed;
  std::uint64_t flushRequests = 0;
  std::uint64_t flushesDone = 0;
  std::thread thread;
  std::atomic<bool> running{false};
  Handler handler;

  ~State() { Close(); }

  void OpenMonitor() {
    context = udev_new();
    if (!context) return;
    monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor) return;
    udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device");
    udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr);
    if (udev_monitor_enable_receiving(monitor) < 0) {
      udev_monitor_unref(monitor);
      monitor = nullptr;
    }
  }

  void Close() {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
    if (quitFd >= 0) ::close(quitFd);
    if (flushFd >= 0) ::close(flushFd);
    monitor = nullptr;
    context = nullptr;
    quitFd = -1;
    flushFd = -1;
  }

  void Run() {
    pollfd fds[3] = {{quitFd, POLLIN, 0}, {flushFd, POLLIN, 0}, {monitor ? udev_monitor_get_fd(monitor) : -1, POLLIN, 0}};
    for (;;) {
      int n = ::poll(fds, monitor ? 3 : 2, -1);
      if (n < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[0].revents) break;
      if (fds[1].revents) AnswerFlush();
      else if (monitor && (fds[2].revents & POLLIN)) ReceiveOne();
    }
  }

  bool Pending() {
    if (!monitor) return false;
    pollfd fd = {udev_monitor_get_fd(monitor), POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN);
  }

  void AnswerFlush() {
    std::uint64_t count;
    if (::read(flushFd, &count, sizeof count) < 0) {
      // Nothing was signalled after all; the requests are answered below anyway.
    }
    std::uint64_t answering;
    {
      std::lock_guard lock(flushMutex);
      answering = flushRequests;
    }
    while (Pending()) ReceiveOne();
    {
      std::lock_guard lock(flushMutex);
      flushesDone = answering;
    }
    flushed.notify_all();
  }

  void ReceiveOne() {
    udev_device* d = udev_monitor_receive_device(monitor);
    if (!d) return;
    UsbDeviceChange change = ChangeOf(d);
    udev_device_unref(d);
    if (handler) handler(change);
  }
};

UsbChangeMonitor::UsbChangeMonitor() = default;

UsbChangeMonitor::~UsbChangeMonitor() { Stop(); }

bool UsbChangeMonitor::Start(Handler handler) {
  if (state_) return false;
  auto state = std::make_unique<State>();
  state->quitFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  state->flushFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state->quitFd < 0 || state->flushFd < 0) return false;
  state->OpenMonitor();
  state->handler = std::move(handler);
  State* s = state.get();
  try {
    s->thread = std::thread([s] { s->Run(); });
  } catch (...) {
    return false;
  }
  s->running = true;
  state_ = std::move(state);
  return true;
}

void UsbChangeMonitor::Stop() {
  if (!state_) return;
  std::uint64_t one = 1;
  if (::write(state_->quitFd, &one, sizeof one) < 0) {
    // The counter cannot overflow from one write; nothing else can fail here.
  }
  // From the handler itself the thread can only be asked to end; a later
  // Stop from another thread joins it.
  if (state_->thread.get_id() == std::this_thread::get_id()) return;
  if (state_->thread.joinable()) state_->thread.join();
  state_->running = false;
  state_.reset();
}

bool UsbChangeMonitor::Flush(std::chrono::milliseconds timeout) {
  if (!state_ || !state_->running) return false;
  State& s = *state_;
  std::unique_lock lock(s.flushMutex);
  const std::uint64_t mine = ++s.flushRequests;
  std::uint64_t one = 1;
  if (::write(s.flushFd, &one, sizeof one) < 0) return false;
  return s.flushed.wait_for(lock, timeout, [&] { return s.flushesDone >= mine; });
}

bool UsbChangeMonitor::Running() const { return state_ && state_->running; }

bool UsbChangeMonitor::Listening() const { return state_ && state_->monitor; }

}  // namespace platform
