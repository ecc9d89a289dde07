#include "udp_link.h"

#include <vector>

#include "gantrel/gantrel.h"
#include "link_poster.h"
#include "platform/target_registry.h"

namespace gantrel {

UdpLink::UdpLink(std::uint16_t id, std::uint32_t socketHandle, std::string address, std::uint16_t port)
    : id_(id), socketHandle_(socketHandle), address_(std::move(address)), port_(port) {}

UdpLink::~UdpLink() { Stop(); }

int UdpLink::Open() { return socket_.Open(0); }

void UdpLink::StartNotices(std::int32_t window) {
  notifier_ = std::thread([this, window] { Notify(window); });
}

void UdpLink::Stop() {
  stopping_ = true;
  socket_.Interrupt();
  rearm_.Set();
  if (notifier_.joinable()) notifier_.join();
  std::lock_guard lock(io_);
  socket_.Close();
}

void UdpLink::Notify(std::int32_t window) {
  while (!stopping_) {
    if (!socket_.WaitReadable(platform::kInfinite)) continue;
    if (stopping_) break;
    platform::PostWindowMessage(static_cast<platform::WindowHandle>(window), WM_LINK_SOCKET, socketHandle_,
                                LINK_SOCKET_READ);
    rearm_.Wait();
  }
}

int UdpLink::Send(const std::uint8_t* data, std::size_t length) {
  std::lock_guard lock(io_);
  return socket_.SendTo(address_, port_, data, length) == 0 ? 0 : GANTREL_RC_FAILED;
}

int UdpLink::Receive(std::uint8_t* buffer, std::uint32_t* length, int timeoutMs) {
  std::lock_guard lock(io_);
  const std::size_t room = length ? std::min<std::size_t>(*length, kUdpMaxDatagram) : kUdpMaxDatagram;
  const auto got = socket_.ReceiveFrom(buffer, room, std::chrono::milliseconds(timeoutMs));
  if (got.error == platform::kWsaTimedOut) return GANTREL_RC_TIMEOUT;
  if (got.error != 0) return got.error;
  if (length) *length = static_cast<std::uint32_t>(got.count);
  return 0;
}

int UdpLink::DeliverWaiting(std::int32_t window) {
  std::vector<std::uint8_t> datagram(kUdpMaxDatagram);
  std::uint32_t length = static_cast<std::uint32_t>(datagram.size());
  const int r = Receive(datagram.data(), &length, 0);
  rearm_.Set();
  if (r != 0) return r;
  if (!PostLinkData(window, id_, datagram.data(), length)) return GANTREL_RC_NO_WINDOW;
  return 0;
}

}  // namespace gantrel
