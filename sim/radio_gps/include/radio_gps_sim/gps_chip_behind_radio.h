#pragma once
// A simulated GPS chip behind a simulated radio's UART B. The chip serves
// on a thread of its own; the bytes the radio passes on queue up for it,
// and its bytes go back through the radio to the host. The chip hears the
// host only when UART B runs at the chip's rate, as on the real wire.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>

#include "gps_sim/byte_link.h"
#include "gps_sim/gps_chip.h"
#include "radiosim/radio_simulator.h"
#include "radiosim/uart_b_peer.h"

namespace radio_gps_sim {

class GpsChipBehindRadio : private radiosim::UartBPeer, private gps_sim::ByteLink {
 public:
  // Attaches to the radio's UART B and starts serving.
  GpsChipBehindRadio(radiosim::RadioSimulator& radio, gps_sim::ChipOptions options = {});
  // Detaches and stops the chip.
  ~GpsChipBehindRadio() override;
  GpsChipBehindRadio(const GpsChipBehindRadio&) = delete;
  GpsChipBehindRadio& operator=(const GpsChipBehindRadio&) = delete;

  gps_sim::GpsChip& Chip() { return chip_; }

 private:
  // From the radio.
  void FromHost(std::span<const std::uint8_t> bytes, std::uint32_t uartBRate) override;
  void RateChanged(std::uint32_t uartBRate) override;
  // To the chip.
  long Read(std::uint8_t* buffer, std::size_t length, std::chrono::milliseconds timeout) override;
  bool Write(const std::uint8_t* buffer, std::size_t length) override;
  std::uint32_t HostBaudRate() const override;

  radiosim::RadioSimulator& radio_;
  gps_sim::GpsChip chip_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::uint8_t> fromHost_;
  std::uint32_t uartBRate_ = radiosim::RadioSimulator::kUartBResetRate;
  bool finished_ = false;
  std::thread server_;
};

}  // namespace radio_gps_sim
