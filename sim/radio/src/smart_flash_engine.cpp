#include "radiosim/smart_flash_engine.h"

#include <algorithm>

namespace radiosim {
namespace {

constexpr std::size_t kEndOfDataSize = 8;

}  // namespace

SmartFlashEngine::SmartFlashEngine(std::uint32_t bufferSize, std::uint32_t bytesPerSecond)
    : bufferSize_(bufferSize), bytesPerSecond_(bytesPerSecond) {}

bool SmartFlashEngine::IsEndOfData(std::span<const std::uint8_t> request) {
  return request.size() == kEndOfDataSize && request[0] == 0x01 && request[1] == 0x00 &&
         std::all_of(request.begin() + 2, request.end(), [](std::uint8_t b) { return b == 0; });
}

void SmartFlashEngine::Start(Clock::time_point now) {
  queue_.clear();
  queuedBytes_ = 0;
  budget_ = 0;
  lastAdvance_ = now;
  failure_.reset();
  endWritten_ = false;
  held_ = false;
  active_ = true;
}

std::size_t SmartFlashEngine::Stop() {
  const std::size_t dropped = queue_.size();
  queue_.clear();
  queuedBytes_ = 0;
  active_ = false;
  held_ = false;
  return dropped;
}

bool SmartFlashEngine::Queue(std::span<const std::uint8_t> request, Clock::time_point now, const Writer& write) {
  Advance(now, write);
  if (failure_) return true;  // a failed stream takes and forgets the rest
  if (request.size() > Free()) {
    Fail(FlashError{kStatusInsufficientMemory, {}});
    return false;
  }
  queue_.emplace_back(request.begin(), request.end());
  queuedBytes_ += static_cast<std::uint32_t>(request.size());
  Advance(now, write);
  return true;
}

void SmartFlashEngine::Advance(Clock::time_point now, const Writer& write) {
  const double seconds = std::chrono::duration<double>(now - lastAdvance_).count();
  lastAdvance_ = std::max(lastAdvance_, now);
  if (held_ || failure_) return;
  if (bytesPerSecond_ == 0) {
    while (!queue_.empty() && !failure_) WriteFront(write);
    return;
  }
  if (seconds > 0) budget_ += seconds * bytesPerSecond_;
  while (!queue_.empty() && !failure_ && budget_ >= static_cast<double>(queue_.front().size())) {
    budget_ -= static_cast<double>(queue_.front().size());
    WriteFront(write);
  }
  if (queue_.empty()) budget_ = 0;
}

void SmartFlashEngine::WriteFront(const Writer& write) {
  std::vector<std::uint8_t> request = std::move(queue_.front());
  queue_.pop_front();
  queuedBytes_ -= static_cast<std::uint32_t>(request.size());
  if (IsEndOfData(request)) {
    endWritten_ = true;
    return;
  }
  if (auto error = write(request)) {
    Fail(std::move(*error));
    return;
  }
  written_ += request.size();
}

void SmartFlashEngine::Fail(FlashError error) {
  failure_ = std::move(error);
  queue_.clear();
  queuedBytes_ = 0;
}

SmartFlashEngine::Completion SmartFlashEngine::State() const {
  if (failure_) return Completion::Failed;
  if (!endWritten_ || !queue_.empty()) return Completion::Writing;
  return Completion::Done;
}

}  // namespace radiosim
