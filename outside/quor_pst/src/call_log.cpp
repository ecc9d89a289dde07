#include "call_log.h"

#include <algorithm>
#include <cstring>

namespace quor_pst {

void CallLog::Add(const QuorSimCall& call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(call);
}

int CallLog::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(calls_.size());
}

std::optional<QuorSimCall> CallLog::At(int index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= calls_.size()) return std::nullopt;
  return calls_[static_cast<std::size_t>(index)];
}

int CallLog::CountOf(const std::string& function) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                        [&](const QuorSimCall& c) { return function == c.function; }));
}

void CallLog::Clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

void ForcedStatuses::Force(const std::string& function, int status, int count) {
  std::lock_guard lock(mutex_);
  if (count == 0) {
    forced_.erase(function);
    return;
  }
  forced_[function] = Forced{status, count};
}

std::optional<int> ForcedStatuses::Take(const std::string& function) {
  std::lock_guard lock(mutex_);
  auto it = forced_.find(function);
  if (it == forced_.end()) return std::nullopt;
  int status = it->second.status;
  if (it->second.remaining > 0 && --it->second.remaining == 0) forced_.erase(it);
  return status;
}

void ForcedStatuses::Clear() {
  std::lock_guard lock(mutex_);
  forced_.clear();
}

QuorSimCall MakeCall(const char* function, unsigned device, int handle, int pipe, unsigned requested,
                     unsigned timeoutMs) {
  QuorSimCall call{};
  std::strncpy(call.function, function, sizeof call.function - 1);
  call.device = static_cast<std::uint16_t>(device);
  call.handle = handle;
  call.pipe = pipe;
  call.requested = requested;
  call.timeoutMs = timeoutMs;
  return call;
}

}  // namespace quor_pst
