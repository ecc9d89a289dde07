#pragma once
// A UDP link: its own socket and its own peer. A sync link receives its
// reply within the request; otherwise a notifier thread tells the slot's
// window that a datagram is waiting (WM_LINK_SOCKET), once per datagram: the
// next notice comes after the application has handed the last one back.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event.h"
#include "platform/udp_socket.h"

namespace gantrel {

inline constexpr std::size_t kUdpMaxDatagram = 1024;
inline constexpr int kUdpTimeoutMs = 1000;

class UdpLink {
 public:
  UdpLink(std::uint16_t id, std::uint32_t socketHandle, std::string address, std::uint16_t port);
  ~UdpLink();
  UdpLink(const UdpLink&) = delete;
  UdpLink& operator=(const UdpLink&) = delete;

  // Creates and binds the socket; 0 or a sockets error number.
  int Open();
  // Starts telling the window of incoming datagrams.
  void StartNotices(std::int32_t window);
  void Stop();

  // Sends one datagram to the peer: 0 or -1.
  int Send(const std::uint8_t* data, std::size_t length);
  // Receives one datagram (cut to the buffer): 0 with *length set, -8 on
  // time-out, or a sockets error number.
  int Receive(std::uint8_t* buffer, std::uint32_t* length, int timeoutMs);
  // Reads the waiting datagram and posts it to the window; re-arms the notice.
  int DeliverWaiting(std::int32_t window);

  std::uint32_t socketHandle() const { return socketHandle_; }

 private:
  void Notify(std::int32_t window);

  std::uint16_t id_;
  std::uint32_t socketHandle_;
  std::string address_;
  std::uint16_t port_;
  platform::UdpSocket socket_;
  std::mutex io_;
  platform::Event rearm_{platform::Event::Reset::Auto};
  std::atomic<bool> stopping_{false};
  std::thread notifier_;
};

}  // namespace gantrel
