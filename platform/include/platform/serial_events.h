#pragma once
// Waiting for events of an open serial port, as the system's comm-event wait
// does: characters received, a change of the DSR line, or the device gone.
// Another thread can interrupt a wait, so a reader thread can be stopped and
// joined before its port is closed.

#include <cstdint>
#include <string>

#include "platform/serial_port.h"

namespace platform {

class SerialEventWait {
 public:
  enum class Outcome { Received, DsrChanged, Interrupted, Failed };

  // The port must stay open while a wait runs on it.
  explicit SerialEventWait(SerialPort& port);
  ~SerialEventWait();
  SerialEventWait(const SerialEventWait&) = delete;
  SerialEventWait& operator=(const SerialEventWait&) = delete;

  // Waits until bytes can be read, DSR changes or Interrupt is called (also
  // before the wait). Failed means the line hung up or the device went away;
  // *error then holds the Windows error number (31, device not functioning).
  Outcome Wait(std::uint32_t* error = nullptr);
  // Makes the current and every later Wait return Interrupted.
  void Interrupt();

 private:
  SerialPort& port_;
  int wakeFd_ = -1;
  std::uint32_t lastDsr_ = 0;
};

// Whether the device behind an open port is gone: the line hung up, or the
// path it was opened by no longer exists.
bool SerialDeviceGone(const SerialPort& port, const std::string& path);

}  // namespace platform
