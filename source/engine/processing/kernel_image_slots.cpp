#include "engine/processing/kernel_image_slots.h"

#include <filesystem>
#include <utility>

#include "engine/core/buffer_registry.h"
#include "engine/images/srecord_file.h"

namespace {

constexpr std::array<const char*, kKernelSlotCount> kKernelFileNames{
    "calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"};

// The order in which the files are read.
constexpr std::array<KernelSlotIndex, kKernelSlotCount> kReadOrder{
    KERNEL_SLOT_CALDER, KERNEL_SLOT_HARROW_USB, KERNEL_SLOT_HARROW, KERNEL_SLOT_BISEL};

constexpr bool IsDataType(std::uint32_t type) { return type >= 1 && type <= 3; }
constexpr bool IsEndType(std::uint32_t type) { return type >= 7 && type <= 9; }

std::string PathOf(const std::string& folder, const char* fileName) {
  if (folder.empty()) return fileName;
  return (std::filesystem::path(folder) / fileName).string();
}

void ReleaseAll(std::array<KernelSlot, kKernelSlotCount>& slots) {
  for (auto& slot : slots) {
    GetBufferRegistry().Release(slot.buffer);
    slot = KernelSlot{};
  }
}

// The reader's error text with the file it is about, so that the box that
// offers Retry tells the user which file to put in place.
std::string KernelFileError(SREC_EXCEPTION error, const std::string& path) {
  const std::string text = SRecordErrorText(error);
  if (error == SREC_OPEN_ERROR) return text + " " + path;
  return text + " in the kernel file " + path;
}

// Reads one kernel file into the slot's buffer; the error text, or empty.
std::string ReadKernelFile(const std::string& path, KernelSlot& slot) {
  try {
    CSRecordFile file;
    file.OpenSRecordFile(path, CSRecordFile::kModeRead);
    std::uint32_t address = 0;
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    file.ReadSRecordBlock(slot.buffer, kKernelBufferSize, address, type, length);  // the header
    file.ReadSRecordBlock(slot.buffer, kKernelBufferSize, address, type, length);  // the kernel
    if (!IsDataType(type) || length == 0) {
      file.CloseSRecordFile();
      return "The kernel file " + path + " holds no kernel data";
    }
    slot.length = length;
    file.ReadSRecordBlock(nullptr, 0, address, type, length);  // what follows the kernel
    file.CloseSRecordFile();
    if (!IsEndType(type)) {
      return "The kernel file " + path + " does not fit into " + std::to_string(kKernelBufferSize) +
             " bytes as one contiguous block";
    }
    slot.entryAddress = address;
    return {};
  } catch (SREC_EXCEPTION error) {
    return KernelFileError(error, path);
  }
}

}  // namespace

const char* KernelSlotFileName(KernelSlotIndex slot) { return kKernelFileNames[slot]; }

CKernelImageSlots::~CKernelImageSlots() { Clear(); }

void CKernelImageSlots::Clear() { ReleaseAll(slots_); }

std::string CKernelImageSlots::Load(const std::string& folder) {
  std::array<KernelSlot, kKernelSlotCount> fresh{};
  for (auto& slot : fresh) slot.buffer = GetBufferRegistry().Allocate(kKernelBufferSize);
  // Every file is tried, so that one answer names all the files that are
  // not there, not one per retry.
  const std::string openError = std::string(SRecordErrorText(SREC_OPEN_ERROR)) + " ";
  std::string unopened;
  std::string otherError;
  for (KernelSlotIndex index : kReadOrder) {
    const std::string path = PathOf(folder, kKernelFileNames[index]);
    const std::string error = ReadKernelFile(path, fresh[index]);
    if (error.empty()) continue;
    if (error == openError + path) {
      unopened += (unopened.empty() ? "" : ", ") + path;
    } else if (otherError.empty()) {
      otherError = error;
    }
  }
  if (!unopened.empty() || !otherError.empty()) {
    ReleaseAll(fresh);
    if (unopened.empty()) return otherError;
    return openError + unopened + (otherError.empty() ? "" : "; " + otherError);
  }
  ReleaseAll(slots_);
  slots_ = fresh;
  return {};
}
