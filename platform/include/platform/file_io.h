#pragma once
// Whole files: read one into memory, write one so that it appears complete
// or not at all, and remove one.
//
// An atomic write goes to a temporary file in the target's folder; only when
// every byte is written and flushed to the disk is the temporary file
// renamed over the target. A writer that is destroyed or discarded before it
// commits removes its temporary file and leaves the target as it was.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/windows_error.h"

namespace platform {

// Why a file call failed, in the serial port's style: the Windows error
// number (kErrorFileNotFound, kErrorAccessDenied, ...) and the Linux one.
struct FileError {
  std::uint32_t error = 0;
  int errnoValue = 0;
};

// Reads the whole file into contents. False when it cannot be opened or
// read, with the reason in `why` when given.
bool ReadWholeFile(const std::string& path, std::string& contents, FileError* why = nullptr);

// Removes a file; false when it did not exist or cannot be removed.
bool RemoveFile(const std::string& path, FileError* why = nullptr);

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file beside target. False when the folder does not
  // exist or a file cannot be created in it.
  bool Open(const std::string& target);
  bool IsOpen() const { return fd_ >= 0; }
  // Appends bytes; false on a write failure (the writer stays open, and a
  // later Commit fails).
  bool Write(const void* data, std::size_t size);
  // Flushes the file to the disk and renames it over the target (mode 0644
  // less the umask). False, with the temporary file removed, when anything
  // failed since Open.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Discard();

  // Why the last call that failed did.
  std::uint32_t LastError() const { return lastError_.error; }
  int LastErrno() const { return lastError_.errnoValue; }
  const FileError& Failure() const { return lastError_; }

 private:
  bool Fail(int err);

  FileError lastError_;
  int fd_ = -1;
  bool failed_ = false;
  std::string target_;
  std::string temporary_;
};

// Writes contents to path through an AtomicFileWriter.
bool WriteFileAtomically(const std::string& path, std::string_view contents, FileError* why = nullptr);

}  // namespace platform
