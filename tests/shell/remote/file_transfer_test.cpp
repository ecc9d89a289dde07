// Remote file transfers against a client on loopback: the program connects
// back to the client's listener and moves one file prefixed by its length.
// Uploads, downloads, empty and missing files, nobody listening, a short
// upload, queued transfers with their BUSY percentages and their end
// reported to the core thread, and the request built from the arguments.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/core/device_event.h"
#include "engine/core/finish_record.h"
#include "engine/core/job_request.h"
#include "engine/core/status_report.h"
#include "platform/temp_folder.h"
#include "remote_fixture.h"
#include "shell/remote/file_transfer.h"

namespace remote_test {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> LengthPrefix(std::uint32_t length) {
  return {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
          static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

class FileTransferTest : public RemoteFixture {
 protected:
  void SetUp() override {
    RemoteFixture::SetUp();
    folder_ = std::filesystem::temp_directory_path() /
              ("quillon-transfer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    int error = 0;
    listener_ = platform::TcpListener::Listen(0, 1, &error);
    ASSERT_TRUE(listener_.Valid());
  }
  void TearDown() override {
    RemoteFixture::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  // Sends TRANSFER_FILE's four arguments to the thread; the client gets OK.
  void Request(platform::TcpSocket& client, const std::string& file, const std::string& port,
               const std::string& direction, const std::string& queue) {
    thread_->Post<WM_FILE_TRANSFER>(std::make_unique<std::vector<std::string>>(
                                        std::vector<std::string>{file, port, direction, queue}));
    EXPECT_EQ(ReadLine(client), "OK\n");
  }
  std::string Port() const { return std::to_string(listener_.Port()); }

  // The program's connection back to the client's listener.
  platform::TcpSocket AcceptTransfer() {
    platform::SocketWaitSet wait;
    const auto ready = wait.WaitReadable({&listener_}, kDeadline);
    EXPECT_EQ(ready.size(), 1u);
    int error = 0;
    auto socket = listener_.Accept(&error);
    EXPECT_TRUE(socket.has_value()) << error;
    return socket ? std::move(*socket) : platform::TcpSocket();
  }
  // Everything the program sends until it closes.
  static std::vector<std::uint8_t> ReceiveAll(platform::TcpSocket& socket) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[8192];
    for (;;) {
      auto result = socket.Receive(buffer, sizeof buffer, kDeadline);
      if (result.status != platform::IoResult::Ok) break;
      bytes.insert(bytes.end(), buffer, buffer + result.count);
    }
    return bytes;
  }
  static void SendBytes(platform::TcpSocket& socket, const std::vector<std::uint8_t>& bytes) {
    ASSERT_TRUE(socket.SendAll(bytes.data(), bytes.size()));
  }

  // Plays the core thread for a queued transfer: takes the queued job,
  // checks it, dispatches it and returns it (the worker borrows its payload).
  std::unique_ptr<CJobRequest> DispatchQueuedJob(const std::string& file, std::int32_t direction) {
    auto message = core_.Next(WM_QUEUE_JOB);
    EXPECT_TRUE(message);
    if (!message) return nullptr;
    auto job = message->Take<WM_QUEUE_JOB>();
    EXPECT_EQ(job->jobCode, WM_REMOTE_FILE_TRANSFER);
    EXPECT_EQ(job->device, DEVICE_INDEPENDENT);
    EXPECT_EQ(std::tie(job->senderFlagB, job->senderFlagA, job->interactive), std::make_tuple(0, 0, 0));
    // Accepting the line made the run status BUSY before the job went.
    EXPECT_EQ(job->acceptedLine, 1);
    auto accepted = log_.Next(WM_SET_STATUS);
    EXPECT_TRUE(accepted);
    if (accepted) {
      auto report = accepted->Take<WM_SET_STATUS>();
      EXPECT_EQ(std::tie(report->state, report->text, report->acceptsJob),
                std::make_tuple(std::int32_t{STATUS_BUSY}, std::string("Job queued"), true));
    }
    auto* request = job->payload.Get<FileTransferRequest>();
    EXPECT_TRUE(request);
    if (!request) return job;
    EXPECT_EQ(*request, (FileTransferRequest{file, "127.0.0.1", listener_.Port(), direction, 1}));
    thread_->Post<WM_REMOTE_FILE_TRANSFER>(std::make_unique<FileTransferRequest>(*request));
    return job;
  }
  void ExpectQueuedEnd() {
    auto finished = core_.Next(WM_JOB_FINISHED);
    ASSERT_TRUE(finished);
    auto record = finished->Take<WM_JOB_FINISHED>();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->device, DEVICE_INDEPENDENT);
    EXPECT_EQ(record->eventCode, EVENT_STATUS_REMOTE_TRANSFER_DONE);
  }
  // The BUSY percentages posted with the prefix, up to 100.
  std::vector<int> BusyPercents(const std::string& prefix) {
    std::vector<int> percents;
    while (percents.empty() || percents.back() < 100) {
      auto message = log_.Next(WM_SET_STATUS);
      if (!message) break;
      auto report = message->Take<WM_SET_STATUS>();
      EXPECT_EQ(report->state, STATUS_BUSY);
      EXPECT_EQ(report->text.rfind(prefix, 0), 0u) << report->text;
      percents.push_back(std::atoi(report->text.c_str() + prefix.size()));
    }
    return percents;
  }

  std::filesystem::path folder_;
  platform::TcpListener listener_;
};

TEST_F(FileTransferTest, AnUploadWritesTheFileAndLogsItsLength) {
  auto client = Connect();
  const std::string file = Path("image.s19");
  Request(client, file, Port(), "UPLOAD", "NOW");
  auto transfer = AcceptTransfer();
  const auto data = Pattern(256);
  SendBytes(transfer, {0x00, 0x00, 0x01, 0x00});
  SendBytes(transfer, data);
  EXPECT_TRUE(log_.WaitLine("Uploading " + file));
  EXPECT_TRUE(log_.WaitLine("Upload complete for " + file + ", 256 bytes transferred"));
  EXPECT_EQ(ReadFile(file), data);
  // Nothing crosses back, and the program closes the connection.
  EXPECT_TRUE(ReceiveAll(transfer).empty());
  // A transfer that runs at once posts no progress.
  EXPECT_FALSE(log_.Next(WM_SET_STATUS, std::chrono::milliseconds(0)));
}

TEST_F(FileTransferTest, ADownloadSendsTheLengthAndTheBytes) {
  auto client = Connect();
  const std::string file = Path("read back.s19");
  const auto data = Pattern(100000);
  WriteFile(file, data);
  Request(client, file, Port(), "download", "now");
  auto transfer = AcceptTransfer();
  auto expected = LengthPrefix(100000);
  expected.insert(expected.end(), data.begin(), data.end());
  EXPECT_EQ(ReceiveAll(transfer), expected);
  EXPECT_TRUE(log_.WaitLine("Downloading " + file));
  EXPECT_TRUE(log_.WaitLine("Download complete for " + file + ", 100000 bytes transferred"));
}

TEST_F(FileTransferTest, AnEmptyFileIsFourZeroBytes) {
  auto client = Connect();
  const std::string file = Path("empty.bin");
  WriteFile(file, {});
  Request(client, file, Port(), "DOWNLOAD", "NOW");
  auto transfer = AcceptTransfer();
  EXPECT_EQ(ReceiveAll(transfer), LengthPrefix(0));
  EXPECT_TRUE(log_.WaitLine("Download complete for " + file + ", 0 bytes transferred"));
}

struct NotFoundCase {
  const char* name;
  bool directory;
};

class DownloadNotFound : public FileTransferTest, public ::testing::WithParamInterface<NotFoundCase> {};

TEST_P(DownloadNotFound, ConnectsSendsNothingAndLogsFileNotFound) {
  auto client = Connect();
  const std::string file = Path(GetParam().name);
  if (GetParam().directory) std::filesystem::create_directories(file);
  Request(client, file, Port(), "DOWNLOAD", "NOW");
  auto transfer = AcceptTransfer();
  EXPECT_TRUE(ReceiveAll(transfer).empty());
  EXPECT_TRUE(log_.WaitLine("Error> file transfer: file not found"));
}

INSTANTIATE_TEST_SUITE_P(Paths, DownloadNotFound,
                         ::testing::Values(NotFoundCase{"missing.s19", false}, NotFoundCase{"a_folder", true}));

TEST_F(FileTransferTest, AShortUploadKeepsWhatCameAndLogsTheFailure) {
  auto client = Connect();
  const std::string file = Path("short.s19");
  Request(client, file, Port(), "UPLOAD", "NOW");
  auto transfer = AcceptTransfer();
  const auto data = Pattern(600);
  SendBytes(transfer, LengthPrefix(1000));
  SendBytes(transfer, data);
  transfer.Shutdown();
  EXPECT_TRUE(log_.WaitLine("Error> file transfer: file upload failed"));
  EXPECT_EQ(ReadFile(file), data);
}

TEST_F(FileTransferTest, AnUploadWithoutAFullLengthFails) {
  auto client = Connect();
  const std::string file = Path("none.s19");
  Request(client, file, Port(), "UPLOAD", "NOW");
  auto transfer = AcceptTransfer();
  SendBytes(transfer, {0x00, 0x01});
  transfer.Shutdown();
  EXPECT_TRUE(log_.WaitLine("Error> file transfer: file upload failed"));
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

struct PortCase {
  std::string port;
};

class TransferPortRefused : public FileTransferTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(TransferPortRefused, LogsCouldNotConnect) {
  auto client = Connect();
  std::string port = GetParam().port;
  if (port == "closed") {
    port = Port();
    listener_.Close();  // nobody listens there any more
  }
  Request(client, Path("x.s19"), port, "DOWNLOAD", "NOW");
  EXPECT_TRUE(log_.WaitLine("Error> file transfer: could not connect to socket"));
}

INSTANTIATE_TEST_SUITE_P(Ports, TransferPortRefused,
                         ::testing::Values(PortCase{"closed"}, PortCase{"0"}, PortCase{"65536"}, PortCase{"-1"},
                                           PortCase{"port"}));

TEST_F(FileTransferTest, AQueuedUploadPostsRisingPercentagesAndReportsItsEnd) {
  auto client = Connect();
  const std::string file = Path("queued.s19");
  Request(client, file, Port(), "UPLOAD", "QUEUE");
  auto job = DispatchQueuedJob(file, 0);
  auto transfer = AcceptTransfer();
  const auto data = Pattern(300000);
  auto bytes = LengthPrefix(300000);
  bytes.insert(bytes.end(), data.begin(), data.end());
  SendBytes(transfer, bytes);
  const auto percents = BusyPercents("Uploading ");
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(std::adjacent_find(percents.begin(), percents.end()), percents.end());
  EXPECT_EQ(percents.back(), 100);
  EXPECT_GE(percents.size(), 10u);
  ExpectQueuedEnd();
  EXPECT_EQ(ReadFile(file), data);
}

TEST_F(FileTransferTest, AQueuedDownloadThatFailsStillLetsTheQueueGoOn) {
  auto client = Connect();
  const std::string file = Path("missing.s19");
  Request(client, file, Port(), "DOWNLOAD", "QUEUE");
  auto job = DispatchQueuedJob(file, 1);
  auto transfer = AcceptTransfer();
  EXPECT_TRUE(ReceiveAll(transfer).empty());
  EXPECT_TRUE(log_.WaitLine("Error> file transfer: file not found"));
  ExpectQueuedEnd();
}

TEST_F(FileTransferTest, AQueuedTransferWithNobodyConnectedStillReportsItsEnd) {
  // A transfer that a script queued while no client was connected.
  thread_->Post<WM_REMOTE_FILE_TRANSFER>(
      std::make_unique<FileTransferRequest>(FileTransferRequest{Path("x.s19"), "", 5001, 1, 1}));
  ExpectQueuedEnd();
  // One that was to run at once is dropped without a word.
  thread_->Post<WM_REMOTE_FILE_TRANSFER>(std::make_unique<FileTransferRequest>(FileTransferRequest{Path("x.s19"), "", 5001, 1, 0}));
  Flush();
  EXPECT_TRUE(log_.Lines().empty());
}

struct RequestCase {
  std::vector<std::string> arguments;
  FileTransferRequest request;
};

class BuildRequestTable : public ::testing::TestWithParam<RequestCase> {};

TEST_P(BuildRequestTable, ReadsTheFourArguments) {
  EXPECT_EQ(BuildFileTransferRequest(GetParam().arguments, "10.0.0.7"), GetParam().request);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BuildRequestTable,
    ::testing::Values(RequestCase{{"a.s19", "5001", "UPLOAD", "NOW"}, {"a.s19", "10.0.0.7", 5001, 0, 0}},
                      RequestCase{{"a.s19", "5001", "upload", "queue"}, {"a.s19", "10.0.0.7", 5001, 0, 1}},
                      RequestCase{{"a.s19", "+42x", "SEND", "LATER"}, {"a.s19", "10.0.0.7", 42, 1, 0}},
                      RequestCase{{"a.s19", "x", "DOWNLOAD", "QUEUE"}, {"a.s19", "10.0.0.7", 0, 1, 1}},
                      RequestCase{{"a.s19", "-7", "", ""}, {"a.s19", "10.0.0.7", -7, 1, 0}}));

TEST(FileTransferErrorText, OneLinePerCode) {
  const std::vector<std::pair<int, std::string>> rows = {
      {0, ""},
      {1, "Error> file transfer: file transfer failure"},
      {2, "Error> file transfer: file not found"},
      {3, "Error> file transfer: file upload failed"},
      {4, "Error> file transfer: file download failed"},
      {5, "Error> file transfer: could not create socket"},
      {6, "Error> file transfer: could not connect to socket"},
      {7, "Error> file transfer: unknown failure"},
      {-1, "Error> file transfer: unknown failure"}};
  for (const auto& [code, text] : rows) EXPECT_EQ(FileTransferErrorText(code), text) << code;
}

}  // namespace
}  // namespace remote_test
