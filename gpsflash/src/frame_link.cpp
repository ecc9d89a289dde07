#include "frame_link.h"

#include <cstdarg>
#include <cstdio>

#include "platform/tick.h"

namespace ambrel {
namespace {

constexpr unsigned kMaxReceptions = 9;
constexpr std::uint32_t kCloseDelayMs = 200;
constexpr std::uint32_t kNakRecoveryDelayMs = 300;

}  // namespace

std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF);
}

std::vector<std::uint8_t> BuildFrame(const std::uint8_t* payload, std::size_t length, bool flag) {
  std::vector<std::uint8_t> frame;
  frame.reserve(length + 3);
  frame.push_back(static_cast<std::uint8_t>(((length >> 8) & 0x7F) | (flag ? 0x80 : 0)));
  frame.push_back(static_cast<std::uint8_t>(length & 0xFF));
  frame.insert(frame.end(), payload, payload + length);
  frame.push_back(FrameChecksum(frame.data(), frame.size()));
  return frame;
}

FrameLink::~FrameLink() {
  if (port_.IsOpen()) port_.Close();
}

bool FrameLink::OpenComPort(const std::string& name, std::uint32_t rate) {
  platform::SerialPort port;
  if (!port.Open("\\\\.\\" + name)) return false;
  platform::CommTimeouts timeouts;
  platform::CommSettings settings;
  if (!port.GetTimeouts(timeouts) || !port.GetState(settings)) {
    port.RestoreLine(port.LineFoundAtOpen());
    return false;
  }
  platform::CommTimeouts ours = timeouts;
  ours.ReadIntervalTimeout = 2000;
  ours.ReadTotalTimeoutMultiplier = 4;
  ours.ReadTotalTimeoutConstant = 2000;
  platform::CommSettings line = settings;
  line.baudRate = rate;
  line.byteSize = 8;
  line.parity = platform::Parity::None;
  line.stopBits = platform::StopBits::One;
  line.ctsOutFlow = false;
  line.dsrOutFlow = false;
  line.xonXoffOut = false;
  line.xonXoffIn = false;
  line.dtrControl = platform::DtrControl::Enable;
  line.rtsControl = platform::RtsControl::Enable;
  if (!port.SetTimeouts(ours) || !port.SetState(line)) {
    port.RestoreLine(port.LineFoundAtOpen());
    return false;
  }
  // Bytes that an earlier session left unread (the rest of a reply that
  // was refused, say) must not be taken for this session's replies.
  port.Purge(platform::kPurgeRxClear);
  savedTimeouts_ = timeouts;
  savedSettings_ = settings;
  savedLine_ = port.LineFoundAtOpen();
  port_ = std::move(port);
  return true;
}

void FrameLink::CloseComPort() {
  if (!port_.IsOpen()) return;
  platform::SleepMs(kCloseDelayMs);
  port_.SetTimeouts(savedTimeouts_);
  port_.SetState(savedSettings_);
  // The line as the port's user had it, cooked or raw, at its own rate.
  port_.RestoreLine(savedLine_);
  port_.Close();
}

bool FrameLink::ReadComPort(std::uint8_t* buffer, std::size_t count, std::size_t& read) {
  read = 0;
  if (!port_.IsOpen()) return false;
  const bool ok = port_.Read(buffer, count, read);
  if (ok && read > 0) TraceBytes("Received", buffer, read);
  return ok;
}

bool FrameLink::WriteComPort(const std::uint8_t* buffer, std::size_t count, std::size_t& written) {
  written = 0;
  if (!port_.IsOpen()) return false;
  TraceBytes("Sending", buffer, count);
  return port_.Write(buffer, count, written);
}

bool FrameLink::SendFrame(const std::uint8_t* payload, std::size_t length, bool flag) {
  if (length > kMaxSendPayload) return false;
  const std::vector<std::uint8_t> frame = BuildFrame(payload, length, flag);
  std::size_t written = 0;
  if (!WriteComPort(frame.data(), frame.size(), written) || written != frame.size()) {
    Trace("Failed to send.\n");
    return false;
  }
  std::uint8_t answer = 0;
  std::size_t read = 0;
  if (!ReadComPort(&answer, 1, read) || read != 1) {
    Trace("Failed to receive ACK. BytesRead = %d\n", static_cast<int>(read));
    return false;
  }
  if (answer == kAckByte) {
    Trace("Received positive ACK\n");
    return true;
  }
  if (answer == kNakByte) {
    Trace("Received NAK\n");
  } else {
    Trace("Received strange ACK 0x%x\n", answer);
  }
  return readMode_ && RecoverFromNak();
}

bool FrameLink::RecoverFromNak() {
  platform::SleepMs(kNakRecoveryDelayMs);
  std::vector<std::uint8_t> drained(kReceiveBufferSize);
  std::size_t read = 0;
  ReadComPort(drained.data(), drained.size(), read);
  Trace("Collected %d bytes from buffer:\n", static_cast<int>(read));
  std::size_t written = 0;
  if (!WriteComPort(&kNakByte, 1, written) || written != 1) return false;
  Trace("Sent NAK to initiate retransmittion\n");
  return true;
}

bool FrameLink::ReceiveFrame(std::vector<std::uint8_t>& payload, bool& flag) {
  for (unsigned attempt = 1;; ++attempt) {
    std::uint8_t head[2] = {0, 0};
    std::size_t read = 0;
    const bool headRead = ReadComPort(head, 2, read);
    if (!headRead || read < 2) {
      Trace("Error reading packet length - expected 2, got %d bytes\n", static_cast<int>(read));
      if (!headRead) Trace("ReadComm returned status 0x%x reading packet length\n", port_.LastError());
      return false;
    }
    const std::size_t length = (std::size_t{head[0] & 0x7Fu} << 8) | head[1];
    flag = (head[0] & 0x80) != 0;
    if (length > kMaxReceivePayload) {
      // The frame cannot be taken; refuse it without reading it in.
      Trace("Error reading packet data - expected %d, got %d bytes\n", static_cast<int>(length), 0);
      std::size_t written = 0;
      WriteComPort(&kNakByte, 1, written);
      return false;
    }
    std::vector<std::uint8_t> body(length + 1);
    if (!ReadComPort(body.data(), body.size(), read)) return false;
    bool good = read == body.size();
    if (!good) {
      Trace("Error reading packet data - expected %d, got %d bytes\n", static_cast<int>(body.size()),
            static_cast<int>(read));
    } else {
      unsigned sum = head[0] + head[1];
      for (std::uint8_t b : body) sum += b;
      good = (sum & 0xFF) == 0;
      Trace(good ? "Checksum OK\n" : "Bad checksum\n");
    }
    const std::uint8_t verdict = good ? kAckByte : kNakByte;
    std::size_t written = 0;
    if (!WriteComPort(&verdict, 1, written) || written != 1) {
      Trace("Failed to send ACK\n");
      return false;
    }
    Trace("Sent %s ACK\n", good ? "positive" : "negative");
    if (good) {
      payload.assign(body.begin(), body.end() - 1);
      return true;
    }
    if (!readMode_ || attempt + 1 > kMaxReceptions) return false;
  }
}

void FrameLink::Trace(const char* format, ...) const {
  if (!verbose_) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

void FrameLink::TraceBytes(const char* what, const std::uint8_t* bytes, std::size_t count) const {
  if (!verbose_) return;
  std::printf("%s %d bytes:", what, static_cast<int>(count));
  for (std::size_t i = 0; i < count; ++i) std::printf(" %02x", bytes[i]);
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace ambrel
