#pragma once
// UDP over IPv4: a datagram socket bound to any local address, datagrams sent
// to a peer named by a dotted address text and a port, receives with a
// time-out, and a wait for readiness that another thread can interrupt.
// Errors are reported as Windows sockets error numbers (10060 time-out...).

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/message_queue.h"  // Milliseconds, kInfinite

namespace platform {

inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaMessageSize = 10040;
inline constexpr int kWsaNotSocket = 10038;
inline constexpr int kWsaInvalidArgument = 10022;
inline constexpr int kWsaAddressNotAvailable = 10049;
inline constexpr int kWsaConnectionReset = 10054;

struct UdpReceive {
  int error = 0;            // 0, or a sockets error number
  std::size_t count = 0;    // bytes placed in the buffer
  std::size_t datagram = 0; // the datagram's full length (more than count when cut)
  std::uint16_t fromPort = 0;
};

class UdpSocket {
 public:
  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Creates the socket and binds it to any local address and the port (0:
  // one the system picks). 0 or a sockets error number.
  int Open(std::uint16_t localPort = 0);
  // Binds to 127.0.0.1 only (for peers that must not be reached from outside).
  int OpenLoopback(std::uint16_t localPort = 0);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();
  std::uint16_t LocalPort() const;

  // One datagram to the peer; 0 or a sockets error number.
  int SendTo(const std::string& address, std::uint16_t port, const void* data, std::size_t length);
  // One datagram, cut to the buffer, waiting up to the time-out.
  UdpReceive ReceiveFrom(void* buffer, std::size_t size, Milliseconds timeout);

  // Waits until a datagram is there (true) or Interrupt / the time-out (false).
  bool WaitReadable(Milliseconds timeout);
  void Interrupt();

 private:
  int OpenOn(std::uint32_t address, std::uint16_t localPort);

  int fd_ = -1;
  int wakeFd_ = -1;
};

}  // namespace platform
