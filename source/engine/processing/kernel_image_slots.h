#pragma once
// The four flashing-kernel images that the core processing thread reads
// from the working directory for every queued request, each in a registry
// buffer of its own.
//
// A new set replaces the current one only when all four files were read
// whole: one header, one contiguous data block that fits the 128 KB buffer,
// then the end record. Device objects that still use an older kernel hold
// their own references on its buffers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

enum KernelSlotIndex : std::size_t {
  KERNEL_SLOT_CALDER = 0,
  KERNEL_SLOT_HARROW = 1,
  KERNEL_SLOT_HARROW_USB = 2,
  KERNEL_SLOT_BISEL = 3,
};

inline constexpr std::size_t kKernelSlotCount = 4;
inline constexpr std::uint32_t kKernelBufferSize = 131072;

struct KernelSlot {
  std::uint8_t* buffer = nullptr;  // registry buffer
  std::uint32_t length = 0;        // bytes of kernel data
  std::uint32_t entryAddress = 0;  // address of the end record
};

// "calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19".
const char* KernelSlotFileName(KernelSlotIndex slot);

class CKernelImageSlots {
 public:
  CKernelImageSlots() = default;
  CKernelImageSlots(const CKernelImageSlots&) = delete;
  CKernelImageSlots& operator=(const CKernelImageSlots&) = delete;
  // Releases the current buffers.
  ~CKernelImageSlots();

  // Reads the four files of the folder into new buffers (Calder, Harrow
  // USB, Harrow, Bisel). On success they replace the current ones, whose
  // buffers lose this holder's reference, and the result is empty; on
  // failure the current set stays and the result is the error text.
  std::string Load(const std::string& folder);
  // Releases the current buffers; every slot becomes empty.
  void Clear();

  const KernelSlot& operator[](KernelSlotIndex slot) const { return slots_[slot]; }

 private:
  std::array<KernelSlot, kKernelSlotCount> slots_{};
};
