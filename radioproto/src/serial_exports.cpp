// The serial exports with which an application drives a link's port, the
// raw serial bus and the modem lines itself, and the serial utilities.

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "bisync_session.h"
#include "gantrel/gantrel.h"
#include "library_state.h"
#include "link_poster.h"
#include "platform/com_map.h"
#include "platform/target_registry.h"
#include "platform/tick.h"
#include "serial_link.h"

using namespace gantrel;

namespace {

constexpr int kNoPort = -1;

std::shared_ptr<SerialLink> LinkOf(std::uint16_t id) {
  if (id >= kMaxApps) return nullptr;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  return lib.slots[id].serial;
}

std::uint8_t TypeOf(std::uint16_t id) {
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  return lib.slots[id].Type();
}

// Runs an operation on the port under the link's lock; the fallback when the
// slot has no port.
template <class F>
int WithPort(std::uint16_t id, int fallback, F&& operation) {
  auto link = LinkOf(id);
  if (!link) return fallback;
  std::lock_guard lock(link->io());
  return operation(link->port());
}

int SystemError(const platform::SerialPort& port) { return static_cast<int>(port.LastError()); }

void WaitNextTick() {
  const std::uint32_t start = platform::GetTickCount();
  while (platform::GetTickCount() == start) std::this_thread::yield();
}

int QueueCount(std::uint16_t id, bool receive) {
  return WithPort(id, 0, [&](platform::SerialPort& port) {
    platform::CommStatus status;
    if (!port.ClearError(&status)) return 0;
    return static_cast<int>(receive ? status.inQueue : status.outQueue);
  });
}

// Reads up to n bytes in at most `reads` reads of at most `piece` bytes.
std::size_t ReadPieces(platform::SerialPort& port, std::uint8_t* buffer, std::size_t n, int reads, std::size_t piece,
                       bool stopWhenEmpty) {
  std::size_t total = 0;
  for (int i = 0; (reads < 0 || i < reads) && total < n; ++i) {
    std::size_t got = 0;
    if (!port.Read(buffer + total, std::min(piece, n - total), got)) break;
    total += got;
    if (got == 0 && stopWhenEmpty) break;
  }
  return total;
}

int SetFlowControl(std::uint16_t id, bool on) {
  if (int r = CheckLink(id)) return r;
  return WithPort(id, GANTREL_RC_BAD_PORT, [&](platform::SerialPort& port) -> int {
    platform::CommSettings s;
    if (!port.GetState(s)) return GANTREL_RC_FAILED;
    s.ctsOutFlow = on;
    s.rtsControl = on ? platform::RtsControl::Handshake : platform::RtsControl::Enable;
    return port.SetState(s) ? 0 : GANTREL_RC_FAILED;
  });
}

// Opens \\.\COMn with reads that return at once and drops up to *length bytes.
int DropQueued(const std::string& path, int* length) {
  platform::SerialPort port;
  if (!port.Open(path)) return SystemError(port);
  if (!port.SetTimeouts({platform::kMaxDword, 0, 0, 15, 150})) return SystemError(port);
  const int want = length ? *length : 0;
  std::vector<std::uint8_t> scratch(static_cast<std::size_t>(std::max(want, 0)));
  std::size_t got = 0;
  if (!scratch.empty() && !port.Read(scratch.data(), scratch.size(), got)) return SystemError(port);
  if (length) *length = static_cast<int>(got);
  return 0;
}

}  // namespace

extern "C" {

int nwAvailBytesInRXBuffer(uint16_t id) { return QueueCount(id, true); }
int nwIsRXBegun(uint16_t id) { return QueueCount(id, true) > 0 ? 1 : 0; }
int nwIsTXDone(uint16_t id) { return QueueCount(id, false) == 0 ? 1 : 0; }

int nwFlushReceiveBuffer(uint16_t id) {
  return WithPort(id, 0, [](platform::SerialPort& port) { return port.Purge(platform::kPurgeRxClear) ? 1 : 0; });
}

int nwFlushTransmitBuffer(uint16_t id) {
  return WithPort(id, 0, [](platform::SerialPort& port) { return port.Purge(platform::kPurgeTxClear) ? 1 : 0; });
}

int nwCheckBusy(uint16_t id) {
  return WithPort(id, static_cast<int>(platform::kErrorInvalidHandle), [](platform::SerialPort& port) {
    std::uint32_t bits = 0;
    if (!port.GetModemStatus(bits)) return SystemError(port);
    return (bits & platform::kCtsOn) ? 0x10 : 0;
  });
}

int nwReadDSR(uint16_t id) {
  return WithPort(id, -1, [](platform::SerialPort& port) {
    std::uint32_t bits = 0;
    if (!port.GetModemStatus(bits)) return -1;
    return (bits & platform::kDsrOn) ? 0x20 : 0;
  });
}

int nwGetModemStatus(uint16_t id) {
  return WithPort(id, static_cast<int>(platform::kErrorInvalidHandle), [](platform::SerialPort& port) {
    std::uint32_t bits = 0;
    if (!port.GetModemStatus(bits)) return SystemError(port);
    return static_cast<int>(bits);
  });
}

int nwGetBusy(uint16_t id) {
  return WithPort(id, 0, [](platform::SerialPort& port) {
    auto cts = [&] {
      std::uint32_t bits = 0;
      port.GetModemStatus(bits);
      return (bits & platform::kCtsOn) != 0;
    };
    port.EscapeFunction(platform::ModemLine::ClearRts);
    port.EscapeFunction(platform::ModemLine::ClearDtr);
    if (cts()) WaitNextTick();
    port.EscapeFunction(platform::ModemLine::SetDtr);
    if (!cts()) WaitNextTick();
    return 0;
  });
}

int nwReleaseBusy(uint16_t id) {
  return WithPort(id, 0, [](platform::SerialPort& port) {
    port.EscapeFunction(platform::ModemLine::ClearRts);
    port.EscapeFunction(platform::ModemLine::ClearDtr);
    return 0;
  });
}

int ResetPorts(uint16_t id) {
  return WithPort(id, 0, [](platform::SerialPort& port) {
    port.EscapeFunction(platform::ModemLine::ClearDtr);
    port.EscapeFunction(platform::ModemLine::ClearRts);
    return 0;
  });
}

// The mode text as the system's settings builder reads it: "baud=9600
// parity=N data=8 stop=1", or the short form "9600,n,8,1".
int nwSetUpBaudRate(uint16_t id, const char* mode) {
  if (!mode) return GANTREL_RC_NULL_BUFFER;
  const int result = WithPort(id, static_cast<int>(platform::kErrorInvalidHandle), [&](platform::SerialPort& port) {
    platform::CommSettings s;
    if (!port.GetState(s)) return SystemError(port);
    std::string text(mode);
    for (char& c : text) {
      if (c == ',' || c == '=') c = ' ';
    }
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t end = text.find(' ', at);
      std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
      if (!word.empty()) words.push_back(word);
      if (end == std::string::npos) break;
      at = end + 1;
    }
    std::vector<std::string> values;
    for (std::size_t i = 0; i < words.size(); ++i) {
      const std::string& w = words[i];
      if (w == "baud" || w == "parity" || w == "data" || w == "stop") continue;
      values.push_back(w);
    }
    if (values.empty()) return static_cast<int>(platform::kErrorInvalidParameter);
    try {
      s.baudRate = static_cast<std::uint32_t>(std::stoul(values[0]));
      if (values.size() > 1) {
        switch (values[1][0] | 0x20) {
          case 'n': s.parity = platform::Parity::None; break;
          case 'o': s.parity = platform::Parity::Odd; break;
          case 'e': s.parity = platform::Parity::Even; break;
          case 'm': s.parity = platform::Parity::Mark; break;
          case 's': s.parity = platform::Parity::Space; break;
          default: return static_cast<int>(platform::kErrorInvalidParameter);
        }
      }
      if (values.size() > 2) s.byteSize = static_cast<std::uint8_t>(std::stoul(values[2]));
      if (values.size() > 3) {
        s.stopBits = values[3] == "2" ? platform::StopBits::Two
                     : values[3] == "1.5" ? platform::StopBits::OnePointFive
                                          : platform::StopBits::One;
      }
    } catch (const std::exception&) {
      return static_cast<int>(platform::kErrorInvalidParameter);
    }
    if (!port.SetState(s) || !port.GetState(s)) return SystemError(port);
    return 1;
  });
  if (result == 1) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  return result;
}

int nwGetCommState(uint16_t id, ConnectParams* settings) {
  if (!settings) return GANTREL_RC_NULL_BUFFER;
  return WithPort(id, 0, [&](platform::SerialPort& port) {
    platform::CommSettings s;
    if (port.GetState(s)) *settings = ToConnectParams(s);
    return 0;
  });
}

// The port's handle: the slot's number while its port is open, else -1.
int nwGetCOMPortHandle(uint16_t id) {
  auto link = LinkOf(id);
  return link ? link->handle() : kNoPort;
}

int nwReadTrellbus(uint16_t id, uint8_t* buffer, uint32_t length) {
  if (!buffer) return GANTREL_RC_NULL_BUFFER;
  auto link = LinkOf(id);
  if (!link) return GANTREL_RC_BAD_PORT;
  std::size_t got = 0;
  {
    std::lock_guard lock(link->io());
    auto& port = link->port();
    port.Purge(platform::kPurgeRxClear | platform::kPurgeTxClear);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(1000);
    while (got < length && Clock::now() < deadline) {
      std::size_t n = 0;
      if (!port.Read(buffer + got, length - got, n)) break;
      got += n;
    }
  }
  if (got == 0) return GANTREL_RC_TIMEOUT;
  const std::int32_t window = Library().slots[id].window.load();
  if (window <= 0) return GANTREL_RC_NO_WINDOW;
  PostLinkData(window, id, buffer, got);
  return static_cast<int>(got);
}

int nwWriteTrellbus(uint16_t id, const uint8_t* buffer, uint32_t length) {
  if (!buffer) return GANTREL_RC_NULL_BUFFER;
  auto link = LinkOf(id);
  if (!link) return GANTREL_RC_BAD_PORT;
  return link->WriteFrame(buffer, length);
}

int nwReadTLXP(uint16_t id, uint8_t* buffer, uint32_t length) {
  if (!buffer) return GANTREL_RC_NULL_BUFFER;
  return WithPort(id, GANTREL_RC_BAD_PORT, [&](platform::SerialPort& port) {
    port.Purge(platform::kPurgeRxClear | platform::kPurgeTxClear);
    std::size_t got = 0;
    port.Read(buffer, length, got);
    return 0;
  });
}

int ReadDataFromSerialPort(uint16_t id, uint8_t* buffer, uint32_t length) {
  if (!buffer) return GANTREL_RC_NULL_BUFFER;
  const std::uint8_t type = TypeOf(id < kMaxApps ? id : 0);
  return WithPort(id, 0, [&](platform::SerialPort& port) {
    std::size_t got;
    if (type == LINK_TRELLBUS || type == LINK_TLXP) {
      got = ReadPieces(port, buffer, length, 3, length, false);
    } else if (type == LINK_LONG_READ) {
      return static_cast<int>(ReadPieces(port, buffer, length, 1, length, false));
    } else {
      got = ReadPieces(port, buffer, length, -1, 16, true);
    }
    return got == length ? static_cast<int>(got) : 0;
  });
}

int WriteDataToSerialPort(uint16_t id, const uint8_t* data, uint32_t length) {
  if (!data) return GANTREL_RC_NULL_BUFFER;
  const std::uint8_t type = TypeOf(id < kMaxApps ? id : 0);
  return WithPort(id, 0, [&](platform::SerialPort& port) {
    auto drain = [&] {
      using Clock = std::chrono::steady_clock;
      const auto deadline = Clock::now() + std::chrono::seconds(5);
      platform::CommStatus status;
      while (port.ClearError(&status) && status.outQueue > 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    };
    drain();
    std::size_t total = 0;
    for (int i = 0; i < 3 && total < length; ++i) {
      std::size_t n = 0;
      if (!port.Write(data + total, length - total, n)) break;
      total += n;
    }
    drain();
    if (type == LINK_CTS_FLOW && total < length) return 0;
    return static_cast<int>(total);
  });
}

int CheckTrellbusSettings(uint16_t id) {
  if (int r = CheckOpen(id)) return r;
  const std::uint8_t type = TypeOf(id);
  return type == LINK_TRELLBUS || type == LINK_TLXP ? 0 : GANTREL_RC_BAD_TYPE;
}

int nwWriteBisync(uint16_t id, const uint8_t* data, uint32_t length) {
  if (!data) return GANTREL_RC_NULL_BUFFER;
  if (id >= kMaxApps) return GANTREL_RC_BAD_ID;
  std::shared_ptr<BisyncSession> session;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    session = lib.slots[id].bisync;
  }
  if (!session) return GANTREL_RC_BAD_TYPE;
  return session->Write(data, length);
}

int QuorEnumerateSerialPorts(int, int* count, int* list) {
  if (!count || !list) return -1;
  int n = 0;
  for (int port : platform::EnumerateComPorts()) {
    if (n == 255) break;
    list[n++] = port;
  }
  *count = n;
  return 0;
}

int QuorGetSerialPortProperties(int, int port, int* kind) {
  platform::SerialPort probe;
  if (!probe.Open("\\\\.\\COM" + std::to_string(port))) {
    return probe.LastError() == platform::kErrorAccessDenied ? GANTREL_RC_PORT_IN_USE : GANTREL_RC_BAD_PORT;
  }
  platform::CommSettings s;
  if (!probe.GetState(s)) return GANTREL_RC_BAD_PORT;
  if (kind) *kind = 0;  // every port the map knows is a serial port
  return 0;
}

int QuorFlushUSBPortReceiveBuffer(int, int port, int* length) {
  return DropQueued("\\\\.\\COM" + std::to_string(port), length);
}

int QuorFlushUSBPortReceiveBufferEx(uint16_t usbPort, int, int* length) {
  std::string path;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    const auto lookUp = lib.kovrin.entries().GetUSBDevInterfaceFromUSBPort;
    if (!lookUp) return GANTREL_RC_NOT_BOUND;
    const char* found = nullptr;
    if (lookUp(0, usbPort, &found, 100) != kKovrinOk || !found) return GANTREL_RC_MONITOR_FAILED;
    path = found;
  }
  return DropQueued(path, length);
}

int QuorEnableHWFlowControl(uint16_t id) { return SetFlowControl(id, true); }
int QuorDisableHWFlowControl(uint16_t id) { return SetFlowControl(id, false); }

int QuorDSRLineActive(uint16_t id) {
  if (int r = CheckLink(id)) return r;
  return nwReadDSR(id) == 0x20 ? 1 : 0;
}

int QuorCheckSUStatus(uint16_t id) {
  if (int r = CheckLink(id)) return r;
  const int bits = nwGetModemStatus(id);
  platform::PostWindowMessage(static_cast<platform::WindowHandle>(Library().slots[id].window.load()), WM_LINK_DATA,
                              0, 0);
  return bits;
}

}  // extern "C"
