#include "serial_link.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>

namespace gantrel {
namespace {

constexpr std::array<std::uint32_t, 11> kRates = {300,   1200,  2400,   4800,   9600,  19200,
                                                  38400, 57600, 115200, 230400, 460800};

struct Multipliers {
  std::uint32_t rate;
  std::uint32_t read;
  std::uint32_t write;
};
constexpr std::array<Multipliers, 6> kMultipliers = {{
    {300, 45, 45}, {1200, 25, 30}, {2400, 15, 25}, {4800, 10, 20}, {9600, 6, 16}, {19200, 5, 16}}};
constexpr Multipliers kOtherRates = {0, 5, 15};

Multipliers MultipliersFor(std::uint32_t rate) {
  for (const auto& m : kMultipliers) {
    if (m.rate == rate) return m;
  }
  return kOtherRates;
}

// Port handles count up from kFirstPortHandle and start again there after
// the largest int, so no open port ever gets 0 or -1, the values that mean
// "closed" to callers.
constexpr int kFirstPortHandle = 0x1000;

int NextPortHandle() {
  static std::atomic<int> next{kFirstPortHandle};
  int handle = next.load();
  int following;
  do {
    following = handle == std::numeric_limits<int>::max() ? kFirstPortHandle : handle + 1;
  } while (!next.compare_exchange_weak(handle, following));
  return handle;
}

}  // namespace

bool RateAccepted(std::uint32_t rate) { return std::find(kRates.begin(), kRates.end(), rate) != kRates.end(); }

platform::CommTimeouts TimeoutsFor(std::uint8_t type, std::uint32_t rate) {
  const Multipliers m = MultipliersFor(rate);
  switch (type) {
    case LINK_BISYNC: return {platform::kMaxDword, 0, 0, 15, 150};
    case LINK_CTS_FLOW: return {100, 150, 300, 15, 150};
    case LINK_LONG_READ: return {100, 0, 2000, 300, 600};
    case LINK_ASYNC: return {100, m.read, 1000, m.write, 150};
    default: return {100, m.read, 300, m.write, 150};  // the raw bus types
  }
}

void ApplyConnectParams(const ConnectParams& params, std::uint8_t type, platform::CommSettings& s) {
  s.baudRate = params.rate;
  s.binary = (params.flags & CONNECT_FLAG_BINARY) != 0;
  s.ctsOutFlow = (params.flags & CONNECT_FLAG_CTS_OUT_FLOW) != 0;
  if (type == LINK_CTS_FLOW) {
    s.rtsControl = static_cast<platform::RtsControl>((params.flags >> CONNECT_FLAG_RTS_SHIFT) & 3);
  }
  s.byteSize = params.byteSize;
  s.parity = static_cast<platform::Parity>(params.parity);
  s.stopBits = static_cast<platform::StopBits>(params.stopBits);
  s.xonChar = params.xonChar;
  s.xoffChar = params.xoffChar;
}

ConnectParams ToConnectParams(const platform::CommSettings& s) {
  ConnectParams p{};
  p.rate = s.baudRate;
  p.flags = (s.binary ? CONNECT_FLAG_BINARY : 0) | (s.ctsOutFlow ? CONNECT_FLAG_CTS_OUT_FLOW : 0) |
            (static_cast<std::uint32_t>(s.rtsControl) << CONNECT_FLAG_RTS_SHIFT);
  p.byteSize = s.byteSize;
  p.parity = static_cast<std::uint8_t>(s.parity);
  p.stopBits = static_cast<std::uint8_t>(s.stopBits);
  p.xonChar = s.xonChar;
  p.xoffChar = s.xoffChar;
  return p;
}

int SerialLink::Open(const std::string& path, std::uint8_t type, const ConnectParams& params,
                     std::shared_ptr<SerialLink>& link) {
  std::shared_ptr<SerialLink> opened(new SerialLink(path, type));
  auto& port = opened->port_;
  if (!port.Open(path)) return static_cast<int>(port.LastError());
  platform::CommSettings settings;
  if (!port.GetState(settings)) return static_cast<int>(port.LastError());
  ApplyConnectParams(params, type, settings);
  if (!port.SetState(settings)) return static_cast<int>(port.LastError());
  if (!port.SetTimeouts(TimeoutsFor(type, params.rate))) return static_cast<int>(port.LastError());
  opened->handle_ = NextPortHandle();
  link = std::move(opened);
  return 0;
}

SerialLink::~SerialLink() { Close(); }

int SerialLink::WriteFrame(const std::uint8_t* data, std::size_t length, bool flush) {
  std::lock_guard lock(io_);
  if (flush) port_.Purge(platform::kPurgeTxClear);
  std::size_t written = 0;
  if (!port_.Write(data, length, written)) return static_cast<int>(port_.LastError());
  return written < length ? GANTREL_RC_NO_ACK : 0;
}

long SerialLink::QueuedBytes(std::uint32_t* error) {
  std::lock_guard lock(io_);
  platform::CommStatus status;
  if (!port_.ClearError(&status)) {
    if (error) *error = port_.LastError();
    return -1;
  }
  return static_cast<long>(status.inQueue);
}

std::vector<std::uint8_t> SerialLink::ReadQueued(std::size_t length, std::uint32_t* error) {
  std::lock_guard lock(io_);
  if (error) *error = 0;
  platform::CommStatus status;
  std::vector<std::uint8_t> bytes;
  if (!port_.ClearError(&status)) {
    if (error) *error = port_.LastError();
    return bytes;
  }
  const std::size_t want = std::min<std::size_t>(length, status.inQueue);
  if (want == 0) return bytes;
  bytes.resize(want);
  std::size_t got = 0;
  if (!port_.Read(bytes.data(), want, got) && error) *error = port_.LastError();
  bytes.resize(got);
  return bytes;
}

int SerialLink::Close() {
  std::lock_guard lock(io_);
  if (!port_.IsOpen()) return 0;
  return port_.Close() ? 0 : static_cast<int>(port_.LastError());
}

}  // namespace gantrel
