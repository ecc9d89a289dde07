#pragma once
// The script interpreter on the test thread, with recording targets for
// the core thread (jobs), the user-I/O thread (log, status, options
// requests), the remote-I/O thread (reply lines, transfers) and a test
// context whose replies the test posts into the thread's own queue before
// the command runs (a reply is taken by its number, as the real thread does).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/prompt/prompt_answer.h"
#include "engine/quillon_exception.h"
#include "platform/target_registry.h"
#include "shell/script/script_interpreter.h"

namespace script_test {

inline constexpr auto kDeadline = std::chrono::seconds(20);

class Recorder {
 public:
  explicit Recorder(std::int32_t target) : target_(target) { SetTargetThread(target, queue_.handle()); }
  ~Recorder() { SetTargetThread(target_, platform::kNoHandle); }
  platform::MessageQueue& queue() { return queue_.queue(); }
  // Everything queued now, in order.
  std::vector<platform::Message> Drain() {
    std::vector<platform::Message> messages;
    while (auto m = queue_.queue().TryGet()) messages.push_back(std::move(*m));
    return messages;
  }
  // The texts of the messages M queued now.
  template <platform::MessageId M>
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (auto& m : Drain()) {
      if (m.number != M) continue;
      auto text = m.Take<M>();
      texts.push_back(text ? *text : "<null>");
    }
    return texts;
  }

 private:
  std::int32_t target_;
  platform::RegisteredQueue queue_;
};

struct QuerySeen {
  std::int32_t kind;
  std::string argument;
  std::int32_t wantReply;
  bool operator==(const QuerySeen&) const = default;
};

class TestContext : public IScriptContext {
 public:
  int Interactive() const override { return interactive; }
  int SecondRequest() const override { return interactive; }
  int AskPrompt(std::int32_t kind) override {
    prompts.push_back(kind);
    return promptAnswer;
  }
  std::optional<platform::Message> WaitForReply(std::uint32_t number) override {
    return own.TakeMatching(number, number, kDeadline);
  }
  std::shared_ptr<CPackManager> SharePackManager() const override { return packs; }
  bool PostQuery(std::int32_t kind, const std::string& argument, std::int32_t wantReply) override {
    queries.push_back({kind, argument, wantReply});
    return true;
  }
  std::string ExpandShortcut(const std::string& path) const override { return path; }

  // Queues the reply that the next wait takes.
  void Reply(std::uint32_t number, platform::WParam answer) { own.Post(platform::Message(number, answer, 0)); }
  void ReplyText(const std::string& text) {
    own.Post(platform::Message::Make<WM_QUERY_REPLY>(std::make_unique<std::string>(text)));
  }

  int interactive = 0;
  int promptAnswer = kAnswerCancel;
  std::vector<std::int32_t> prompts;
  std::vector<QuerySeen> queries;
  std::shared_ptr<CPackManager> packs;
  platform::MessageQueue own;
};

class ScriptFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    savedOptions_ = GetAppSettings().CopyParams();
    savedSectors_ = GetAppSettings().GetSectorList();
    JobOptionValues values;
    values.serialPort = 2;  // COM3: device 129
    GetAppSettings().SetAllParams(values);
    SectorList sectors;
    sectors.sectors = {{0x00000, 0x10000, "CODE", 0},
                       {0x10000, 0x10000, "CODE", 0},
                       {0x20000, 0x08000, "PARAM", 0},
                       {0x28000, 0x08000, "PARAM", 0},
                       {0x30000, 0x10000, "CODEPLUG", 0}};
    sectors.processorName = "HARROW";
    GetAppSettings().SetSectorList(sectors);
    folder_ = std::filesystem::temp_directory_path() /
              ("quillon-script-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    GetAppSettings().SetAllParams(savedOptions_);
    GetAppSettings().SetSectorList(savedSectors_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Runs one line as a remote line would; true when it raised the script error.
  bool Run(const std::string& line) {
    try {
      interpreter_.RunRemoteLine(line);
    } catch (QUILLON_EXCEPTION) {
      return true;
    }
    return false;
  }
  bool RunFile(const std::string& path) {
    try {
      interpreter_.RunScript(path);
    } catch (QUILLON_EXCEPTION) {
      return true;
    }
    return false;
  }
  std::string WriteScript(const std::string& name, const std::string& text) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // The jobs queued at the core thread, in order.
  std::vector<std::unique_ptr<CJobRequest>> Jobs() {
    std::vector<std::unique_ptr<CJobRequest>> jobs;
    for (auto& m : core_.Drain()) {
      if (m.number == WM_QUEUE_JOB) jobs.push_back(m.Take<WM_QUEUE_JOB>());
    }
    return jobs;
  }
  std::vector<std::string> Log() { return userIo_.Texts<WM_LOG_LINE>(); }

  Recorder core_{PT_CORE};
  Recorder userIo_{PT_USER_IO};
  Recorder remote_{PT_REMOTE_IO};
  TestContext context_;
  CScriptInterpreter interpreter_{context_};
  std::filesystem::path folder_;

 private:
  JobOptionValues savedOptions_;
  SectorList savedSectors_;
};

}  // namespace script_test
