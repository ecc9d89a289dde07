#pragma once
// Remote-control lines driving real jobs: a client on loopback talks to the
// remote-I/O thread, whose lines run through the script interpreter on a
// pre-processing thread into the core processing thread, which works on a
// simulated radio (on a pseudo-terminal or the USB stand-in) as in the
// engine's radio job tests. The shared settings hold the radio's port and
// the product's sectors, as the configuration and product selection would.

#include <memory>
#include <string>

#include "../../engine/processing/radio_jobs_fixture.h"
#include "engine/quillon_exception.h"
#include "platform/tcp_socket.h"
#include "platform/worker_thread.h"
#include "shell/remote/remote_io_thread.h"
#include "shell/script/script_interpreter.h"

namespace remote_radio {

// Runs remote lines with the interactive flags off, as the pre-processing
// thread does; a failing line sets the ERROR status.
class PreprocessingStandIn : public platform::WorkerThread, private IScriptContext {
 public:
  PreprocessingStandIn() : interpreter_(*this) {
    Map().On<WM_REMOTE_COMMAND>([this](platform::Message& m) {
      auto line = m.Take<WM_REMOTE_COMMAND>();
      try {
        interpreter_.RunRemoteLine(line ? *line : std::string());
      } catch (QUILLON_EXCEPTION) {
        PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::make_unique<StatusReport>(StatusReport{STATUS_ERROR, ""}));
      }
    });
    Map().On<WM_QUIT_THREAD>([this](platform::Message&) { PostQuitMessage(0); });
  }

 private:
  int Interactive() const override { return 0; }
  int SecondRequest() const override { return 0; }
  int AskPrompt(std::int32_t) override { return 2; }
  std::optional<platform::Message> WaitForReply(std::uint32_t number) override {
    return WaitForMessage(number, std::chrono::seconds(20));
  }
  std::shared_ptr<CPackManager> SharePackManager() const override { return nullptr; }
  bool PostQuery(std::int32_t, const std::string&, std::int32_t) override { return false; }
  std::string ExpandShortcut(const std::string& path) const override { return path; }

  CScriptInterpreter interpreter_;
};

class RemoteRadioTest : public test_support::RadioJobsTest,
                        public ::testing::WithParamInterface<test_support::RadioLink> {
 protected:
  void TearDown() override {
    client_.Close();
    for (platform::WorkerThread* thread : {static_cast<platform::WorkerThread*>(remote_.get()),
                                           static_cast<platform::WorkerThread*>(preprocessing_.get())}) {
      if (!thread) continue;
      thread->Post(WM_QUIT_THREAD);
      thread->Join();
    }
    SetTargetThread(PT_REMOTE_IO, platform::kNoHandle);
    GetAppSettings().SetAllParams(saved_);
    GetAppSettings().SetSectorList(SectorList{});
    test_support::RadioJobsTest::TearDown();
  }

  // Serves the radio, puts its port and the product's sectors in the
  // settings, and connects a remote client.
  void Start(radiosim::PowerOnState powerOn, int autoErase = 1) {
    ServeOne(GetParam(), powerOn);
    saved_ = GetAppSettings().CopyParams();
    JobOptionValues values;
    values.commProtocol = link_ == test_support::RadioLink::Serial ? 0 : 1;
    values.serialPort = kComNumber - 1;
    values.autoEraseFlash = autoErase;
    values.enableRemoteControl = 1;
    GetAppSettings().SetAllParams(values);
    GetAppSettings().SetSectorList(ProductSectors());
    preprocessing_ = std::make_unique<PreprocessingStandIn>();
    SetTargetThread(PT_PREPROCESSING, preprocessing_->Id());
    ASSERT_TRUE(preprocessing_->Create());
    remote_ = std::make_unique<CRemoteIOThread>();
    SetTargetThread(PT_REMOTE_IO, remote_->Id());
    ASSERT_TRUE(remote_->Create(true));
    remote_->Resume();
    ASSERT_TRUE(shell_.WaitUntil([&] { return remote_->ListeningPort() != 0; }));
    int error = 0;
    client_ = platform::ConnectTcp("127.0.0.1", remote_->ListeningPort(), std::chrono::seconds(10), &error);
    ASSERT_TRUE(client_.Valid()) << error;
    ASSERT_TRUE(shell_.WaitLog("Remote connection established with 127.0.0.1 on port " +
                               std::to_string(client_.LocalPort())));
  }
  void Send(const std::string& line) {
    const std::string text = line + "\r\n";
    ASSERT_TRUE(client_.SendAll(text.data(), text.size()));
  }
  std::unique_ptr<PreprocessingStandIn> preprocessing_;
  std::unique_ptr<CRemoteIOThread> remote_;
  platform::TcpSocket client_;
  JobOptionValues saved_;
};

}  // namespace remote_radio
