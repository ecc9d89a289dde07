#include "shell/remote/file_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/core/device_event.h"
#include "engine/core/device_number.h"
#include "engine/core/finish_record.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/status_report.h"
#include "shell/log/post_log_line.h"
#include "shell/script/script_error.h"
#include "shell/text/upper_case.h"

namespace {

constexpr std::size_t kChunk = 16384;
constexpr std::size_t kArchiveBuffer = 4096;
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// A transfer connection that stays silent this long counts as ended, so a
// stalled client never keeps a worker (and a queued job) forever.
constexpr auto kIdleTimeout = std::chrono::seconds(60);

struct ResultText {
  int code;
  const char* text;
};

constexpr ResultText kResultTexts[] = {
    {TRANSFER_FAILURE, "Error> file transfer: file transfer failure"},
    {TRANSFER_FILE_NOT_FOUND, "Error> file transfer: file not found"},
    {TRANSFER_UPLOAD_FAILED, "Error> file transfer: file upload failed"},
    {TRANSFER_DOWNLOAD_FAILED, "Error> file transfer: file download failed"},
    {TRANSFER_NO_SOCKET, "Error> file transfer: could not create socket"},
    {TRANSFER_NO_CONNECTION, "Error> file transfer: could not connect to socket"},
};

// A signed decimal number as the C library reads it; text without a number
// gives 0, and values beyond 32 bits are clamped.
std::int32_t SignedDecimal(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<std::int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// Posts BUSY with the percentage whenever it has risen by a whole percent.
class ProgressReport {
 public:
  ProgressReport(const char* format, std::uint64_t length, int queued)
      : format_(format), length_(length), queued_(queued != 0) {}
  void Update(std::uint64_t done) {
    if (!queued_ || length_ == 0) return;
    const auto percent = static_cast<int>(done * 100 / length_);
    if (percent <= last_) return;
    last_ = percent;
    char text[64];
    std::snprintf(text, sizeof text, format_, percent);
    auto report = std::make_unique<StatusReport>();
    report->state = STATUS_BUSY;
    report->text = text;
    PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
  }

 private:
  const char* format_;
  std::uint64_t length_;
  bool queued_;
  int last_ = 0;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::string FileTransferErrorText(int code) {
  if (code == TRANSFER_OK) return {};
  for (const auto& row : kResultTexts) {
    if (row.code == code) return row.text;
  }
  return "Error> file transfer: unknown failure";
}

FileTransferRequest BuildFileTransferRequest(const std::vector<std::string>& arguments,
                                             const std::string& peerAddress) {
  auto argument = [&](std::size_t i) { return i < arguments.size() ? arguments[i] : std::string(); };
  FileTransferRequest request;
  request.fileName = argument(0);
  request.peerAddress = peerAddress;
  request.port = SignedDecimal(argument(1));
  request.direction = UpperCase(argument(2)) == "UPLOAD" ? 0 : 1;
  request.queued = UpperCase(argument(3)) == "QUEUE" ? 1 : 0;
  return request;
}

std::size_t TransferReader::Read(void* data, std::size_t size) {
  if (size == 0) return 0;
  if (begin_ == end_) {
    const auto result = socket_.Receive(buffer_.data(), buffer_.size(), kIdleTimeout);
    if (result.status != platform::IoResult::Ok || result.count == 0) return 0;
    begin_ = 0;
    end_ = result.count;
  }
  const std::size_t count = std::min(size, end_ - begin_);
  std::copy_n(buffer_.data() + begin_, count, static_cast<std::uint8_t*>(data));
  begin_ += count;
  return count;
}

std::size_t TransferReader::ReadFull(void* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::size_t count = Read(static_cast<std::uint8_t*>(data) + done, size - done);
    if (count == 0) break;
    done += count;
  }
  return done;
}

void TransferWriter::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0 && !failed_) {
    const std::size_t room = kArchiveBuffer - buffer_.size();
    const std::size_t count = std::min(room, size);
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    bytes += count;
    size -= count;
    if (buffer_.size() == kArchiveBuffer) Flush();
  }
}

bool TransferWriter::Flush() {
  if (!failed_ && !buffer_.empty()) {
    int error = 0;
    failed_ = socket_.SendWhole(buffer_.data(), buffer_.size(), kIdleTimeout, &error).status !=
              platform::IoResult::Ok;
  }
  buffer_.clear();
  return !failed_;
}

int TransferUpload(TransferReader& reader, const std::string& fileName, int queued) {
  FilePtr file(std::fopen(fileName.c_str(), "wb"));
  if (!file) return TRANSFER_UPLOAD_FAILED;
  PostLogLine("Uploading " + fileName);
  std::uint8_t header[4];
  if (reader.ReadFull(header, sizeof header) < sizeof header) return TRANSFER_UPLOAD_FAILED;
  const std::uint64_t length = (std::uint64_t{header[0]} << 24) | (std::uint64_t{header[1]} << 16) |
                               (std::uint64_t{header[2]} << 8) | header[3];
  ProgressReport progress("Uploading %d%%", length, queued);
  std::vector<std::uint8_t> chunk(kChunk);
  std::uint64_t done = 0;
  bool written = true;
  while (done < length) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, kChunk));
    const std::size_t count = reader.Read(chunk.data(), want);
    if (count == 0) break;
    written = written && std::fwrite(chunk.data(), 1, count, file.get()) == count;
    done += count;
    progress.Update(done);
  }
  const bool closed = std::fflush(file.get()) == 0 && std::fclose(file.release()) == 0;
  if (done != length || !written || !closed) return TRANSFER_UPLOAD_FAILED;
  PostLogLine("Upload complete for " + fileName + ", " + std::to_string(done) + " bytes transferred");
  return TRANSFER_OK;
}

int TransferDownload(TransferWriter& writer, const std::string& fileName, int queued) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error)) return TRANSFER_FILE_NOT_FOUND;
  const std::uint64_t size = std::filesystem::file_size(fileName, error);
  if (error || size > 0xFFFFFFFFu) return TRANSFER_FILE_NOT_FOUND;
  FilePtr file(std::fopen(fileName.c_str(), "rb"));
  if (!file) return TRANSFER_FILE_NOT_FOUND;
  PostLogLine("Downloading " + fileName);
  const std::uint8_t header[4] = {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                                  static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)};
  writer.Write(header, sizeof header);
  ProgressReport progress("Downloading %d%%", size, queued);
  std::vector<std::uint8_t> chunk(kChunk);
  std::uint64_t done = 0;
  while (done < size && !writer.Failed()) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kChunk));
    const std::size_t count = std::fread(chunk.data(), 1, want, file.get());
    if (count == 0) break;
    writer.Write(chunk.data(), count);
    done += count;
    progress.Update(done);
  }
  file.reset();
  if (!writer.Flush() || done != size) return TRANSFER_DOWNLOAD_FAILED;
  PostLogLine("Download complete for " + fileName + ", " + std::to_string(done) + " bytes transferred");
  return TRANSFER_OK;
}

namespace {

int RunTransfer(const FileTransferRequest& request) {
  if (request.port < 1 || request.port > 65535) return TRANSFER_NO_CONNECTION;
  int error = 0;
  platform::TcpSocket socket = platform::ConnectTcp(request.peerAddress, static_cast<std::uint16_t>(request.port),
                                                    kConnectTimeout, &error);
  if (!socket.Valid()) return error == 10024 || error == 10055 ? TRANSFER_NO_SOCKET : TRANSFER_NO_CONNECTION;
  int code = TRANSFER_FAILURE;
  if (request.direction == 0) {
    TransferReader reader(socket);
    code = TransferUpload(reader, request.fileName, request.queued);
  } else if (request.direction == 1) {
    TransferWriter writer(socket);
    code = TransferDownload(writer, request.fileName, request.queued);
  }
  socket.Shutdown();
  return code;
}

}  // namespace

int FileTransferProc(const FileTransferRequest& request) {
  const int code = RunTransfer(request);
  if (code != TRANSFER_OK) PostLogLine(FileTransferErrorText(code));
  if (request.queued && code != TRANSFER_OK) {
    // A queued transfer is work of its line: its failure is the run status.
    auto report = std::make_unique<StatusReport>();
    report->state = STATUS_ERROR;
    report->text = FileTransferErrorText(code);
    PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
  }
  if (request.queued) {
    auto finished = std::make_unique<FinishRecord>();
    finished->device = DEVICE_INDEPENDENT;
    finished->eventCode = EVENT_STATUS_REMOTE_TRANSFER_DONE;
    PostToTarget<WM_JOB_FINISHED>(PT_CORE, std::move(finished));
  }
  return code;
}
