#pragma once
// A pre-processing thread between recording stand-ins: a user-I/O thread
// that answers prompts as the test says, a core thread that collects the
// queued jobs, scripted file dialogs and a script runner that records what
// it ran and the thread's flags at that moment.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "../support/shell_targets.h"
#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/prompt/prompt_answer.h"
#include "engine/quillon_exception.h"
#include "shell/preproc/preprocessing_thread.h"

namespace preproc_test {

using shell_test::CoreRecorder;
using shell_test::PromptSeen;
using shell_test::UserIoStandIn;
using shell_test::WorkingFolder;

class ScriptedDialogs : public IPreprocessingDialogs {
 public:
  std::optional<std::string> OpenFile(const FileDialogSpec& spec) override {
    std::lock_guard lock(mutex);
    opened.push_back(spec);
    return openAnswer;
  }
  std::optional<std::string> SaveFile(const FileDialogSpec& spec) override {
    std::lock_guard lock(mutex);
    saved.push_back(spec);
    return saveAnswer;
  }
  int AskYesNoCancel(const std::string& text, const QuestionButtons& buttons) override {
    std::lock_guard lock(mutex);
    boxes.push_back(text);
    boxButtons.push_back(buttons);
    return boxAnswer;
  }
  std::vector<QuestionButtons> boxButtons;

  std::mutex mutex;
  std::optional<std::string> openAnswer;
  std::optional<std::string> saveAnswer;
  int boxAnswer = 7;
  std::vector<FileDialogSpec> opened;
  std::vector<FileDialogSpec> saved;
  std::vector<std::string> boxes;
};

struct RunnerCall {
  std::string what;  // "script" or "remote"
  std::string text;
  int interactive;
  int secondRequest;
};

struct RunnerLog {
  std::mutex mutex;
  std::vector<RunnerCall> calls;
  bool fail = false;          // throw QUILLON_ERROR
  bool failOther = false;     // throw something else

  std::vector<RunnerCall> Calls() {
    std::lock_guard lock(mutex);
    return calls;
  }
};

class RecordingRunner : public IScriptRunner {
 public:
  RecordingRunner(IPreprocessingHost& host, std::shared_ptr<RunnerLog> log) : host_(host), log_(std::move(log)) {}
  void RunScript(const std::string& path) override { Record("script", path); }
  void RunRemoteLine(const std::string& line) override { Record("remote", line); }

 private:
  void Record(const char* what, const std::string& text) {
    bool fail, failOther;
    {
      std::lock_guard lock(log_->mutex);
      log_->calls.push_back({what, text, host_.Interactive(), host_.SecondRequest()});
      fail = log_->fail;
      failOther = log_->failOther;
    }
    if (fail) throw QUILLON_ERROR;
    if (failOther) throw std::runtime_error("runner failed");
  }
  IPreprocessingHost& host_;
  std::shared_ptr<RunnerLog> log_;
};

// Device numbers of the settings used by the fixture.
inline constexpr int kSerialPortIndex = 3;
inline constexpr DeviceNumber kSelectedCom = 130;  // COM4

inline SectorList ProductSectors() {
  SectorList list;
  list.sectors = {{0x0, 0x1000, "BOOT", 0}, {0x1000, 0x1000, "CODE", 1}, {0x2000, 0x1000, "CODE", 0}};
  list.magicKeyPartition = "ALWAYS";
  list.processorName = "CALDER";
  return list;
}

inline SectorList DialogSectors() {
  SectorList list;
  list.sectors = {{0x8000, 0x4000, "CODEPLUG", 1}};
  list.processorName = "HARROW";
  return list;
}

class PreprocFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    CAppSettings& s = GetAppSettings();
    s.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    s.SetIntParam(OPTION_SERIAL_PORT, kSerialPortIndex);
    s.SetIntParam(OPTION_DATA_RATE, 0);
    s.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    s.SetSectorList(ProductSectors());
    s.SetAppString(APP_STRING_WORKING_DIRECTORY, folder.Path().string() + "/");
    s.SetAppString(APP_STRING_RECENT_FILE, "sentinel.hex");
    // Prompts: the erase dialog fills its record on OK; every prompt kind
    // takes its answer from the script.
    userIo.SetAnswerer([this](const PromptSeen& p) {
      int answer = kAnswerCancel;
      {
        std::lock_guard lock(answersMutex);
        if (!answers.empty()) {
          answer = answers.front();
          answers.pop_front();
        }
      }
      if (answer == 1 && p.kind == 0 && p.record) *std::get<SectorList*>(p.askerRecord) = DialogSectors();
      return answer;
    });
  }

  void TearDown() override { StopThread(); }

  void StartThread() {
    PreprocessingServices services;
    services.dialogs = dialogs;
    auto log = runnerLog;
    services.scriptRunner = [log](IPreprocessingHost& host) { return std::make_unique<RecordingRunner>(host, log); };
    services.expandShortcut = [](const std::string& path) { return path + ".target"; };
    if (updateFlash) services.updateFlash = updateFlash;
    thread = std::make_unique<CPreProcessingThread>(std::move(services));
    SetTargetThread(PT_PREPROCESSING, thread->Id());
    ASSERT_TRUE(thread->Create());
  }
  void StopThread() {
    if (!thread) return;
    thread->PostQuit();
    thread->Join();
    SetTargetThread(PT_PREPROCESSING, platform::kNoHandle);
    thread.reset();
  }

  void Answer(std::initializer_list<int> values) {
    std::lock_guard lock(answersMutex);
    answers.insert(answers.end(), values.begin(), values.end());
  }
  void Post(std::uint32_t number, platform::WParam w = 0, platform::LParam l = 0) {
    ASSERT_TRUE(PostToTarget(PT_PREPROCESSING, platform::Message(number, w, l)));
  }

  // Everything the thread sent to the core thread up to now: a cancel
  // request with a sentinel device is passed on behind everything handled
  // before it.
  std::vector<std::unique_ptr<CJobRequest>> FlushJobs() {
    constexpr platform::WParam kSentinel = 0x5E17;
    std::vector<std::unique_ptr<CJobRequest>> jobs;
    EXPECT_TRUE(PostToTarget<WM_CANCEL_DEVICE>(PT_PREPROCESSING, kSentinel));
    for (;;) {
      auto m = core.Next();
      if (!m) {
        ADD_FAILURE() << "the sentinel did not come back";
        return jobs;
      }
      if (m->number == WM_CANCEL_DEVICE && m->wParam == kSentinel) return jobs;
      if (m->number == WM_QUEUE_JOB) {
        jobs.push_back(m->Take<WM_QUEUE_JOB>());
      } else {
        forwarded.push_back(m->number);
      }
    }
  }

  // Waits until everything the thread sent to the user-I/O thread so far has
  // been handled there: a product-file download request is passed on behind
  // it.
  void FlushUserIo() {
    static platform::WParam counter = 0x7000;
    const platform::WParam mark = ++counter;
    ASSERT_TRUE(PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_PREPROCESSING, mark));
    ASSERT_TRUE(userIo.WaitMessageWith(WM_DOWNLOAD_PRODUCT_FILES, mark));
  }

  WorkingFolder folder;
  UserIoStandIn userIo;
  CoreRecorder core;
  std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
  std::shared_ptr<RunnerLog> runnerLog = std::make_shared<RunnerLog>();
  std::function<void(IPromptAsker&, DeviceNumber)> updateFlash;
  std::unique_ptr<CPreProcessingThread> thread;
  std::mutex answersMutex;
  std::deque<int> answers;
  std::vector<std::uint32_t> forwarded;
};

}  // namespace preproc_test
