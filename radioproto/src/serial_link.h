#pragma once
// One open serial port of a link: opened exclusively, configured from the
// caller's settings and the time-outs of its link type, with the one lock
// under which every read and write of the link runs.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gantrel/gantrel.h"
#include "platform/serial_port.h"

namespace gantrel {

bool RateAccepted(std::uint32_t rate);
// The time-outs a link type's port is given at open.
platform::CommTimeouts TimeoutsFor(std::uint8_t type, std::uint32_t rate);
// The caller's settings applied over the port's current ones.
void ApplyConnectParams(const ConnectParams& params, std::uint8_t type, platform::CommSettings& settings);
ConnectParams ToConnectParams(const platform::CommSettings& settings);

class SerialLink {
 public:
  // Opens and configures the port; 0 or the system error number.
  static int Open(const std::string& path, std::uint8_t type, const ConnectParams& params,
                  std::shared_ptr<SerialLink>& link);
  ~SerialLink();

  // The port, used under io().
  platform::SerialPort& port() { return port_; }
  std::mutex& io() { return io_; }
  const std::string& path() const { return path_; }
  std::uint8_t type() const { return type_; }
  // The handle callers are given for this open port: a new one at every
  // open, never 0 or -1 (the values that mean "closed").
  int handle() const { return handle_; }

  // Writes all bytes under the lock: 0, -7 for a short write, or the system
  // error number. With flush the transmit queue is purged first.
  int WriteFrame(const std::uint8_t* data, std::size_t length, bool flush = true);
  // Bytes waiting in the receive queue; -1 when the query fails (with *error
  // its system error number).
  long QueuedBytes(std::uint32_t* error = nullptr);
  // Reads at most length bytes that are queued now, under the lock.
  std::vector<std::uint8_t> ReadQueued(std::size_t length, std::uint32_t* error = nullptr);

  // Closes the port; 0 or the system error number.
  int Close();

 private:
  SerialLink(std::string path, std::uint8_t type) : path_(std::move(path)), type_(type) {}

  platform::SerialPort port_;
  std::mutex io_;
  std::string path_;
  std::uint8_t type_;
  int handle_ = -1;
};

}  // namespace gantrel
