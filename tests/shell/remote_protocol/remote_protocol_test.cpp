// The remote-control protocol as a client sees it, through the program's
// threads: the remote-I/O thread (resumed by the user-I/O thread at
// start-up, with the configured port and enable option), the pre-processing
// thread running the script interpreter, and the user-I/O thread that
// answers the queries, keeps the run status and writes the log.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../support/shell_test_support.h"
#include "engine/core/app_settings.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/status_report.h"
#include "platform/tcp_socket.h"
#include "platform/worker_thread.h"
#include "shell/prompt/scripted_prompt_service.h"
#include "shell/remote/remote_io_thread.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell/script/script_runner.h"
#include "shell/userio/query_request.h"
#include "shell/userio/user_io_thread.h"

namespace {

using namespace shell_test;

constexpr const char* kProduct =
    "product Vexa_Series\n{\n    processor Harrow;\n    flash main size = 128K type = nor vendor = Intel\n    {\n"
    "        address = 0, sector_size = 64K, num_sectors = 2, type = CODE;\n    }\n}\n";

class RemoteProtocolTest : public ::testing::Test {
 protected:
  // A port that nothing listens on right now (the configuration needs one
  // from 1 to 65535).
  static std::uint16_t FreePort() {
    int error = 0;
    auto probe = platform::TcpListener::Listen(0, 1, &error);
    return probe.Port();
  }
  void SetUp() override {
    saved_ = GetAppSettings().CopyParams();
    dir_.Write("Quor_Plover.qlp", kProduct);
    dir_.Write("image one.s19", "S00600004844521B\n");
    dir_.Write("Vexa20 Flash.cfg", "comm_protocol=0\nremote_port=" + std::to_string(port_ = FreePort()) +
                                       "\nenable_remote_control=" +
                                       std::to_string(enableRemote_) +
                                       "\nflash_product_file=Quor_Plover.qlp\nflash_product_tag=Vexa_Series\n"
                                       "current_working_directory=" + dir_.Dir() + "\n");
    PreprocessingServices services;
    services.scriptRunner = MakeScriptRunnerFactory();
    preprocessing_ = std::make_unique<CPreProcessingThread>(std::move(services));
    SetTargetThread(PT_PREPROCESSING, preprocessing_->Id());
    ASSERT_TRUE(preprocessing_->Create());
    remote_ = std::make_unique<CRemoteIOThread>();
    SetTargetThread(PT_REMOTE_IO, remote_->Id());
    ASSERT_TRUE(remote_->Create(true));
    UserIoSeams seams;
    seams.prompts = std::make_shared<CScriptedShellPromptService>();
    seams.resumeRemoteIo = [this] { return remote_->Resume(); };
    userIo_ = std::make_unique<CUserIOThread>(GetAppSettings(), seams);
    SetTargetThread(PT_USER_IO, userIo_->Id());
    ASSERT_TRUE(userIo_->Create());
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (remote_->ListeningPort() == 0 && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    ASSERT_EQ(remote_->ListeningPort(), port_);  // the configured port, read after the configuration
    int error = 0;
    client_ = platform::ConnectTcp("127.0.0.1", remote_->ListeningPort(), std::chrono::seconds(10), &error);
    ASSERT_TRUE(client_.Valid()) << error;
  }
  void TearDown() override {
    client_.Close();
    for (auto* thread : {static_cast<platform::WorkerThread*>(remote_.get()),
                         static_cast<platform::WorkerThread*>(preprocessing_.get()),
                         static_cast<platform::WorkerThread*>(userIo_.get())}) {
      if (!thread) continue;
      thread->Post(WM_QUIT_THREAD);
      thread->Join();
    }
    for (std::int32_t target : {PT_PREPROCESSING, PT_REMOTE_IO, PT_USER_IO}) SetTargetThread(target, platform::kNoHandle);
    GetAppSettings().SetAllParams(saved_);
    GetAppSettings().SetAppInt(APP_INT_REMOTE_PEER_CONNECTED, 0);
  }

  void Send(const std::string& text) { ASSERT_TRUE(client_.SendAll(text.data(), text.size())); }
  // The next reply line with its line feed ("" when none came in time).
  std::string Reply() {
    std::string text;
    char c = 0;
    while (client_.Receive(&c, 1, kDeadline).status == platform::IoResult::Ok) {
      text.push_back(c);
      if (c == '\n') break;
    }
    return text;
  }
  std::string Ask(const std::string& line) {
    Send(line);
    return Reply();
  }
  // Waits until the log file holds the text.
  bool LogHas(const std::string& text) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (dir_.Read("Vexa20 Flash.log").find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  int enableRemote_ = 1;
  std::uint16_t port_ = 0;
  TempFolder dir_;
  CurrentDirectory cwd_{dir_.Dir()};
  RecordingTarget mainWindow_{PT_MAIN_WINDOW};
  RecordingTarget core_{PT_CORE};
  CoreResetResponder coreReset_{core_};
  std::unique_ptr<CPreProcessingThread> preprocessing_;
  std::unique_ptr<CRemoteIOThread> remote_;
  std::unique_ptr<CUserIOThread> userIo_;
  platform::TcpSocket client_;
  JobOptionValues saved_;
};

TEST_F(RemoteProtocolTest, StatusAnswersTheStartupStateAndTheConnectionIsLogged) {
  EXPECT_EQ(Ask("STATUS\n"), "IDLE \"Startup\"\n");
  EXPECT_TRUE(LogHas("Remote connection established with 127.0.0.1 on port " + std::to_string(client_.LocalPort())));
  EXPECT_TRUE(LogHas("Remote command: STATUS"));
  client_.Close();
  EXPECT_TRUE(LogHas("Connection closed with 127.0.0.1"));
}

TEST_F(RemoteProtocolTest, RemoteLinesQueueJobsWithoutAsking) {
  dir_.Write("run.qls", "# two jobs\nFLASH a.s19\nERASE ALL\n");
  Send("RUN_SCRIPT run.qls\n");
  // Accepted jobs are BUSY until the core reports them done (it never does here).
  EXPECT_EQ(Ask("STATUS\n"), "BUSY \"Job queued\"\n");
  std::vector<std::uint32_t> codes;
  for (auto& m : core_.TakeAll()) {
    if (m.number != WM_QUEUE_JOB) continue;
    auto job = m.Take<WM_QUEUE_JOB>();
    codes.push_back(job->jobCode);
    EXPECT_EQ(job->interactive, 0);
    EXPECT_EQ(job->senderFlagA, 0);
    EXPECT_EQ(job->senderFlagB, 1);
  }
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{WM_FLASH, WM_ERASE}));
  EXPECT_TRUE(LogHas("Script command: FLASH a.s19"));
}

TEST_F(RemoteProtocolTest, AnErrorStaysUntilStatusReset) {
  Send("\n");  // an empty line: no reply, an error
  EXPECT_EQ(Ask("STATUS\n").rfind("ERROR \"", 0), 0u);
  EXPECT_TRUE(LogHas("Error> command string empty"));
  Send("FLASH\r\n");
  const std::string error = Ask("status\n");
  EXPECT_EQ(error.rfind("ERROR \"", 0), 0u) << error;
  EXPECT_EQ(Ask("STATUS\n"), error);
  EXPECT_EQ(Ask("STATUS RESET\n"), "IDLE \"Status reset to idle\"\n");
  EXPECT_EQ(Ask("STATUS\n"), "IDLE \"Status reset to idle\"\n");
  auto reset = mainWindow_.Wait(WM_RESET_ALL_ROWS);
  EXPECT_TRUE(reset);
}

TEST_F(RemoteProtocolTest, QueriesAnswerOneLineEach) {
  EXPECT_EQ(Ask("LIST_FILES *.qlp\n"), " \"Quor_Plover.qlp\" \n");
  EXPECT_EQ(Ask("LIST_FILES *.nothing\n"), "\n");
  EXPECT_EQ(Ask("LIST_PRODUCT_TAGS\n"), " \"Vexa_Series\" \n");
  std::string here = dir_.Dir();
  here.pop_back();
  EXPECT_EQ(Ask("DIRECTORY\n"), "\"" + here + "\"\n");
  // Commands without an answer send nothing: the next reply is STATUS's.
  Send("DIRECTORY DEFAULT\n");
  EXPECT_EQ(Ask("STATUS\n"), "IDLE \"Startup\"\n");
}

TEST_F(RemoteProtocolTest, FlashpackQueriesBeforeAnExtractAnswerTheErrorAndSetError) {
  EXPECT_EQ(Ask("FLASHPACK_GET_STATS\n"), "\"Error> Flashpacks not extracted\"\n");
  EXPECT_EQ(Ask("STATUS\n").rfind("ERROR \"", 0), 0u);
}

TEST_F(RemoteProtocolTest, SetChangesTheOptionsAndABadSetIsAnError) {
  Send("SET auto_erase_flash TRUE\n");
  EXPECT_EQ(Ask("STATUS\n"), "IDLE \"Startup\"\n");
  EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_AUTO_ERASE_FLASH), 1);
  Send("SET no_such_option 1\n");
  EXPECT_EQ(Ask("STATUS\n").rfind("ERROR \"", 0), 0u);
}

TEST_F(RemoteProtocolTest, TransferFileRepliesOkAtOnce) {
  int error = 0;
  auto listener = platform::TcpListener::Listen(0, 1, &error);
  ASSERT_TRUE(listener.Valid());
  EXPECT_EQ(Ask("TRANSFER_FILE \"image one.s19\" " + std::to_string(listener.Port()) + " DOWNLOAD NOW\n"), "OK\n");
  platform::SocketWaitSet wait;
  ASSERT_EQ(wait.WaitReadable({&listener}, kDeadline).size(), 1u);
  auto transfer = listener.Accept(&error);
  ASSERT_TRUE(transfer);
  std::string bytes;
  char buffer[256];
  for (;;) {
    auto got = transfer->Receive(buffer, sizeof buffer, kDeadline);
    if (got.status != platform::IoResult::Ok) break;
    bytes.append(buffer, got.count);
  }
  const std::string file = "S00600004844521B\n";
  EXPECT_EQ(bytes, std::string("\0\0\0", 3) + static_cast<char>(file.size()) + file);
  EXPECT_TRUE(LogHas("Download complete for image one.s19, " + std::to_string(file.size()) + " bytes transferred"));
}

class RemoteDisabledProtocolTest : public RemoteProtocolTest {
 protected:
  RemoteDisabledProtocolTest() { enableRemote_ = 0; }
};

TEST_F(RemoteDisabledProtocolTest, TheClientIsLoggedAndClosedWithoutAnyData) {
  char c;
  EXPECT_EQ(client_.Receive(&c, 1, kDeadline).status, platform::IoResult::Closed);
  EXPECT_TRUE(LogHas("Error> Remote control is disabled. Remote connection with 127.0.0.1 terminated"));
}

}  // namespace
