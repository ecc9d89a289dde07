#pragma once
// One remote file transfer. A transfer that runs at once belongs to the
// remote-I/O thread and then to its worker; a queued one is the payload of a
// WM_REMOTE_FILE_TRANSFER job and belongs to the queue entry, the worker only
// borrows it.

#include <cstdint>
#include <string>

struct FileTransferRequest {
  std::string fileName;     // the local file, as the client wrote it
  std::string peerAddress;  // dotted text; empty when no client was connected
  std::int32_t port = 0;       // TCP port on the client to connect to
  std::int32_t direction = 0;  // 0 upload (client to program), 1 download
  std::int32_t queued = 0;     // 1 when the transfer runs as a queued job

  bool operator==(const FileTransferRequest&) const = default;
};
