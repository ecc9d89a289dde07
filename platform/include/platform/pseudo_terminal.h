#pragma once
// A pseudo-terminal for simulators: the simulator holds the master, the host
// opens the slave as its serial port.
//
// The simulator keeps a slave descriptor of its own open, so the host can
// close and reopen its side as often as it likes without the master seeing a
// hang-up, and the line settings stay. The line settings that the host put
// on the slave (its bit rate above all) are read from the master side. The
// slave can be linked into a folder as COMn, which is how the COM map
// (com_map.h) finds it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/serial_port.h"

namespace platform {

class PseudoTerminal {
 public:
  using Milliseconds = std::chrono::milliseconds;

  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Opens a master/slave pair with the slave in raw mode.
  bool Open();
  bool IsOpen() const { return master_ >= 0; }
  void Close();
  const std::string& SlavePath() const { return slavePath_; }

  // The line settings that the host set on the slave.
  bool HostSettings(CommSettings& settings) const;
  // The host's bit rate (0 when it cannot be read).
  std::uint32_t HostBaudRate() const;

  // Reads what has come, waiting up to the time-out for the first byte.
  // Returns the count (0 after the time-out), or -1 on failure or Cancel.
  long Read(void* buffer, std::size_t length, Milliseconds timeout);
  // Reads until length bytes have come or the time-out ends; the count.
  std::size_t ReadExact(void* buffer, std::size_t length, Milliseconds timeout);
  // Writes every byte, waiting up to the time-out for room; false when not all went.
  bool Write(const void* buffer, std::size_t length, Milliseconds timeout);
  // Bytes that the host sent and the simulator has not read.
  std::size_t InputPending() const;
  // Drops what the host sent and the simulator has not read yet, and what
  // the simulator sent and the host has not read.
  void Flush();

  // Wakes every wait of Read, ReadExact and Write, now and later, so that a
  // simulator thread can be stopped.
  void Cancel();
  bool Cancelled() const;

  // Links the slave into the folder as COMn (replacing an older link).
  bool LinkAs(const std::string& folder, int comNumber);
  // Removes the link made by LinkAs.
  void Unlink();
  const std::string& LinkPath() const { return linkPath_; }

 private:
  enum class WaitOutcome { Ready, Timeout, Failed };
  WaitOutcome WaitFor(short events, std::chrono::steady_clock::time_point deadline) const;

  int master_ = -1;
  int slave_ = -1;
  int cancel_ = -1;  // an eventfd that Cancel makes readable
  std::string slavePath_;
  std::string linkPath_;
};

}  // namespace platform
