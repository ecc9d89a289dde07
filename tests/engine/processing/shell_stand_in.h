#pragma once
// Recording targets that stand in for the shell around the core processing
// thread: the user-I/O thread (log lines, run status, prompts, answered as
// the test says), the main window (status records, row resets) and the
// pre-processing thread. Every wait polls with a deadline.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "engine/core/device_status_record.h"
#include "engine/core/flashpack_status_record.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "engine/images/srecord_file.h"
#include "platform/target_registry.h"

namespace test_support {

inline constexpr auto kDeadline = std::chrono::seconds(20);

struct StatusSeen {
  std::int32_t code;
  DeviceNumber device;
  std::int32_t itemsStarted;
  std::int32_t itemsQueued;
  std::int32_t percent;
  std::int32_t errorCode;  // -1 without an error record
  bool startsUpdateFlash = false;
};

class ShellStandIn {
 public:
  ShellStandIn()
      : userIo_(platform::TargetKind::Thread),
        preprocessing_(platform::TargetKind::Thread),
        mainWindow_(platform::TargetKind::Window) {
    SetTargetThread(PT_USER_IO, userIo_.handle());
    SetTargetThread(PT_PREPROCESSING, preprocessing_.handle());
    SetMainWindow(mainWindow_.handle());
  }
  ~ShellStandIn() {
    SetTargetThread(PT_USER_IO, platform::kNoHandle);
    SetTargetThread(PT_PREPROCESSING, platform::kNoHandle);
    SetTargetThread(PT_CORE, platform::kNoHandle);
    ClearMainWindow();
  }

  // The answer to a prompt that wants one (4 Retry, 2 Cancel); called on
  // the test thread while it waits.
  std::function<std::int32_t()> promptAnswer = [] { return 2; };

  // Waits until a log line contains text; true when one did.
  bool WaitLog(const std::string& text) {
    return WaitUntil([&] { return CountLogs(text) > 0; });
  }
  bool WaitLogCount(const std::string& text, std::size_t count) {
    return WaitUntil([&] { return CountLogs(text) >= count; });
  }
  // Waits for a "Processing Complete" report beyond the first mark ones.
  bool WaitProcessingComplete(std::size_t mark) {
    return WaitUntil([&] { return completeReports_ > mark; });
  }
  // The core thread's answers to STATUS RESET (true: work remains).
  bool WaitResetAnswer(std::size_t count) {
    return WaitUntil([&] { return resetAnswers_.size() >= count; });
  }
  const std::vector<bool>& ResetAnswers() const { return resetAnswers_; }
  // The reports seen so far, pumping what has arrived.
  std::size_t CompleteReports() {
    PumpOnce(std::chrono::milliseconds(0));
    return completeReports_;
  }
  bool WaitStatus(DeviceNumber device, std::int32_t code) {
    return WaitUntil([&] { return CountStatus(device, code) > 0; });
  }
  bool WaitRowReset(DeviceNumber device) {
    return WaitUntil([&] {
      for (DeviceNumber d : rowResets_) {
        if (d == device) return true;
      }
      return false;
    });
  }
  bool WaitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      PumpOnce(std::chrono::milliseconds(10));
    }
    return true;
  }

  std::size_t CountLogs(const std::string& text) const {
    std::size_t n = 0;
    for (const auto& line : logs_) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  std::size_t CountStatus(DeviceNumber device, std::int32_t code) const {
    std::size_t n = 0;
    for (const auto& s : statuses_) n += (s.device == device && s.code == code) ? 1 : 0;
    return n;
  }
  const std::vector<std::string>& Logs() const { return logs_; }
  const std::vector<StatusSeen>& Statuses() const { return statuses_; }
  const std::vector<StatusReport>& Reports() const { return reports_; }
  const std::vector<PromptRequest>& Prompts() const { return prompts_; }
  // The requests that the core thread told the main window it refused.
  struct Refusal {
    std::uint32_t jobCode;
    bool interactive;
  };
  bool WaitRefusal(std::uint32_t jobCode, bool interactive) {
    return WaitUntil([&] {
      for (const Refusal& r : refusals_) {
        if (r.jobCode == jobCode && r.interactive == interactive) return true;
      }
      return false;
    });
  }
  std::size_t Disconnects() const { return disconnects_; }
  // The flashpack status records that reached the pre-processing thread.
  const std::vector<FlashpackStatusRecord>& FlashpackStatuses() {
    PumpOnce(std::chrono::milliseconds(0));
    return flashpackStatuses_;
  }
  // The connection generation of the last disconnect request.
  std::uintptr_t LastDisconnect() const { return lastDisconnect_; }
  std::string AllLogs() const {
    std::string all;
    for (const auto& line : logs_) all += line + "\n";
    return all;
  }

 private:
  void PumpOnce(std::chrono::milliseconds wait) {
    bool any = false;
    while (auto m = userIo_.queue().TryGet()) {
      any = true;
      OnUserIo(*m);
    }
    while (auto m = mainWindow_.queue().TryGet()) {
      any = true;
      OnMainWindow(*m);
    }
    while (auto m = preprocessing_.queue().TryGet()) {
      any = true;
      if (m->number == WM_RALIX_DISCONNECT) {
        ++disconnects_;
        lastDisconnect_ = m->wParam;
      } else if (m->number == WM_FLASHPACK_STATUS) {
        if (auto status = m->Take<WM_FLASHPACK_STATUS>()) flashpackStatuses_.push_back(std::move(*status));
      }
    }
    if (!any) {
      if (auto m = userIo_.queue().Get(wait)) OnUserIo(*m);
    }
  }
  void OnUserIo(platform::Message& m) {
    if (m.number == WM_LOG_LINE) {
      if (auto line = m.Take<WM_LOG_LINE>()) logs_.push_back(*line);
    } else if (m.number == WM_SET_STATUS) {
      if (auto report = m.Take<WM_SET_STATUS>()) {
        if (report->state == STATUS_DONE && report->text == "Processing Complete") ++completeReports_;
        reports_.push_back(*report);
      }
    } else if (m.number == WM_RUN_STATUS_RESET) {
      resetAnswers_.push_back(m.wParam != 0);
    } else if (m.number == WM_USER_PROMPT) {
      if (auto prompt = m.Take<WM_USER_PROMPT>()) {
        prompts_.push_back(*prompt);
        if (prompt->wantReply) {
          PostToTarget<WM_PROMPT_REPLY>(prompt->replyTarget, static_cast<platform::WParam>(promptAnswer()));
        }
      }
    }
  }
  void OnMainWindow(platform::Message& m) {
    if (m.number == WM_DEVICE_STATUS) {
      if (auto s = m.Take<WM_DEVICE_STATUS>()) {
        statuses_.push_back(StatusSeen{s->eventCode, s->device, s->itemsStarted, s->itemsQueued, s->percent,
                                       s->error ? s->error->errorCode : -1, s->startsUpdateFlash});
      }
    } else if (m.number == WM_RESET_DEVICE_ROW) {
      rowResets_.push_back(static_cast<DeviceNumber>(static_cast<std::intptr_t>(m.wParam)));
    } else if (m.number == WM_REQUEST_REFUSED) {
      refusals_.push_back(Refusal{static_cast<std::uint32_t>(m.wParam), m.lParam != 0});
    }
  }

  platform::RegisteredQueue userIo_;
  platform::RegisteredQueue preprocessing_;
  std::vector<FlashpackStatusRecord> flashpackStatuses_;
  platform::RegisteredQueue mainWindow_;
  std::vector<std::string> logs_;
  std::vector<StatusSeen> statuses_;
  std::vector<StatusReport> reports_;
  std::vector<PromptRequest> prompts_;
  std::vector<DeviceNumber> rowResets_;
  std::vector<bool> resetAnswers_;
  std::vector<Refusal> refusals_;
  std::size_t completeReports_ = 0;
  std::size_t disconnects_ = 0;
  std::uintptr_t lastDisconnect_ = 0;
};

// A temporary working folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("quillon_engine_" + std::to_string(std::random_device{}()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Writes an S-record file: a header, one data block per {address, bytes},
// the end record with the entry address.
inline void WriteSRecordFile(const std::string& path,
                             const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& blocks,
                             std::uint32_t entry, const std::string& header = "Quillon") {
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeWrite);
  std::uint32_t written = 0;
  file.WriteSRecordBlock(reinterpret_cast<const std::uint8_t*>(header.data()),
                         static_cast<std::uint32_t>(header.size()), 0, 0, written);
  for (const auto& [address, bytes] : blocks) {
    file.WriteSRecordBlock(bytes.data(), static_cast<std::uint32_t>(bytes.size()), address, 3, written);
  }
  file.WriteSRecordBlock(nullptr, 0, entry, 7, written);
  file.CloseSRecordFile();
}

inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

inline const char* const kKernelFiles[] = {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19",
                                           "biselkrnl.s19"};

// The four kernel files, each one block of kernelSize bytes.
inline void WriteKernelFiles(const TempFolder& folder, std::size_t kernelSize = 2048) {
  std::uint8_t seed = 1;
  for (const char* name : kKernelFiles) {
    WriteSRecordFile(folder.File(name), {{0x20000000u, Pattern(kernelSize, seed)}}, 0x20000000u);
    seed = static_cast<std::uint8_t>(seed + 40);
  }
}

}  // namespace test_support
