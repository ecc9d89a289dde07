#pragma once
// The owned payload of a job, one of the payload records by job code.
//
// Which payload each job code carries is kept in the table of job kinds
// (job_kind_table.h). A payload is freed with its owner (request or queue
// entry); FreeJobPayload frees it early. CloneJobPayload gives every entry
// of a fan-out a deep copy of its own: options, strings and region lists,
// read buffers included (new registry buffers with the same contents), so no
// two entries share anything that either frees.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "engine/core/file_transfer_request.h"
#include "engine/core/job_options.h"
#include "engine/core/job_payload_kind.h"
#include "engine/core/job_payloads.h"

// The payload kind of a job code (from the table of job kinds); None for
// WM_SHUTDOWN and for numbers that are no job codes.
JobPayloadKind PayloadKindOfJob(std::uint32_t jobCode);
// True for the numbers that are job codes.
bool IsJobCode(std::uint32_t jobCode);

class JobPayload {
 public:
  JobPayload() = default;
  JobPayload(std::unique_ptr<FileJobPayload> p) : value_(std::move(p)) {}
  JobPayload(std::unique_ptr<CJobOptions> p) : value_(std::move(p)) {}
  JobPayload(std::unique_ptr<ReadBackPayload> p) : value_(std::move(p)) {}
  JobPayload(std::unique_ptr<FlashpackRemovePayload> p) : value_(std::move(p)) {}
  JobPayload(std::unique_ptr<CustomCommandPayload> p) : value_(std::move(p)) {}
  JobPayload(std::unique_ptr<RamDumpPayload> p) : value_(std::move(p)) {}
  JobPayload(std::unique_ptr<FileTransferRequest> p) : value_(std::move(p)) {}
  JobPayload(std::unique_ptr<std::string> p) : value_(std::move(p)) {}
  JobPayload(JobPayload&&) noexcept = default;
  JobPayload& operator=(JobPayload&&) noexcept = default;
  JobPayload(const JobPayload&) = delete;
  JobPayload& operator=(const JobPayload&) = delete;

  // The kind held (None when empty, also for a null pointer).
  JobPayloadKind Kind() const;
  bool Empty() const { return Kind() == JobPayloadKind::None; }
  // The payload as T, or null when it holds another kind.
  template <class T>
  T* Get() const {
    auto* held = std::get_if<std::unique_ptr<T>>(&value_);
    return held ? held->get() : nullptr;
  }
  // The options that the payload carries (the payload itself for the
  // options kind); null for kinds without options.
  CJobOptions* Options() const;
  // The name of the file that the job writes (a read-back's or a RAM
  // dump's output file); null for kinds that write none.
  std::string* OutputFileName() const;
  void Reset() { value_ = std::monostate{}; }

 private:
  // Alternatives in the order of JobPayloadKind.
  std::variant<std::monostate, std::unique_ptr<FileJobPayload>, std::unique_ptr<CJobOptions>,
               std::unique_ptr<ReadBackPayload>, std::unique_ptr<FlashpackRemovePayload>,
               std::unique_ptr<CustomCommandPayload>, std::unique_ptr<RamDumpPayload>,
               std::unique_ptr<FileTransferRequest>, std::unique_ptr<std::string>>
      value_;
};

// True when the payload is of the kind that the job code carries.
bool PayloadFitsJob(std::uint32_t jobCode, const JobPayload& payload);
// Frees the payload of an entry that leaves the queue: its region lists are
// released in the registry (each buffer once) and the record is destroyed.
void FreeJobPayload(std::uint32_t jobCode, JobPayload& payload);
// A deep copy for one more entry of a fan-out, of whatever kind the payload
// holds. Region lists are duplicated into new registry buffers with the same
// contents.
JobPayload CloneJobPayload(std::uint32_t jobCode, const JobPayload& payload);
