#pragma once
// Test device processes on the stand-in's data plane: a raw one that the
// test drives byte by byte, and an echo peer that sends back what it gets.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace usbtest {

// The stand-in's data-plane socket.
std::string StandInSocketPath();

class DeviceProcess {
 public:
  // Connects and sends the attach line; the answer line is in Answer().
  explicit DeviceProcess(const std::string& attachLine);
  bool Attached() const { return answer_ == "OK"; }
  const std::string& Answer() const { return answer_; }
  bool Send(const std::vector<std::uint8_t>& bytes);
  // Exactly n bytes, or fewer when the deadline passes.
  std::vector<std::uint8_t> Receive(std::size_t n, int timeoutMs = 5000);
  void Close() { socket_.Shutdown(); socket_.Close(); }
  platform::Socket& Socket() { return socket_; }

 private:
  platform::Socket socket_;
  std::string answer_;
};

class EchoPeer {
 public:
  EchoPeer(std::uint16_t device, const std::string& interfaces, int outEp = 64, int inEp = 64);
  ~EchoPeer();
  bool Attached() const { return process_.Attached(); }
  void Close();

 private:
  void Run();
  DeviceProcess process_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace usbtest
