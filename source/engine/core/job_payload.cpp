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

// Counts the fields of an aggregate: the most initialisers that brace
// initialisation takes. The clones below copy field by field, and each
// checks here that it names every field, so a field added to a payload
// cannot silently miss the devices of a fan-out.
struct AnyField {
  template <class T>
  operator T() const;
};

template <class Aggregate, class... Fields>
consteval std::size_t FieldCount() {
  if constexpr (requires { Aggregate{Fields{}..., AnyField{}}; }) {
    return FieldCount<Aggregate, Fields..., AnyField>();
  } else {
    return sizeof...(Fields);
  }
}

RegionListPtr DuplicateIfAny(const RegionListPtr& list) {
  return list ? DuplicateRegionList(*list) : RegionListPtr();
}

std::unique_ptr<FileJobPayload> Clone(const FileJobPayload& p) {
  static_assert(FieldCount<FileJobPayload>() == 6, "the clone copies every field of the payload");
  auto copy = std::make_unique<FileJobPayload>();
  copy->imageFileName = p.imageFileName;
  copy->options = p.options;
  copy->loadedImage = DuplicateIfAny(p.loadedImage);
  copy->keepAlive = p.keepAlive;
  copy->finishedNote = p.finishedNote;
  copy->cancelledNote = p.cancelledNote;
  return copy;
}

std::unique_ptr<ReadBackPayload> Clone(const ReadBackPayload& p) {
  static_assert(FieldCount<ReadBackPayload>() == 8, "the clone copies every field of the payload");
  auto copy = std::make_unique<ReadBackPayload>();
  copy->outputAddress = p.outputAddress;
  copy->readBaseAddress = p.readBaseAddress;
  copy->reserved = p.reserved;
  copy->recordLength = p.recordLength;
  copy->outputFileName = p.outputFileName;
  copy->regions = DuplicateIfAny(p.regions);
  copy->options = p.options;
  copy->startsUpdateFlash = p.startsUpdateFlash;
  return copy;
}

std::unique_ptr<RamDumpPayload> Clone(const RamDumpPayload& p) {
  static_assert(FieldCount<RamDumpPayload>() == 3, "the clone copies every field of the payload");
  auto copy = std::make_unique<RamDumpPayload>();
  copy->outputFileName = p.outputFileName;
  copy->regions = DuplicateIfAny(p.regions);
  copy->options = p.options;
  return copy;
}

std::unique_ptr<FlashpackRemovePayload> Clone(const FlashpackRemovePayload& p) {
  static_assert(FieldCount<FlashpackRemovePayload>() == 2, "the clone copies every field of the payload");
  auto copy = std::make_unique<FlashpackRemovePayload>();
  copy->packIndices = p.packIndices;
  copy->options = p.options;
  return copy;
}

std::unique_ptr<CustomCommandPayload> Clone(const CustomCommandPayload& p) {
  static_assert(FieldCount<CustomCommandPayload>() == 6, "the clone copies every field of the payload");
  auto copy = std::make_unique<CustomCommandPayload>();
  copy->label = p.label;
  copy->command = p.command;
  copy->commandLength = p.commandLength;
  copy->flags = p.flags;
  copy->options = p.options;
  copy->regions = DuplicateIfAny(p.regions);
  return copy;
}

}  // namespace

JobPayload CloneJobPayload(std::uint32_t jobCode, const JobPayload& payload) {
  (void)jobCode;
  switch (payload.Kind()) {
    case JobPayloadKind::None: return {};
    case JobPayloadKind::File: return Clone(*payload.Get<FileJobPayload>());
    case JobPayloadKind::Options: return std::make_unique<CJobOptions>(*payload.Get<CJobOptions>());
    case JobPayloadKind::ReadBack: return Clone(*payload.Get<ReadBackPayload>());
    case JobPayloadKind::FlashpackRemove: return Clone(*payload.Get<FlashpackRemovePayload>());
    case JobPayloadKind::CustomCommand: return Clone(*payload.Get<CustomCommandPayload>());
    case JobPayloadKind::RamDump: return Clone(*payload.Get<RamDumpPayload>());
    case JobPayloadKind::FileTransfer:
      return std::make_unique<FileTransferRequest>(*payload.Get<FileTransferRequest>());
    case JobPayloadKind::FileName: return std::make_unique<std::string>(*payload.Get<std::string>());
  }
  return {};
}
