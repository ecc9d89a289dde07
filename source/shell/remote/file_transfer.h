#pragma once
// Remote file transfer: one file carried over a second TCP connection that
// the program opens back to the remote-control client, prefixed by its
// length (4 bytes, most significant first). An upload writes what the
// client sends into the file; a download sends the file to the client.
// Each transfer runs on a worker thread of its own; a queued one reports its
// end to the core thread so the job queue goes on.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/file_transfer_request.h"
#include "platform/tcp_socket.h"

enum FileTransferResult : int {
  TRANSFER_OK = 0,
  TRANSFER_FAILURE = 1,
  TRANSFER_FILE_NOT_FOUND = 2,
  TRANSFER_UPLOAD_FAILED = 3,
  TRANSFER_DOWNLOAD_FAILED = 4,
  TRANSFER_NO_SOCKET = 5,
  TRANSFER_NO_CONNECTION = 6,
};

// The log line of a result code (empty for 0).
std::string FileTransferErrorText(int code);

// A request from the four TRANSFER_FILE arguments (file, port, UPLOAD or
// other, QUEUE or other) and the connected client's address (empty when
// none is connected). Fewer than four arguments read as empty ones.
FileTransferRequest BuildFileTransferRequest(const std::vector<std::string>& arguments,
                                             const std::string& peerAddress);

// Reads the transfer connection through a 4096-byte buffer.
class TransferReader {
 public:
  explicit TransferReader(platform::TcpSocket& socket) : socket_(socket) {}
  // Up to size bytes; 0 when the peer has ended (or gone quiet too long).
  std::size_t Read(void* data, std::size_t size);
  // Exactly size bytes unless the connection ends first; the count read.
  std::size_t ReadFull(void* data, std::size_t size);

 private:
  platform::TcpSocket& socket_;
  std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(4096);
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

// Writes the transfer connection through a 4096-byte buffer; Flush sends
// what is buffered. Any failure is remembered and later writes do nothing.
class TransferWriter {
 public:
  explicit TransferWriter(platform::TcpSocket& socket) : socket_(socket) {}
  void Write(const void* data, std::size_t size);
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  platform::TcpSocket& socket_;
  std::vector<std::uint8_t> buffer_;
  bool failed_ = false;
};

// The client sends, the program writes the file: 0 or 3.
int TransferUpload(TransferReader& reader, const std::string& fileName, int queued);
// The program reads the file, the client receives: 0, 2 or 4.
int TransferDownload(TransferWriter& writer, const std::string& fileName, int queued);

// Runs one transfer to its end on the calling thread: connects (10 s at
// most), moves the file, logs the result's line and, for a queued
// transfer, posts WM_JOB_FINISHED {-3, 62} to the core thread. Returns the
// result code.
int FileTransferProc(const FileTransferRequest& request);
