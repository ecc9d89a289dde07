#include "engine/core/buffer_registry.h"

#include <algorithm>

CBufferRegistry::~CBufferRegistry() {
  for (auto& entry : entries_) delete[] entry.buffer;
}

std::vector<CBufferRegistry::Entry>::iterator CBufferRegistry::FindLocked(const std::uint8_t* buffer) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [buffer](const Entry& entry) { return entry.buffer == buffer; });
}

std::uint8_t* CBufferRegistry::Allocate(std::size_t size) {
  std::lock_guard lock(mutex_);
  auto* buffer = new std::uint8_t[size];
  entries_.push_back(Entry{buffer, 1});
  return buffer;
}

void CBufferRegistry::AddRef(const std::uint8_t* buffer) {
  if (buffer == nullptr) return;
  std::lock_guard lock(mutex_);
  auto it = FindLocked(buffer);
  if (it != entries_.end()) ++it->count;
}

void CBufferRegistry::Release(std::uint8_t* buffer) {
  if (buffer == nullptr) return;
  {
    std::lock_guard lock(mutex_);
    auto it = FindLocked(buffer);
    if (it != entries_.end() && --it->count > 0) return;
    if (it != entries_.end()) entries_.erase(it);
  }
  // No entry refers to the buffer any more: it is this call's alone.
  NotifyFreed(buffer);
  delete[] buffer;
}

int CBufferRegistry::ReferenceCount(const std::uint8_t* buffer) const {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [buffer](const Entry& entry) { return entry.buffer == buffer; });
  return it == entries_.end() ? 0 : it->count;
}

std::vector<const std::uint8_t*> CBufferRegistry::Buffers() const {
  std::lock_guard lock(mutex_);
  std::vector<const std::uint8_t*> buffers;
  buffers.reserve(entries_.size());
  for (const auto& entry : entries_) buffers.push_back(entry.buffer);
  return buffers;
}

std::size_t CBufferRegistry::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void CBufferRegistry::SetFreeObserver(FreeObserver observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void CBufferRegistry::NotifyFreed(const std::uint8_t* buffer) {
  FreeObserver observer;
  {
    std::lock_guard lock(mutex_);
    observer = observer_;
  }
  if (observer) observer(buffer);
}

CBufferRegistry& GetBufferRegistry() {
  static CBufferRegistry registry;
  return registry;
}
