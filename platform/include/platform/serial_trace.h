#pragma once
// A seam through which a benchmark times what the serial ports of its own
// process move, from inside: which bytes were just read and when a write
// begins. Nothing is installed in the program; with nothing installed a
// port pays one load of a pointer per read or write. An installed trace is
// called on the port's own thread, right after a read took bytes and right
// before a write gives them to the system, so it must be quick and must
// outlive every port that may call it.

#include <cstddef>

namespace platform {

class SerialTrace {
 public:
  virtual ~SerialTrace() = default;
  // A read took `bytes` (more than none) from the port.
  virtual void BytesRead(std::size_t bytes) = 0;
  // A write of `bytes` is about to begin.
  virtual void WriteStarting(std::size_t bytes) = 0;
};

// Installs the trace for every serial port of the process; nullptr removes it.
void InstallSerialTrace(SerialTrace* trace);
SerialTrace* InstalledSerialTrace();

}  // namespace platform
