#include "engine/core/job_payload.h"

#include <type_traits>

#include "engine/core/job_kind_table.h"

JobPayloadKind PayloadKindOfJob(std::uint32_t jobCode) {
  const JobKind* kind = FindJobKind(jobCode);
  return kind ? kind->payload : JobPayloadKind::None;
}

bool IsJobCode(std::uint32_t jobCode) { return FindJobKind(jobCode) != nullptr; }

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
