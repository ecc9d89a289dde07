#pragma once
// Recording targets that stand in for the threads around the shell's
// request code: a user-I/O thread that answers prompts on a thread of its
// own (filling the asker's record the way the test says) and records log
// lines, status reports and every other message; and a core thread that
// collects queued jobs and the messages forwarded to it. Every wait has a
// deadline.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <variant>
#include <vector>

#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "platform/target_registry.h"
#include "shell/userio/prompt_kind.h"

namespace shell_test {

inline constexpr auto kDeadline = std::chrono::seconds(20);

struct PromptSeen {
  std::int32_t kind = 0;
  std::int32_t replyTarget = 0;
  std::int32_t wantReply = 0;
  // The address of the asker's record, or of the flashpack manager for the
  // FlashPack Manager prompt; 0 for none.
  platform::LParam record = 0;
  PromptAskerRecord askerRecord{};  // the asker's record, typed
  DeviceNumber device = 0;       // the FlashPack Manager prompt's
  std::shared_ptr<CPackManager> packs;  // the FlashPack Manager prompt's share of the pack set
  std::string subject{};                 // what the asker named (the image of an erase prompt)
};

// Takes messages from a registered queue on a thread of its own.
class UserIoStandIn {
 public:
  // Answers a prompt that wants a reply; may fill the asker's record (the
  // prompt's askerRecord), as the real dialogs do.
  using Answerer = std::function<int(const PromptSeen&)>;

  UserIoStandIn() {
    SetTargetThread(PT_USER_IO, queue_.handle());
    worker_ = std::thread([this] { Run(); });
  }
  ~UserIoStandIn() {
    SetTargetThread(PT_USER_IO, platform::kNoHandle);
    queue_.queue().Close();
    worker_.join();
  }

  void SetAnswerer(Answerer answerer) {
    std::lock_guard lock(mutex_);
    answerer_ = std::move(answerer);
  }
  // Answers the coming prompts in order with these values, then with
  // `fallback`.
  void ScriptAnswers(std::vector<int> answers, int fallback = 2) {
    auto script = std::make_shared<std::deque<int>>(answers.begin(), answers.end());
    SetAnswerer([script, fallback](const PromptSeen&) {
      if (script->empty()) return fallback;
      int a = script->front();
      script->pop_front();
      return a;
    });
  }

  bool WaitPrompts(std::size_t count) {
    return WaitFor([&] { return prompts_.size() >= count; });
  }
  bool WaitLog(const std::string& text) {
    return WaitFor([&] { return CountLogsLocked(text) > 0; });
  }
  bool WaitMessage(std::uint32_t number) {
    return WaitFor([&] {
      for (auto n : others_) {
        if (n == number) return true;
      }
      return false;
    });
  }
  // Waits for a message of the number whose wParam is `w`.
  bool WaitMessageWith(std::uint32_t number, platform::WParam w) {
    return WaitFor([&] {
      for (std::size_t i = 0; i < others_.size(); ++i) {
        if (others_[i] == number && otherParams_[i].first == w) return true;
      }
      return false;
    });
  }
  bool WaitStatus(std::size_t count) {
    return WaitFor([&] { return statuses_.size() >= count; });
  }

  // Forgets what was recorded so far.
  void ClearRecords() {
    std::lock_guard lock(mutex_);
    prompts_.clear();
    logs_.clear();
    statuses_.clear();
    others_.clear();
    otherParams_.clear();
  }
  std::vector<PromptSeen> Prompts() const {
    std::lock_guard lock(mutex_);
    return prompts_;
  }
  std::vector<int> PromptKinds() const {
    std::lock_guard lock(mutex_);
    std::vector<int> kinds;
    for (const auto& p : prompts_) kinds.push_back(p.kind);
    return kinds;
  }
  std::vector<std::string> Logs() const {
    std::lock_guard lock(mutex_);
    return logs_;
  }
  std::size_t CountLogs(const std::string& text) const {
    std::lock_guard lock(mutex_);
    return CountLogsLocked(text);
  }
  std::vector<StatusReport> Statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
  }
  // Numbers of the messages that were neither prompts, log lines nor status
  // reports, in arrival order, with their parameters.
  std::vector<std::uint32_t> OtherMessages() const {
    std::lock_guard lock(mutex_);
    return others_;
  }
  std::vector<std::pair<platform::WParam, platform::LParam>> OtherParams() const {
    std::lock_guard lock(mutex_);
    return otherParams_;
  }

 private:
  void Run() {
    while (auto m = queue_.queue().Get()) Handle(*m);
  }
  static platform::LParam AddressOf(const PromptAskerRecord& record) {
    return std::visit(
        [](auto held) -> platform::LParam {
          if constexpr (std::is_pointer_v<decltype(held)>) return reinterpret_cast<platform::LParam>(held);
          return 0;
        },
        record);
  }
  void Handle(platform::Message& m) {
    if (m.number == WM_USER_PROMPT) {
      auto request = m.Take<WM_USER_PROMPT>();
      PromptSeen seen;
      if (request && request->flashpackManager) {
        const auto& target = *request->flashpackManager;
        seen = {request->kind, request->replyTarget, request->wantReply,
                reinterpret_cast<platform::LParam>(target.packs.get()), {}, target.device, target.packs};
      } else if (request) {
        seen = {request->kind, request->replyTarget, request->wantReply, AddressOf(request->askerRecord),
                request->askerRecord, 0, nullptr};
      }
      if (request) seen.subject = request->subject;
      Answerer answerer;
      {
        std::lock_guard lock(mutex_);
        answerer = answerer_;
      }
      const int answer = (seen.wantReply && answerer) ? answerer(seen) : 1;
      {
        std::lock_guard lock(mutex_);
        prompts_.push_back(seen);
      }
      changed_.notify_all();
      if (seen.wantReply) {
        PostToTarget<WM_PROMPT_REPLY>(seen.replyTarget, static_cast<platform::WParam>(answer));
      }
      return;
    }
    std::lock_guard lock(mutex_);
    if (m.number == WM_LOG_LINE) {
      if (auto line = m.Take<WM_LOG_LINE>()) logs_.push_back(*line);
    } else if (m.number == WM_SET_STATUS) {
      if (auto report = m.Take<WM_SET_STATUS>()) statuses_.push_back(*report);
    } else {
      others_.push_back(m.number);
      otherParams_.emplace_back(m.wParam, m.lParam);
    }
    changed_.notify_all();
  }
  std::size_t CountLogsLocked(const std::string& text) const {
    std::size_t n = 0;
    for (const auto& line : logs_) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  template <class Pred>
  bool WaitFor(Pred done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kDeadline, done);
  }

  platform::RegisteredQueue queue_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Answerer answerer_ = [](const PromptSeen&) { return 2; };
  std::vector<PromptSeen> prompts_;
  std::vector<std::string> logs_;
  std::vector<StatusReport> statuses_;
  std::vector<std::uint32_t> others_;
  std::vector<std::pair<platform::WParam, platform::LParam>> otherParams_;
  std::thread worker_;
};

// The core thread's place: queued jobs and forwarded messages, read by the
// test with deadlines.
class CoreRecorder {
 public:
  CoreRecorder() { SetTargetThread(PT_CORE, queue_.handle()); }
  ~CoreRecorder() { SetTargetThread(PT_CORE, platform::kNoHandle); }

  // The next queued job; null when none comes within the deadline.
  std::unique_ptr<CJobRequest> NextJob(std::chrono::milliseconds wait = kDeadline) {
    auto m = queue_.queue().TakeMatching(WM_QUEUE_JOB, WM_QUEUE_JOB, wait);
    if (!m) return nullptr;
    return m->Take<WM_QUEUE_JOB>();
  }
  // The next message of any number.
  std::optional<platform::Message> Next(std::chrono::milliseconds wait = kDeadline) {
    return queue_.queue().Get(wait);
  }
  bool Empty() { return queue_.queue().Empty(); }
  platform::MessageQueue& Queue() { return queue_.queue(); }

 private:
  platform::RegisteredQueue queue_;
};

// A temporary folder that is also the process's current directory while the
// object lives (the requests change the current directory).
class WorkingFolder {
 public:
  WorkingFolder() : previous_(std::filesystem::current_path()) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("quillon_shell_" + std::to_string(std::random_device{}()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~WorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace shell_test
