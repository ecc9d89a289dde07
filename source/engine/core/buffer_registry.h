#pragma once
// The reference-counted registry of image buffers (flashing kernels, loaded
// images, read-back buffers, flashpacks) that several owners share.
//
// Every entry's count is at least 1 and a buffer occurs at most once. A
// buffer is freed when its last reference is released. Lookup is a linear
// search for the exact pointer. One lock serialises every operation; nothing
// is called while it is held apart from the allocator and the freeing of a
// buffer.
//
// Buffers are plain std::uint8_t arrays (new[] / delete[]). Release of a
// pointer that the registry does not know frees it at once, so only arrays
// from new std::uint8_t[] may be released; releasing null does nothing.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class CBufferRegistry {
 public:
  // Told of every buffer the registry frees, just before it is freed. For
  // tests and diagnostics; runs without the lock, on the thread that
  // released the buffer.
  using FreeObserver = std::function<void(const std::uint8_t* freed)>;

  CBufferRegistry() = default;
  CBufferRegistry(const CBufferRegistry&) = delete;
  CBufferRegistry& operator=(const CBufferRegistry&) = delete;
  // Frees every registered buffer.
  virtual ~CBufferRegistry();

  // A new buffer of size bytes (contents undefined) with one reference.
  std::uint8_t* Allocate(std::size_t size);
  // One more reference; a buffer that is not registered is left alone.
  void AddRef(const std::uint8_t* buffer);
  // One reference less; at 0 the buffer is freed and its entry removed
  // (later entries keep their order). An unregistered buffer is freed at
  // once. The lock is held for the look-up; the buffer is freed after it.
  void Release(std::uint8_t* buffer);

  // The reference count of a buffer, 0 when it is not registered.
  int ReferenceCount(const std::uint8_t* buffer) const;
  // The registered buffers in the order of allocation.
  std::vector<const std::uint8_t*> Buffers() const;
  std::size_t Size() const;

  void SetFreeObserver(FreeObserver observer);

 private:
  struct Entry {
    std::uint8_t* buffer;
    int count;
  };

  std::vector<Entry>::iterator FindLocked(const std::uint8_t* buffer);
  void NotifyFreed(const std::uint8_t* buffer);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  FreeObserver observer_;
};

// The program-wide registry, alive for the whole run of the program.
CBufferRegistry& GetBufferRegistry();
