#include "radiosim/usb_front_end.h"

#include <array>

#include "platform/unix_socket.h"

namespace radiosim {
namespace {

constexpr platform::Milliseconds kAnswerWait{5000};
constexpr platform::Milliseconds kReadWait{200};
constexpr platform::Milliseconds kWriteWait{2000};

std::string AttachLine(int deviceId, const std::vector<std::string>& interfaces) {
  std::string line = "ATTACH " + std::to_string(deviceId) + " ";
  for (std::size_t i = 0; i < interfaces.size(); ++i) line += (i ? "," : "") + interfaces[i];
  return line + "\n";
}

}  // namespace

std::vector<std::string> UsbInterfacesFor(BootLoaderType type) {
  if (type == BootLoaderType::Calder) return {"Corvane_Boot"};
  return {"Corvane_Flash"};
}

UsbFrontEnd::UsbFrontEnd(RadioSimulator& radio) : radio_(radio) {}

UsbFrontEnd::~UsbFrontEnd() { Detach(); }

bool UsbFrontEnd::Attach(const std::string& socketPath, int deviceId,
                         const std::vector<std::string>& interfaces, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (running_) return fail("already attached");
  socket_ = platform::ConnectUnix(socketPath);
  if (!socket_.Valid()) return fail("no device socket at " + socketPath);
  const std::string line = AttachLine(deviceId, interfaces);
  if (!socket_.SendAll(line.data(), line.size())) return fail("the device socket refused the attach line");
  std::string answer;
  char c = 0;
  while (answer.size() < 200) {
    auto got = socket_.Receive(&c, 1, kAnswerWait);
    if (got.status != platform::IoResult::Ok) break;
    if (c == '\n') break;
    answer += c;
  }
  if (answer != "OK") {
    socket_.Close();
    return fail(answer.empty() ? "no answer to the attach line" : answer);
  }
  radio_.GetTranscript().Add("usb attached as device " + std::to_string(deviceId));
  radio_.AttachHost(this);
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void UsbFrontEnd::Detach() {
  if (!running_.exchange(false)) return;
  socket_.Shutdown();
  if (thread_.joinable()) thread_.join();
  radio_.AttachHost(nullptr);
  socket_.Close();
  radio_.GetTranscript().Add("usb detached");
}

void UsbFrontEnd::Serve() {
  std::array<std::uint8_t, 4096> buffer{};
  while (running_) {
    auto got = socket_.Receive(buffer.data(), buffer.size(), kReadWait);
    if (got.status == platform::IoResult::Timeout) continue;
    if (got.status != platform::IoResult::Ok) break;
    radio_.Receive(std::span<const std::uint8_t>(buffer.data(), got.count), 0);
  }
}

void UsbFrontEnd::SendToHost(std::span<const std::uint8_t> bytes) {
  auto sent = socket_.Send(bytes.data(), bytes.size(), kWriteWait);
  if (sent.status != platform::IoResult::Ok)
    radio_.GetTranscript().Add("tx failed: the device socket took " + std::to_string(sent.count) + " of " +
                               std::to_string(bytes.size()) + " bytes");
}

}  // namespace radiosim
