#pragma once
// A lock file that one process at a time holds: the program takes it for
// its files in a working folder, so that a second start there is refused
// instead of deleting the first one's log and fighting it for the ports.
//
// The lock is the system's advisory lock on the open file, so it goes with
// the process however that ends; a file left behind by a process that died
// is taken again at once. The holder writes its process id into the file,
// for the message that refuses the next one. Releasing removes the file.

#include <string>

namespace platform {

class InstanceLock {
 public:
  enum class Result {
    Taken,        // this process holds the lock
    HeldByOther,  // another process holds it (HolderProcessId names it)
    Failed,       // the file cannot be made or opened (Errno says why)
  };

  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Creates the file when missing and takes the lock without waiting.
  Result Take(const std::string& path);
  // Removes the file and gives the lock up; nothing when not held.
  void Release();

  bool Held() const { return fd_ >= 0; }
  // After HeldByOther: the holder's process id as it wrote it, 0 when unknown.
  long HolderProcessId() const { return holder_; }
  // After Failed: the Linux error.
  int Errno() const { return errno_; }

 private:
  int fd_ = -1;
  std::string path_;
  long holder_ = 0;
  int errno_ = 0;
};

}  // namespace platform
