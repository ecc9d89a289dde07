#pragma once
// Low latency on a serial port's driver. A USB serial adapter holds short
// answers back for its latency timer (16 ms by default on the common FTDI
// chips), which every stop-and-wait exchange of a flash or read-back pays.
// Opening a port asks the driver to pass received bytes on at once
// (TIOCGSERIAL, then TIOCSSERIAL with ASYNC_LOW_LATENCY set where it is not
// yet). A driver that refuses (a pseudo-terminal has no such settings) leaves
// the port as it is; the serial trace (QUILLON_SERIAL_TRACE: "stderr" or a
// file) then gets one line naming the device and the system's reason.
//
// The driver requests go through a seam, so that a test sees what a port
// asks of a driver it does not have.

#include <string>

namespace platform {

class SerialDriverRequests {
 public:
  virtual ~SerialDriverRequests() = default;
  // As ioctl(2): 0, or -1 with errno set.
  virtual int Control(int fd, unsigned long request, void* argument) = 0;
};

// Installs the requests for every serial port of the process; nullptr puts
// the system's back. What is installed must outlive every port that opens.
void InstallSerialDriverRequests(SerialDriverRequests* requests);

// Asks the driver of the open terminal for low latency. False when the
// driver refuses; the trace line has then been written and errno is the
// reason.
bool RequestLowLatency(int fd, const std::string& path);

// The serial trace's variable.
inline constexpr const char* kSerialTraceVariable = "QUILLON_SERIAL_TRACE";

}  // namespace platform
