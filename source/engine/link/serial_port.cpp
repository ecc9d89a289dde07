#include "engine/link/serial_port.h"

#include <cstring>

#include "engine/link/link_failure_reason.h"

namespace {

// The line as the link layer wants it, built from nothing rather than read
// from the port: binary, 8 data bits, no parity, one stop bit, no output
// flow control, data-terminal-ready off and request-to-send raised.
platform::CommSettings LinkSettings(std::uint32_t baudRate) {
  platform::CommSettings s;
  s.baudRate = baudRate;
  s.binary = true;
  s.parityCheck = false;
  s.ctsOutFlow = false;
  s.dsrOutFlow = false;
  s.dtrControl = platform::DtrControl::Disable;
  s.rtsControl = platform::RtsControl::Enable;
  s.xonXoffOut = false;
  s.xonXoffIn = false;
  s.byteSize = 8;
  s.parity = platform::Parity::None;
  s.stopBits = platform::StopBits::One;
  return s;
}

}  // namespace

CSerialPort::CSerialPort(const std::string& portPath, std::uint32_t baudRate) { Open(portPath, baudRate); }

CSerialPort::~CSerialPort() {
  // A failed close cannot be reported from here; the handle is gone either way.
  if (port_.IsOpen()) port_.Close();
}

void CSerialPort::CloseAfterFailure(ISP_EXCEPTION failure) {
  port_.Close();
  throw failure;
}

void CSerialPort::Open(const std::string& portPath, std::uint32_t baudRate) {
  if (port_.IsOpen()) port_.Close();
  if (!port_.Open(portPath)) {
    NoteLinkFailureReason(port_.OpenFailure());
    throw ISP_OPEN_PORT_FAILED;
  }
  if (!port_.SetState(LinkSettings(baudRate))) CloseAfterFailure(ISP_SET_COMM_STATE_FAILED);
  if (!port_.SetTimeouts(kPortTimeouts)) CloseAfterFailure(ISP_SET_COMM_TIMEOUTS_FAILED);
}

void CSerialPort::Close() {
  if (!port_.Close()) throw ISP_CLOSE_PORT_FAILED;
}

void CSerialPort::SetBaudRate(std::uint32_t baudRate) {
  platform::CommSettings s;
  if (!port_.GetState(s)) throw ISP_GET_COMM_STATE_FAILED;
  s.baudRate = baudRate;
  if (!port_.SetState(s)) throw ISP_SET_COMM_STATE_FAILED;
}

void CSerialPort::SetHardwareFlowControl(int on) {
  platform::CommSettings s;
  if (!port_.GetState(s)) throw ISP_GET_COMM_STATE_FAILED;
  s.ctsOutFlow = on == 1;
  s.rtsControl = on == 1 ? platform::RtsControl::Handshake : platform::RtsControl::Disable;
  if (!port_.SetState(s)) throw ISP_SET_COMM_STATE_FAILED;
}

// A poll stands for a millisecond: the wait for the first byte ends after
// `polls` ms with none, or at once when a byte comes.
void CSerialPort::ReadWithTimeout(std::uint8_t* buffer, std::size_t length, unsigned polls) {
  bool ready = false;
  if (!port_.WaitForInput(polls * kPollMs, ready)) throw ISP_PORT_STATUS_FAILED;
  if (!ready) throw ISP_SERIAL_BUS_TIMEOUT;
  if (Read(buffer, length) < length) throw ISP_READ_COUNT_MISMATCH;
}

std::size_t CSerialPort::Read(std::uint8_t* buffer, std::size_t length) {
  std::memset(buffer, 0, length);
  std::size_t read = 0;
  if (!port_.Read(buffer, length, read)) throw ISP_READ_PORT_FAILED;
  return read;
}

int CSerialPort::Write(const std::uint8_t* buffer, std::size_t length) {
  PurgeReceive();
  PurgeTransmit();
  if (WriteRaw(buffer, length) < length) throw ISP_WRITE_COUNT_MISMATCH;
  WaitUntilOutputDrained(length);
  return 1;
}

// Waits until the output queue has drained, so that a following read
// measures its time-out from the moment the request has left. A queue that
// does not drain within the port's write time-out (a line held by flow
// control) means the bytes did not leave: a short write, not a hang.
void CSerialPort::WaitUntilOutputDrained(std::size_t length) {
  const auto limit = kPortTimeouts.WriteTotalTimeoutMultiplier * length + kPortTimeouts.WriteTotalTimeoutConstant;
  bool drained = false;
  if (!port_.WaitForOutputDrained(static_cast<std::uint32_t>(limit), drained)) throw ISP_PORT_STATUS_FAILED;
  if (!drained) throw ISP_WRITE_COUNT_MISMATCH;
}

std::size_t CSerialPort::WriteRaw(const std::uint8_t* buffer, std::size_t length) {
  std::size_t written = 0;
  if (!port_.Write(buffer, length, written)) throw ISP_WRITE_PORT_FAILED;
  return written;
}

platform::CommStatus CSerialPort::QueueStatus() {
  platform::CommStatus status;
  if (!port_.ClearError(&status)) throw ISP_PORT_STATUS_FAILED;
  return status;
}

bool CSerialPort::OutputQueueEmpty() { return QueueStatus().outQueue == 0; }
bool CSerialPort::InputPending() { return QueueStatus().inQueue > 0; }
std::size_t CSerialPort::InputQueueCount() { return QueueStatus().inQueue; }

void CSerialPort::PurgeReceive() {
  if (!port_.Purge(platform::kPurgeRxClear)) throw ISP_PURGE_RECEIVE_FAILED;
}

void CSerialPort::PurgeTransmit() {
  if (!port_.Purge(platform::kPurgeTxClear)) throw ISP_PURGE_TRANSMIT_FAILED;
}
