#include "device_process.h"

#include <chrono>

#include "platform/unix_socket.h"
#include "quor_pst/quor_sim_control.h"

namespace usbtest {

std::string StandInSocketPath() {
  char buffer[256];
  return QuorSim_SocketPath(buffer, sizeof buffer) > 0 ? std::string(buffer) : std::string();
}

DeviceProcess::DeviceProcess(const std::string& attachLine) : socket_(platform::ConnectUnix(StandInSocketPath())) {
  if (!socket_.Valid()) return;
  std::string line = attachLine + "\n";
  if (!socket_.SendAll(line.data(), line.size())) return;
  // The answer line, read one byte at a time so nothing after it is taken.
  std::string answer;
  char c = 0;
  while (answer.size() < 256) {
    auto got = socket_.Receive(&c, 1, platform::Milliseconds(5000));
    if (got.status != platform::IoResult::Ok || c == '\n') break;
    answer.push_back(c);
  }
  answer_ = answer;
}

bool DeviceProcess::Send(const std::vector<std::uint8_t>& bytes) { return socket_.SendAll(bytes.data(), bytes.size()); }

std::vector<std::uint8_t> DeviceProcess::Receive(std::size_t n, int timeoutMs) {
  std::vector<std::uint8_t> out(n);
  std::size_t got = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got < n) {
    auto left = std::chrono::duration_cast<platform::Milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    auto r = socket_.Receive(out.data() + got, n - got, left);
    if (r.status != platform::IoResult::Ok) break;
    got += r.count;
  }
  out.resize(got);
  return out;
}

EchoPeer::EchoPeer(std::uint16_t device, const std::string& interfaces, int outEp, int inEp)
    : process_("ATTACH " + std::to_string(device) + " " + interfaces + " " + std::to_string(outEp) + " " +
               std::to_string(inEp)) {
  if (process_.Attached()) thread_ = std::thread([this] { Run(); });
}

EchoPeer::~EchoPeer() { Close(); }

void EchoPeer::Close() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  process_.Close();
}

void EchoPeer::Run() {
  std::uint8_t buffer[4096];
  while (!stop_) {
    auto got = process_.Socket().Receive(buffer, sizeof buffer, platform::Milliseconds(20));
    if (got.status == platform::IoResult::Timeout) continue;
    if (got.status != platform::IoResult::Ok) return;
    if (!process_.Socket().SendAll(buffer, got.count)) return;
  }
}

}  // namespace usbtest
