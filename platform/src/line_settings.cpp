#include "line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace platform::detail {
namespace {

// The classic rate codes, for settings that a program wrote without BOTHER.
constexpr std::array<std::pair<unsigned, std::uint32_t>, 31> kRateCodes{{
    {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},
    {B134, 134},       {B150, 150},       {B200, 200},       {B300, 300},
    {B600, 600},       {B1200, 1200},     {B1800, 1800},     {B2400, 2400},
    {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
    {B1152000, 1152000}, {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000},
    {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
}};

std::uint32_t OutputRate(const termios2& t) {
  const unsigned code = t.c_cflag & CBAUD;
  if (code == BOTHER) return t.c_ospeed;
  for (const auto& [c, rate] : kRateCodes) {
    if (c == code) return rate;
  }
  return t.c_ospeed;
}

tcflag_t ByteSizeFlag(std::uint8_t size) {
  switch (size) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

std::uint8_t ByteSizeOf(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
  }
}

tcflag_t ParityFlags(Parity parity) {
  switch (parity) {
    case Parity::Odd: return PARENB | PARODD;
    case Parity::Even: return PARENB;
    case Parity::Mark: return PARENB | CMSPAR | PARODD;
    case Parity::Space: return PARENB | CMSPAR;
    default: return 0;
  }
}

Parity ParityOf(tcflag_t cflag) {
  if (!(cflag & PARENB)) return Parity::None;
  const bool odd = cflag & PARODD;
  if (cflag & CMSPAR) return odd ? Parity::Mark : Parity::Space;
  return odd ? Parity::Odd : Parity::Even;
}

void SetRaw(termios2& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                 INPCK | IUCLC | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cflag &= ~HUPCL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

}  // namespace

bool ReadLineSettings(int fd, CommSettings& s) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  s.baudRate = OutputRate(t);
  s.binary = true;
  s.parityCheck = (t.c_iflag & INPCK) != 0;
  s.ctsOutFlow = (t.c_cflag & CRTSCTS) != 0;
  s.xonXoffOut = (t.c_iflag & IXON) != 0;
  s.xonXoffIn = (t.c_iflag & IXOFF) != 0;
  s.byteSize = ByteSizeOf(t.c_cflag);
  s.parity = ParityOf(t.c_cflag);
  s.stopBits = (t.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
  s.xonChar = static_cast<char>(t.c_cc[VSTART]);
  s.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
  return true;
}

bool WriteLineSettings(int fd, const CommSettings& s) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  SetRaw(t);
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | ByteSizeFlag(s.byteSize) | ParityFlags(s.parity);
  if (s.stopBits != StopBits::One) t.c_cflag |= CSTOPB;
  if (s.ctsOutFlow || s.rtsControl == RtsControl::Handshake) t.c_cflag |= CRTSCTS;
  if (s.parityCheck) t.c_iflag |= INPCK;
  if (s.xonXoffOut) t.c_iflag |= IXON;
  if (s.xonXoffIn) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
  t.c_ispeed = s.baudRate;
  t.c_ospeed = s.baudRate;
  return ioctl(fd, TCSETS2, &t) == 0;
}

bool MakeRaw(int fd) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  SetRaw(t);
  return ioctl(fd, TCSETS2, &t) == 0;
}

static_assert(sizeof(termios2) <= sizeof(TerminalLine::bytes), "a terminal line does not fit its record");

bool SaveLine(int fd, TerminalLine& line) {
  termios2 t{};
  line.valid = false;
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  std::memcpy(line.bytes, &t, sizeof t);
  line.valid = true;
  return true;
}

bool RestoreLine(int fd, const TerminalLine& line) {
  if (!line.valid) {
    errno = EINVAL;
    return false;
  }
  termios2 t{};
  std::memcpy(&t, line.bytes, sizeof t);
  return ioctl(fd, TCSETS2, &t) == 0;
}

bool ReadModes(int fd, TerminalModes& modes) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  modes.baudRate = OutputRate(t);
  modes.cooked = (t.c_lflag & ICANON) != 0;
  return true;
}

bool WriteModes(int fd, const TerminalModes& modes) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  if (modes.cooked) {
    t.c_iflag |= ICRNL | BRKINT;
    t.c_oflag |= OPOST;
    t.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
  } else {
    SetRaw(t);
  }
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = modes.baudRate;
  t.c_ospeed = modes.baudRate;
  return ioctl(fd, TCSETS2, &t) == 0;
}

bool FlushQueues(int fd, bool input, bool output) {
  if (!input && !output) return true;
  const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
  return ioctl(fd, TCFLSH, queue) == 0;
}

}  // namespace platform::detail
