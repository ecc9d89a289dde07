#pragma once
// Byte-level helpers for driving the simulated radio in tests: request
// frames as the host writes them and replies as the radio should send
// them, built here by hand so the tests share nothing with host code.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "radiosim/radio_simulator.h"

namespace radiotest {

using Bytes = std::vector<std::uint8_t>;

class CaptureLink : public radiosim::HostLink {
 public:
  void SendToHost(std::span<const std::uint8_t> bytes) override {
    received.insert(received.end(), bytes.begin(), bytes.end());
  }
  Bytes Take() {
    Bytes out;
    out.swap(received);
    return out;
  }
  Bytes received;
};

inline std::uint8_t Checksum(const Bytes& bytes) {
  unsigned sum = 0;
  for (auto b : bytes) sum += b;
  return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

inline Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes Be32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v)};
}

inline Bytes Be16(std::uint32_t v) { return {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)}; }

// FF type L payload checksum, with L = payload + 1.
inline Bytes ExtendedFrame(std::uint8_t type, const Bytes& payload) {
  Bytes frame{0xFF, type, static_cast<std::uint8_t>((payload.size() + 1) >> 8),
              static_cast<std::uint8_t>(payload.size() + 1)};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(Checksum(frame));
  return frame;
}

inline Bytes RequestFrame(const Bytes& payload) { return ExtendedFrame(0x22, payload); }
inline Bytes ReplyFrame(const Bytes& payload) { return ExtendedFrame(0x23, payload); }

// A short serial-bus frame: header F n, the n message bytes, checksum.
inline Bytes ShortFrame(const Bytes& message) {
  Bytes frame{static_cast<std::uint8_t>(0xF0 | message.size())};
  frame.insert(frame.end(), message.begin(), message.end());
  frame.push_back(Checksum(frame));
  return frame;
}

inline Bytes Pattern(std::size_t length, unsigned seed = 7) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>((i * seed + i / 251 + 3) & 0xFF);
  return bytes;
}

inline Bytes ProgramRequest(std::uint32_t address, const Bytes& data) {
  return Concat(Concat(Concat({0x01, 0x00}, Be32(address)), Be16(static_cast<std::uint32_t>(data.size()))), data);
}

inline Bytes EraseRequest(std::uint32_t first, std::uint32_t last) {
  return Concat(Concat({0x01, 0x07}, Be32(first)), Be32(last));
}

inline Bytes ReadRequest(std::uint32_t address, std::uint16_t length, std::uint8_t flag = 0x01) {
  return Concat(Concat(Concat({0x01, 0x06}, Be32(address)), Be16(length)), {flag});
}

// A radio whose kernel already runs, with the radio's replies captured.
// Kernel requests go in frames over RS232, or length-prefixed over USB.
class KernelHarness {
 public:
  explicit KernelHarness(radiosim::RadioConfig config) {
    config.powerOn = radiosim::PowerOnState::Kernel;
    usb_ = config.link == radiosim::LinkKind::Usb;
    radio = std::make_unique<radiosim::RadioSimulator>(config);
    radio->AttachHost(&host);
  }
  // Sends one request; returns the reply payload (an ACK over RS232 is
  // checked and stripped, as is the USB length).
  Bytes Ask(const Bytes& request, radiosim::RadioSimulator::Clock::time_point now =
                                      radiosim::RadioSimulator::Clock::now()) {
    Send(request, now);
    return Unwrap(host.Take());
  }
  // Sends a request that takes no reply; returns what came back.
  Bytes Send(const Bytes& request, radiosim::RadioSimulator::Clock::time_point now =
                                       radiosim::RadioSimulator::Clock::now()) {
    Bytes wire = usb_ ? Concat(Be16(static_cast<std::uint32_t>(request.size())), request) : RequestFrame(request);
    radio->Receive(wire, usb_ ? 0 : 115200, now);
    if (usb_) return {};
    Bytes got = host.received;
    if (!got.empty() && got.front() == 0x50 && got.size() == 1) host.Take();
    return got;
  }
  Bytes Unwrap(const Bytes& wire) const {
    if (usb_) return wire.size() < 2 ? Bytes{} : Bytes(wire.begin() + 2, wire.end());
    if (wire.size() < 6 || wire[0] != 0x50) return Bytes{0xEE};
    return Bytes(wire.begin() + 5, wire.end() - 1);
  }
  // The status word and detail bytes of the 03 03 reply.
  Bytes StatusDetails() {
    Bytes reply = Ask({0x03, 0x03});
    return reply.size() < 3 ? reply : Bytes(reply.begin() + 3, reply.end());
  }

  CaptureLink host;
  std::unique_ptr<radiosim::RadioSimulator> radio;

 private:
  bool usb_ = false;
};

}  // namespace radiotest
