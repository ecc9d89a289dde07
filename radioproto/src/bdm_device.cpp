#include "bdm_device.h"

#include <string>

#include "wrtdev/wrtdev.h"

namespace gantrel {

BdmDevice::~BdmDevice() {
  if (handle_ != WRTDEV_INVALID_HANDLE) {
    Bdm().ForgetDevice(handle_);
    WrtCloseDevice(handle_);
  }
}

bool BdmDevice::Open(int port) {
  if (port < 0 || port > 3) return false;
  const std::string name = "\\\\.\\WRTdev" + std::to_string(port);
  handle_ = WrtOpenDevice(name.c_str());
  return handle_ != WRTDEV_INVALID_HANDLE;
}

// Lives for the whole process, as the library state does.
BdmLines& Bdm() {
  static BdmLines& lines = *new BdmLines;
  return lines;
}

void BdmLines::UseDevice(int handle) {
  std::lock_guard lock(lock_);
  open_.push_back(handle);
  handle_ = handle;
}

// A closed link's device is no longer used; the lines go to the device of
// the link connected last among those still open.
void BdmLines::ForgetDevice(int handle) {
  std::lock_guard lock(lock_);
  std::erase(open_, handle);
  handle_ = open_.empty() ? -1 : open_.back();
}

void BdmLines::Reset() {
  std::lock_guard lock(lock_);
  shadow_ = 0;
  batch_.clear();
  gathered_.clear();
}

bool BdmLines::SendBatch() {
  if (batch_.empty()) return true;
  std::uint32_t returned = 0;
  const bool ok = WrtDeviceIoControl(handle_, WRTDEV_IOCTL_BATCH, batch_.data(),
                                     static_cast<std::uint32_t>(batch_.size() * sizeof(BdmOp)), &returned) == 1;
  return ok;
}

// A full batch goes out before the record is added, and the DSO reads it
// carried are kept for the next gather.
void BdmLines::Append(const BdmOp& op) {
  if (batch_.size() == kBdmBatchCapacity) {
    SendBatch();
    for (const auto& r : batch_) {
      if (r.op == kBdmOpRead) gathered_.push_back((r.data & kBdmDso) != 0);
    }
    batch_.clear();
  }
  batch_.push_back(op);
}

void BdmLines::ChangeShadow(std::uint8_t set, std::uint8_t clear) {
  std::lock_guard lock(lock_);
  shadow_ = static_cast<std::uint8_t>((shadow_ | set) & ~clear);
  Append({kBdmOpWrite, 0, shadow_});
}

int BdmLines::AppendRead() {
  std::lock_guard lock(lock_);
  Append({kBdmOpRead, 1, 0});
  return static_cast<int>(batch_.size() & 0xFFFF);
}

int BdmLines::Send(bool gather, std::uint32_t* bits) {
  std::lock_guard lock(lock_);
  const bool ok = SendBatch();
  if (gather && bits) {
    // Up to 32 reads and more fit: the value is built in 64 bits.
    std::uint64_t value = *bits;
    auto shiftIn = [&](bool dso) {
      if (dso) value |= 1;
      value <<= 1;
    };
    for (bool dso : gathered_) shiftIn(dso);
    for (const auto& r : batch_) {
      if (r.op == kBdmOpRead) shiftIn((r.data & kBdmDso) != 0);
    }
    value >>= 1;
    *bits = static_cast<std::uint32_t>(value);
  }
  gathered_.clear();
  batch_.clear();
  return ok ? 0 : -1;
}

int BdmLines::Single(std::int32_t op, std::int32_t data) {
  std::lock_guard lock(lock_);
  BdmOp record{op, 1, data};
  std::uint32_t returned = 0;
  if (WrtDeviceIoControl(handle_, WRTDEV_IOCTL_BATCH, &record, sizeof record, &returned) != 1) return -1;
  return record.data;
}

}  // namespace gantrel
