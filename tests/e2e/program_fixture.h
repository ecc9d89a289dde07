#pragma once
// The real vexaload, started as a user would start it in a fresh temporary
// folder: a configuration with remote control on a free port, a product
// file, the four kernel files, answers for its boxes (the scripted prompt
// service, which also records every box shown), the Qt offscreen platform,
// a COM map folder whose COM1 is a simulated radio served by this process,
// and the USB stand-in's device socket in the folder, where simulated USB
// radios attach. A client talks to it over TCP as a remote client would.
//
// Every wait polls with a deadline; the destructor kills and reaps the
// program and stops every radio, whatever a test left behind.

#include <gtest/gtest.h>

#include <QProcess>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/tcp_socket.h"
#include "radiosim/pty_front_end.h"
#include "radiosim/radio_simulator.h"
#include "radiosim/usb_front_end.h"
#include "../engine/processing/shell_stand_in.h"

namespace e2e {

using Clock = std::chrono::steady_clock;
inline constexpr auto kDeadline = std::chrono::seconds(30);
// The program's window title, and so the names of its files.
inline constexpr char kTitle[] = "E2E";

// The product of the folder: 1 MiB of flash in sixteen 64 KiB sectors.
inline constexpr char kProductFile[] = "vexa20.qlp";
inline constexpr char kProductTag[] = "VEXA20";
inline constexpr std::uint32_t kSectorSize = 0x10000;
inline constexpr std::uint32_t kSectorCount = 16;

// A line-based remote-control client with deadlines.
class LineClient {
 public:
  LineClient() = default;
  explicit LineClient(platform::TcpSocket socket) : socket_(std::move(socket)) {}

  bool Valid() const { return socket_.Valid(); }
  std::uint16_t LocalPort() const { return socket_.LocalPort(); }
  platform::TcpSocket& Socket() { return socket_; }

  // Sends the bytes as they are.
  bool SendRaw(const std::string& bytes);
  // Sends the line with a carriage return and a line feed.
  bool Send(const std::string& line) { return SendRaw(line + "\r\n"); }
  // The next reply line with its line feed, or nullopt when none came in
  // time (or the program closed the connection).
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = kDeadline);
  // Sends the line and returns the reply line.
  std::optional<std::string> Ask(const std::string& line) {
    if (!Send(line)) return std::nullopt;
    return ReadLine();
  }
  // True once the program has closed the connection, with no byte before.
  bool ClosedByPeer(std::chrono::milliseconds timeout = kDeadline);
  // Leaves at once with a reset, as a client that vanishes does.
  void Vanish() { socket_.Abort(); }
  void Close() { socket_.Close(); }

 private:
  platform::TcpSocket socket_;
  std::string pending_;
};

struct ProgramOptions {
  int commProtocol = 0;  // 0 RS232, 1 USB
  int dataRate = 2;      // index: 0 115200, 1 230400, 2 460800
  int remoteControl = 1;
  int autoErase = 1;
  std::uint16_t remotePort = 0;  // 0: a free port
  // Starts with the configuration the last run of this program left in the
  // folder instead of writing a new one (the remote port stays the same).
  bool keepConfiguration = false;
  // Arguments after "-id E2E", and variables set for the program.
  std::vector<std::string> arguments;
  std::vector<std::pair<std::string, std::string>> environment;
};

class Program {
 public:
  Program();
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The folder, with a trailing slash, and a file in it.
  std::string Dir() const { return folder_.Path().string() + "/"; }
  std::string File(const std::string& name) const { return folder_.File(name); }
  void Write(const std::string& name, const std::string& bytes) const;
  void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

  // Serves a simulated radio on COM1 of the folder's COM map (call before
  // Start; the flash layout is the product's unless the config says more).
  radiosim::RadioSimulator& ServeRadioOnCom1(radiosim::RadioConfig config = {});
  // The same on another COM port of the map (COM2, COM3 ...).
  radiosim::RadioSimulator& ServeRadioOnCom(int number, radiosim::RadioConfig config = {});
  // Attaches a simulated USB radio with the device id to the program's
  // stand-in (call after Start).
  radiosim::RadioSimulator& AttachUsbRadio(int deviceId, radiosim::RadioConfig config = {});

  // Writes the configuration and starts the program; false (with why as a
  // test failure) when it does not come up and read its configuration.
  bool Start(const ProgramOptions& options = {});
  // Writes the configuration and starts the program without waiting for it.
  bool Launch(const ProgramOptions& options = {});
  // What the program wrote to its standard output and error.
  std::string Output() const;
  std::uint16_t Port() const { return port_; }

  // A client connected to the program's remote port, polling until the
  // program listens.
  LineClient Connect(const std::string& address = "127.0.0.1");

  // The log's lines without their time stamps.
  std::vector<std::string> LogLines() const;
  // Waits until a log line equals the text; true when one did.
  bool WaitLog(const std::string& line, std::chrono::milliseconds timeout = kDeadline) const;
  // Waits until `count` log lines equal the text.
  bool WaitLogCount(const std::string& line, std::size_t count, std::chrono::milliseconds timeout = kDeadline) const;
  // The boxes the program showed, one record line each.
  std::vector<std::string> Prompts() const;

  // Waits for the program to end by itself; its exit status, or nullopt
  // when it still runs at the deadline or crashed.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout = kDeadline);
  bool Running() const { return process_ && process_->state() != QProcess::NotRunning; }

 private:
  void WriteConfiguration(const ProgramOptions& options);
  // The program's own output and log, shown when a test fails.
  void ReportOutput() const;

  test_support::TempFolder folder_;
  std::uint16_t port_ = 0;
  std::unique_ptr<QProcess> process_;
  std::unique_ptr<radiosim::RadioSimulator> comRadio_;
  std::unique_ptr<radiosim::PtyFrontEnd> comFront_;
  std::vector<std::unique_ptr<radiosim::RadioSimulator>> otherComRadios_;
  std::vector<std::unique_ptr<radiosim::PtyFrontEnd>> otherComFronts_;
  std::vector<std::unique_ptr<radiosim::RadioSimulator>> usbRadios_;
  std::vector<std::unique_ptr<radiosim::UsbFrontEnd>> usbFronts_;
};

// A radio whose flash is the product's (sixteen 64 KiB sectors) and whose
// boot loader waits for the kernel.
radiosim::RadioConfig ProductRadio(radiosim::LinkKind link = radiosim::LinkKind::Serial);

// A port that nothing listens on right now.
std::uint16_t FreePort();

// `size` bytes of a pseudo-random pattern that differs with the seed, so
// that images and flash contents of different radios never agree by chance.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint8_t seed);

// The log line of a device's finished queue item.
std::string FinishedLine(const std::string& device, int sequence);

// The bytes of an S-record file laid out from `from` on for `length` bytes
// (gaps 0xFF).
std::vector<std::uint8_t> SRecordBytes(const std::string& path, std::uint32_t from, std::uint32_t length);

// Waits until the predicate holds, asking every `interval`; true when it did.
template <typename Predicate>
bool PollUntil(Predicate predicate, std::chrono::milliseconds timeout = kDeadline,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20)) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    if (predicate()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(interval);
  }
}

}  // namespace e2e
