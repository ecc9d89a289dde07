#include "terminal_link.h"

#include <fstream>
#include <iterator>

#include "platform/target_registry.h"

namespace ralix {

namespace {

constexpr std::size_t kFrameHeader = 5;
constexpr std::size_t kMaxFrame = 16 * 1024 * 1024;

void Put32(std::vector<std::uint8_t>& out, std::size_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The file name of a load line `l "name"`, or empty.
std::string LoadLineFileName(const std::string& line) {
  if (line.compare(0, 3, "l \"") != 0) return {};
  const auto close = line.find('"', 3);
  return close == std::string::npos ? std::string() : line.substr(3, close - 3);
}

}  // namespace

TerminalLink::TerminalLink(platform::Socket socket, RalixOutputCallback callback, std::uint32_t window)
    : socket_(std::move(socket)), callback_(callback), window_(window) {
  reader_ = std::thread([this] { ReadOutput(); });
}

TerminalLink::~TerminalLink() {
  stopping_ = true;
  waits_.Interrupt();
  if (reader_.joinable()) reader_.join();
}

bool TerminalLink::SendFrame(char type, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> frame{static_cast<std::uint8_t>(type)};
  Put32(frame, data.size());
  frame.insert(frame.end(), data.begin(), data.end());
  return socket_.SendAll(frame.data(), frame.size());
}

bool TerminalLink::SendLine(const std::string& line) {
  const std::string file = LoadLineFileName(line);
  std::vector<std::uint8_t> contents;
  if (!file.empty() && !ReadFile(file, contents)) {
    // The terminal program reports a file it cannot send like any failure,
    // on its own output thread.
    {
      std::lock_guard lock(localMutex_);
      localOutput_ += "Cannot open " + file + "\r\nTransfer failed\r\n>";
    }
    waits_.Interrupt();
    return true;
  }
  if (!SendFrame('L', std::vector<std::uint8_t>(line.begin(), line.end()))) return false;
  if (file.empty()) return true;
  std::vector<std::uint8_t> data;
  Put32(data, file.size());
  data.insert(data.end(), file.begin(), file.end());
  data.insert(data.end(), contents.begin(), contents.end());
  return SendFrame('F', data);
}

void TerminalLink::Output(const std::string& text) {
  if (!callback_) return;
  // Piece by piece, one character at a time, as the phone's terminal sends it.
  for (char c : text) {
    const char piece[2] = {c, 0};
    callback_(piece);
  }
}

void TerminalLink::DeliverLocalOutput() {
  std::string text;
  {
    std::lock_guard lock(localMutex_);
    text.swap(localOutput_);
  }
  Output(text);
}

void TerminalLink::HandleFrame(char type, const std::vector<std::uint8_t>& data) {
  if (type == 'T') Output(std::string(data.begin(), data.end()));
  if (type == 'P' && data.size() == 1 && window_ != 0)
    platform::PostWindowMessage(window_, kRalixPercentMessage, data[0], 0);
}

void TerminalLink::ReadOutput() {
  std::vector<std::uint8_t> pending;
  std::uint8_t buffer[4096];
  while (!stopping_) {
    if (waits_.WaitReadable({&socket_}, platform::kInfinite).empty()) {
      DeliverLocalOutput();
      continue;
    }
    auto r = socket_.Receive(buffer, sizeof buffer, platform::Milliseconds(0));
    if (r.status == platform::IoResult::Timeout) continue;
    if (r.status != platform::IoResult::Ok) return;
    pending.insert(pending.end(), buffer, buffer + r.count);
    std::size_t offset = 0;
    while (pending.size() - offset >= kFrameHeader) {
      const std::size_t size = std::size_t{pending[offset + 1]} << 24 | std::size_t{pending[offset + 2]} << 16 |
                               std::size_t{pending[offset + 3]} << 8 | pending[offset + 4];
      if (size > kMaxFrame) return;  // not a phone we understand
      if (pending.size() - offset - kFrameHeader < size) break;
      const auto begin = pending.begin() + static_cast<long>(offset + kFrameHeader);
      HandleFrame(static_cast<char>(pending[offset]), std::vector<std::uint8_t>(begin, begin + static_cast<long>(size)));
      offset += kFrameHeader + size;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<long>(offset));
  }
}

}  // namespace ralix
