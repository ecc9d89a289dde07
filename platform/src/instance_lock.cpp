#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

long ReadProcessId(int fd) {
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return 0;
  return std::strtol(text, nullptr, 10);
}

void WriteProcessId(int fd) {
  const std::string text = std::to_string(static_cast<long>(::getpid())) + "\n";
  if (::ftruncate(fd, 0) != 0) return;
  [[maybe_unused]] const ssize_t n = ::pwrite(fd, text.data(), text.size(), 0);
}

// The lock is good only while the path still names the file it was taken
// on: a holder that released meanwhile has removed that file.
bool StillNamesFile(int fd, const std::string& path) {
  struct stat open {};
  struct stat named {};
  if (::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0) return false;
  return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Take(const std::string& path) {
  Release();
  holder_ = 0;
  errno_ = 0;
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      errno_ = errno;
      return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      if (err == EWOULDBLOCK) holder_ = ReadProcessId(fd);
      ::close(fd);
      if (err == EWOULDBLOCK) return Result::HeldByOther;
      errno_ = err;
      return Result::Failed;
    }
    if (!StillNamesFile(fd, path)) {
      ::close(fd);
      continue;  // taken on a file that its last holder removed: again
    }
    WriteProcessId(fd);
    fd_ = fd;
    path_ = path;
    return Result::Taken;
  }
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  // Removed while still held, so that nobody takes the lock on a file that
  // is about to go.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
  path_.clear();
}

}  // namespace platform
