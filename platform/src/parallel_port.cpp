#include "platform/parallel_port.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

std::string ParallelPortPath(int number) {
  const char* dir = std::getenv("QUILLON_PARPORT_DIR");
  return std::string(dir && *dir ? dir : "/dev") + "/parport" + std::to_string(number);
}

ParallelPort::~ParallelPort() { Close(); }

bool ParallelPort::Open(int number) {
  Close();
  fd_ = ::open(ParallelPortPath(number).c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) return false;
  if (::ioctl(fd_, PPCLAIM) != 0) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

void ParallelPort::Close() {
  if (fd_ < 0) return;
  ::ioctl(fd_, PPRELEASE);
  ::close(fd_);
  fd_ = -1;
}

bool ParallelPort::WriteData(std::uint8_t value) {
  return fd_ >= 0 && ::ioctl(fd_, PPWDATA, &value) == 0;
}

bool ParallelPort::ReadStatus(std::uint8_t& value) {
  unsigned char status = 0;
  if (fd_ < 0 || ::ioctl(fd_, PPRSTATUS, &status) != 0) return false;
  value = status;
  return true;
}

}  // namespace platform
