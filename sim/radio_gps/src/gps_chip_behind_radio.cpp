#include "radio_gps_sim/gps_chip_behind_radio.h"

#include <algorithm>

namespace radio_gps_sim {

GpsChipBehindRadio::GpsChipBehindRadio(radiosim::RadioSimulator& radio, gps_sim::ChipOptions options)
    : radio_(radio), chip_(std::move(options)) {
  uartBRate_ = radio_.UartBRate();
  radio_.AttachUartB(this);
  server_ = std::thread([this] { chip_.Serve(*this); });
}

GpsChipBehindRadio::~GpsChipBehindRadio() {
  radio_.AttachUartB(nullptr);
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  arrived_.notify_all();
  chip_.Stop();
  server_.join();
}

void GpsChipBehindRadio::FromHost(std::span<const std::uint8_t> bytes, std::uint32_t uartBRate) {
  {
    std::lock_guard lock(mutex_);
    uartBRate_ = uartBRate;
    fromHost_.insert(fromHost_.end(), bytes.begin(), bytes.end());
  }
  arrived_.notify_all();
}

void GpsChipBehindRadio::RateChanged(std::uint32_t uartBRate) {
  std::lock_guard lock(mutex_);
  uartBRate_ = uartBRate;
}

long GpsChipBehindRadio::Read(std::uint8_t* buffer, std::size_t length, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  arrived_.wait_for(lock, timeout, [this] { return finished_ || !fromHost_.empty(); });
  if (fromHost_.empty()) return finished_ ? -1 : 0;
  const std::size_t count = std::min(length, fromHost_.size());
  std::copy_n(fromHost_.begin(), count, buffer);
  fromHost_.erase(fromHost_.begin(), fromHost_.begin() + static_cast<std::ptrdiff_t>(count));
  return static_cast<long>(count);
}

bool GpsChipBehindRadio::Write(const std::uint8_t* buffer, std::size_t length) {
  radio_.FromUartB(std::span<const std::uint8_t>(buffer, length));
  return true;
}

std::uint32_t GpsChipBehindRadio::HostBaudRate() const {
  std::lock_guard lock(mutex_);
  return uartBRate_;
}

}  // namespace radio_gps_sim
