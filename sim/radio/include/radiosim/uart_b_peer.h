#pragma once
// What sits behind the radio's second serial port (UART B): the GPS chip.
// Once the flashing kernel hands UART B through (request 03 01), the bytes
// the host sends that are not the kernel's own frames travel on to the
// peer at UART B's rate; the peer's bytes reach the host through
// RadioSimulator::FromUartB.

#include <cstdint>
#include <span>

namespace radiosim {

class UartBPeer {
 public:
  virtual ~UartBPeer() = default;
  // Bytes from the host, carried at UART B's bit rate. Called with the
  // radio's lock held: it must not block or call back into the radio.
  virtual void FromHost(std::span<const std::uint8_t> bytes, std::uint32_t uartBRate) = 0;
  // UART B changed its bit rate (a rate command of the kernel).
  virtual void RateChanged(std::uint32_t uartBRate) = 0;
};

}  // namespace radiosim
