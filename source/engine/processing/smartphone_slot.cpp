#include "engine/processing/smartphone_slot.h"

#include <atomic>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>

#include "engine/core/device_number.h"
#include "engine/core/error_record.h"
#include "engine/core/finish_record.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/log_line.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "ralix/ralix.h"

namespace {

constexpr unsigned long kConnectFlags = 0x82000000UL;
constexpr std::size_t kLineBufferSize = 300;
constexpr const char kErrorWord[] = "error";
constexpr const char kFailedWord[] = "failed";

struct Connection {
  std::atomic<bool> connected{false};
  std::atomic<std::uintptr_t> generation{0};
  // Serialises connect and disconnect between the core and the
  // pre-processing thread.
  std::mutex mutex;
};

Connection& GetConnection() {
  static Connection connection;
  return connection;
}

// The output state; touched only by the library's output thread (and reset
// by the core thread before a command is sent).
struct OutputState {
  std::mutex mutex;
  std::string line;
  bool failed = false;
  std::size_t errorMatched = 0;
  std::size_t failedMatched = 0;
};

OutputState& GetOutputState() {
  static OutputState state;
  return state;
}


// Advances the match of word by one character; a mismatch starts over
// without trying the character as the word's first one.
bool AdvanceMatch(std::size_t& matched, const char* word, std::size_t wordLength, char c) {
  if (word[matched] == c) {
    ++matched;
  } else {
    matched = 0;
  }
  return matched == wordLength;
}

void MatchFailureWords(OutputState& state, char raw) {
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
  const bool error = AdvanceMatch(state.errorMatched, kErrorWord, sizeof kErrorWord - 1, c);
  const bool failed = AdvanceMatch(state.failedMatched, kFailedWord, sizeof kFailedWord - 1, c);
  if (error || failed) state.failed = true;
}

void ClearLocked(OutputState& state) {
  state.line.clear();
  state.failed = false;
  state.errorMatched = 0;
  state.failedMatched = 0;
}

void ReportCommandEnd(bool failed) {
  if (!failed) {
    auto record = std::make_unique<FinishRecord>();
    record->device = DEVICE_SMARTPHONE;
    record->eventCode = 0;
    PostToTarget<WM_JOB_FINISHED>(PT_CORE, std::move(record));
  } else {
    PostToTarget<WM_JOB_ERROR>(PT_CORE,
                 MakeErrorRecord(DEVICE_SMARTPHONE, KERNEL_ERROR_RALIX, KERNEL_ERROR_RALIX, nullptr));
  }
}

void RalixCallbackThunk(const char* text) { OnRalixOutput(text); }

void TakeOutputCharacter(char c) {
  OutputState& state = GetOutputState();
  std::unique_lock lock(state.mutex);
  if (c == '\r') {
    if (!state.line.empty()) {
      PostLogLine("<Ralix OUTPUT>" + state.line);
      state.line.clear();
    }
  } else if (c != '\n' && c != '>') {
    if (state.line.size() < kLineBufferSize - 1) state.line.push_back(c);
  }
  if (!state.failed) MatchFailureWords(state, c);
  if (c == '>') {
    const bool failed = state.failed;
    ClearLocked(state);
    lock.unlock();
    ReportCommandEnd(failed);
  }
}

}  // namespace

void RalixConnect() {
  Connection& connection = GetConnection();
  std::lock_guard lock(connection.mutex);
  if (connection.connected.load()) return;
  std::string text;
  // The library's progress goes to the main dialog, which forwards it to the
  // core thread; the dispatcher gives no handle of it yet, so none is passed.
  const int result = Func095(&RalixCallbackThunk, kConnectFlags, &text, platform::kNoHandle);
  if (result != 0) {
    connection.generation.fetch_add(1);
    connection.connected.store(true);
    PostLogLine("Smartphone> Ralix Connection succeeded");
  } else {
    connection.connected.store(false);
    PostLogLine("Smartphone> Ralix Connection failed");
  }
}

bool RalixConnected() { return GetConnection().connected.load(); }

void RalixRequestDisconnect() {
  Connection& connection = GetConnection();
  std::uintptr_t generation = 0;
  {
    std::lock_guard lock(connection.mutex);
    connection.connected.store(false);
    generation = connection.generation.load();
  }
  PostToTarget<WM_RALIX_DISCONNECT>(PT_PREPROCESSING, static_cast<platform::WParam>(generation));
}

bool RalixDisconnect(std::uintptr_t generation) {
  Connection& connection = GetConnection();
  std::lock_guard lock(connection.mutex);
  if (connection.generation.load() != generation || connection.connected.load()) {
    return true;  // a newer connection stands; it is not this request's to cut
  }
  return Func356() != 0;
}

void OnRalixOutput(const char* text) {
  if (text == nullptr) return;
  // A piece of several characters is taken as if each character came alone,
  // so a line end or a prompt inside it is not missed.
  for (const char* c = text; *c != '\0'; ++c) TakeOutputCharacter(*c);
}

void ResetRalixOutputState() {
  OutputState& state = GetOutputState();
  std::lock_guard lock(state.mutex);
  ClearLocked(state);
}
