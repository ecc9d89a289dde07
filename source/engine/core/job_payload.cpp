#include "engine/core/job_payload.h"

#include <type_traits>

#include "engine/core/messages.h"

JobPayloadKind PayloadKindOfJob(std::uint32_t jobCode) {
  switch (jobCode) {
    case WM_FLASH:
    case WM_FLASHPACK_EXTRACT_ADD_FLASH:
    case WM_FLASHPACK_ADD:
    case WM_ORVIX_FLASH:
    case WM_RALIX_FLASH_FILE:
      return JobPayloadKind::File;
    case WM_ERASE:
    case WM_ORVIX_ERASE:
    case WM_FLASHPACK_EXTRACT:
    case WM_FLASHPACK_UPDATE_FLASH:
    case WM_PROGRAM_MAGIC_KEY:
    case WM_COMM_CHECK:
    case WM_RESET_TARGET:
    case WM_RALIX_FORMAT:
      return JobPayloadKind::Options;
    case WM_REVERSE_FLASH:
    case WM_ORVIX_REVERSE_FLASH:
      return JobPayloadKind::ReadBack;
    case WM_FLASHPACK_REMOVE: return JobPayloadKind::FlashpackRemove;
    case WM_CUSTOM_COMMAND: return JobPayloadKind::CustomCommand;
    case WM_RAM_DUMP: return JobPayloadKind::RamDump;
    case WM_REMOTE_FILE_TRANSFER: return JobPayloadKind::FileTransfer;
    case WM_DELETE_FILE: return JobPayloadKind::FileName;
    default: return JobPayloadKind::None;  // WM_SHUTDOWN carries none
  }
}

bool IsJobCode(std::uint32_t jobCode) {
  return jobCode == WM_SHUTDOWN || PayloadKindOfJob(jobCode) != JobPayloadKind::None;
}

JobPayloadKind JobPayload::Kind() const {
  if (value_.index() == 0) return JobPayloadKind::None;
  bool held = std::visit(
      [](const auto& p) {
        if constexpr (std::is_same_v<std::decay_t<decltype(p)>, std::monostate>) {
          return false;
        } else {
          return p != nullptr;
        }
      },
      value_);
  return held ? static_cast<JobPayloadKind>(value_.index()) : JobPayloadKind::None;
}

CJobOptions* JobPayload::Options() const {
  switch (Kind()) {
    case JobPayloadKind::File: return &Get<FileJobPayload>()->options;
    case JobPayloadKind::Options: return Get<CJobOptions>();
    case JobPayloadKind::ReadBack: return &Get<ReadBackPayload>()->options;
    case JobPayloadKind::FlashpackRemove: return &Get<FlashpackRemovePayload>()->options;
    case JobPayloadKind::CustomCommand: return &Get<CustomCommandPayload>()->options;
    case JobPayloadKind::RamDump: return &Get<RamDumpPayload>()->options;
    default: return nullptr;
  }
}

std::string* JobPayload::OutputFileName() const {
  switch (Kind()) {
    case JobPayloadKind::ReadBack: return &Get<ReadBackPayload>()->outputFileName;
    case JobPayloadKind::RamDump: return &Get<RamDumpPayload>()->outputFileName;
    default: return nullptr;
  }
}

bool PayloadFitsJob(std::uint32_t jobCode, const JobPayload& payload) {
  return payload.Kind() == PayloadKindOfJob(jobCode);
}

void FreeJobPayload(std::uint32_t jobCode, JobPayload& payload) {
  // Every payload record owns its region lists, so destroying it releases
  // their buffers once, whatever the job code; the code is only the key by
  // which the queue knows what it holds.
  (void)jobCode;
  payload.Reset();
}

namespace {

// A copy of the payload that the variant holds as T; the records copy every
// field, region lists duplicated.
template <class T>
JobPayload CopyOf(const JobPayload& payload) {
  return std::make_unique<T>(*payload.Get<T>());
}

}  // namespace

JobPayload CloneJobPayload(std::uint32_t jobCode, const JobPayload& payload) {
  (void)jobCode;
  switch (payload.Kind()) {
    case JobPayloadKind::None: return {};
    case JobPayloadKind::File: return CopyOf<FileJobPayload>(payload);
    case JobPayloadKind::Options: return CopyOf<CJobOptions>(payload);
    case JobPayloadKind::ReadBack: return CopyOf<ReadBackPayload>(payload);
    case JobPayloadKind::FlashpackRemove: return CopyOf<FlashpackRemovePayload>(payload);
    case JobPayloadKind::CustomCommand: return CopyOf<CustomCommandPayload>(payload);
    case JobPayloadKind::RamDump: return CopyOf<RamDumpPayload>(payload);
    case JobPayloadKind::FileTransfer: return CopyOf<FileTransferRequest>(payload);
    case JobPayloadKind::FileName: return CopyOf<std::string>(payload);
  }
  return {};
}
