#pragma once
// A simulated radio attached to the USB stand-in's device socket over a
// link of limited speed, for the benchmarks that flash many USB radios.

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "platform/unix_socket.h"
#include "radiosim/host_link.h"
#include "radiosim/radio_simulator.h"

namespace bench {

// A radio on the USB stand-in whose link takes its time: every byte, from
// the host or to it, waits its turn on one line of the given bytes per
// second.
// The schedule is kept in computed times, so a late wake-up does not slow
// the line down.
class PacedUsbRadio : public radiosim::HostLink {
 public:
  PacedUsbRadio(radiosim::RadioSimulator& radio, double bytesPerSecond)
      : radio_(radio), bytesPerSecond_(bytesPerSecond) {}
  ~PacedUsbRadio() override {
    running_ = false;
    socket_.Shutdown();
    if (thread_.joinable()) thread_.join();
    radio_.AttachHost(nullptr);
  }
  PacedUsbRadio(const PacedUsbRadio&) = delete;
  PacedUsbRadio& operator=(const PacedUsbRadio&) = delete;

  bool Attach(const std::string& socketPath, int deviceId) {
    socket_ = platform::ConnectUnix(socketPath);
    if (!socket_.Valid()) return false;
    const std::string line = "ATTACH " + std::to_string(deviceId) + " Corvane_Flash\n";
    if (!socket_.SendAll(line.data(), line.size())) return false;
    std::string answer;
    char c = 0;
    while (answer.size() < 200) {
      if (socket_.Receive(&c, 1, platform::Milliseconds{5000}).status != platform::IoResult::Ok || c == '\n') break;
      answer += c;
    }
    if (answer != "OK") return false;
    radio_.AttachHost(this);
    running_ = true;
    thread_ = std::thread([this] { Serve(); });
    return true;
  }

  void SendToHost(std::span<const std::uint8_t> bytes) override {
    WaitForLine(bytes.size());
    socket_.Send(bytes.data(), bytes.size(), platform::Milliseconds{2000});
  }

 private:
  void WaitForLine(std::size_t bytes) {
    std::chrono::steady_clock::time_point due;
    {
      std::lock_guard lock(lineLock_);
      lineFree_ = std::max(lineFree_, std::chrono::steady_clock::now()) +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(static_cast<double>(bytes) / bytesPerSecond_));
      due = lineFree_;
    }
    std::this_thread::sleep_until(due);
  }
  void Serve() {
    std::array<std::uint8_t, 4096> buffer{};
    while (running_) {
      auto got = socket_.Receive(buffer.data(), buffer.size(), platform::Milliseconds{200});
      if (got.status == platform::IoResult::Timeout) continue;
      if (got.status != platform::IoResult::Ok) break;
      WaitForLine(got.count);
      radio_.Receive(std::span<const std::uint8_t>(buffer.data(), got.count), 0);
    }
  }

  radiosim::RadioSimulator& radio_;
  const double bytesPerSecond_;
  platform::Socket socket_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::mutex lineLock_;
  std::chrono::steady_clock::time_point lineFree_{};
};

}  // namespace bench
