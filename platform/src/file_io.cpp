#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Makes the rename itself durable.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The process's file-creation mask, read without changing it (umask() would
// race with other threads that create files).
mode_t CurrentUmask() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  mode_t mask = 022;
  if (status == nullptr) return mask;
  char line[256];
  while (std::fgets(line, sizeof line, status) != nullptr) {
    unsigned value = 0;
    if (std::sscanf(line, "Umask: %o", &value) == 1) {
      mask = static_cast<mode_t>(value);
      break;
    }
  }
  std::fclose(status);
  return mask;
}

mode_t NewFileMode() {
  static const mode_t mode = static_cast<mode_t>(0644 & ~CurrentUmask());
  return mode;
}

// A file that exists is replaced only when it is a regular file with a write
// bit; read-only means no write bit in the mode, whoever the user is.
// 0 when it may, else the reason why not.
int ReplaceRefusal(const std::string& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
  if (!S_ISREG(info.st_mode)) return EISDIR;
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 ? 0 : EACCES;
}

// Says why, when the caller asked, and fails.
bool Failed(FileError* why, int err) {
  if (why) *why = {WindowsErrorOf(err), err};
  return false;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& contents, FileError* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Failed(why, errno);
  contents.clear();
  std::vector<char> chunk(1 << 16);
  int failure = 0;
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      break;
    }
    if (n == 0) break;
    contents.append(chunk.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return failure == 0 ? true : Failed(why, failure);
}

bool RemoveFile(const std::string& path, FileError* why) {
  return ::unlink(path.c_str()) == 0 ? true : Failed(why, errno);
}

bool AtomicFileWriter::Fail(int err) {
  lastError_ = {WindowsErrorOf(err), err};
  return false;
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open(const std::string& target) {
  Discard();
  lastError_ = {};
  if (target.empty() || target.back() == '/') return Fail(EISDIR);
  if (const int refusal = ReplaceRefusal(target)) return Fail(refusal);
  const std::string folder = FolderOf(target);
  std::string pattern = folder + "/." + BaseNameOf(target) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  fd_ = fd;
  failed_ = false;
  target_ = target;
  temporary_.assign(name.data());
  return true;
}

bool AtomicFileWriter::Write(const void* data, std::size_t size) {
  if (fd_ < 0) return Fail(EBADF);
  if (failed_) return false;
  if (!WriteAll(fd_, static_cast<const char*>(data), size)) {
    failed_ = true;
    return Fail(errno);
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (fd_ < 0) return Fail(EBADF);
  bool ok = !failed_;
  int failure = 0;
  const auto step = [&](bool done) {
    if (ok && !done) {
      ok = false;
      failure = errno;
    }
  };
  if (ok) step(::fchmod(fd_, NewFileMode()) == 0);
  if (ok) step(::fsync(fd_) == 0);
  step(::close(fd_) == 0);
  fd_ = -1;
  if (ok) step(::rename(temporary_.c_str(), target_.c_str()) == 0);
  if (failure != 0) Fail(failure);
  if (!ok) {
    ::unlink(temporary_.c_str());
  } else {
    SyncFolder(FolderOf(target_));
  }
  temporary_.clear();
  target_.clear();
  return ok;
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  target_.clear();
  failed_ = false;
}

bool WriteFileAtomically(const std::string& path, std::string_view contents, FileError* why) {
  AtomicFileWriter writer;
  if (writer.Open(path) && writer.Write(contents.data(), contents.size()) && writer.Commit()) return true;
  if (why) *why = writer.Failure();
  return false;
}

}  // namespace platform
