#pragma once
// The one table of job kinds: for each job code its name, the payload it
// carries, the event that reports its failure at start, what the core thread
// does around it (load an image file first, save a read file after) and the
// script command that queues it. Adding an operation means one row here, its
// starter and its callers; the checks below, the starters' own check and the
// script interpreter's use of ScriptWordOf make a missing or doubled row a
// compile error. The window's menu and toolbar commands stay in the window's
// own command table (their numbers belong to the window).

#include <array>
#include <cstdint>

#include "engine/core/device_event.h"
#include "engine/core/job_payload_kind.h"
#include "engine/core/messages.h"

struct JobKind {
  std::uint32_t code;
  const char* name;
  JobPayloadKind payload;
  // The event of a job that cannot start (wrong payload, refused start).
  std::int32_t failedEvent;
  // The core thread loads the payload's image file before the job may start.
  bool needsImageFile;
  // The job's read-back ends in a file save.
  bool savesReadFile;
  // The script command that queues the job (directly or through the thread
  // that builds its request); null for jobs that no script command queues.
  const char* scriptWord;
};

// The failure event of the jobs that do not fail once queued (the program's
// end, a remote file transfer, a file deletion), reported should one carry a
// payload of the wrong kind, and of numbers that are no job codes: event 1.
inline constexpr std::int32_t kGenericJobFailedEvent = EVENT_PHONE_SEND_FAILED;

// Spelled-out flags of the rows below.
inline constexpr bool kJobLoadsImage = true;
inline constexpr bool kJobSavesFile = true;
inline constexpr const char* kNoScriptWord = nullptr;

#define QUILLON_JOB_CODE(code) code, #code
// clang-format off
inline constexpr auto kJobKinds = std::to_array<JobKind>({
    {QUILLON_JOB_CODE(WM_FLASH), JobPayloadKind::File, EVENT_FLASH_FAILED, kJobLoadsImage, false, "FLASH"},
    {QUILLON_JOB_CODE(WM_ORVIX_FLASH), JobPayloadKind::File, EVENT_ORVIX_PROGRAM_FAILED, false, false, "ORVIX_FLASH"},
    {QUILLON_JOB_CODE(WM_ERASE), JobPayloadKind::Options, EVENT_FLASH_FAILED, false, false, "ERASE"},
    {QUILLON_JOB_CODE(WM_ORVIX_ERASE), JobPayloadKind::Options, EVENT_ORVIX_ERASE_FAILED, false, false, "ORVIX_ERASE"},
    {QUILLON_JOB_CODE(WM_REVERSE_FLASH), JobPayloadKind::ReadBack, EVENT_REVERSE_FLASH_FAILED, false, kJobSavesFile, "REVERSE_FLASH"},
    {QUILLON_JOB_CODE(WM_ORVIX_REVERSE_FLASH), JobPayloadKind::ReadBack, EVENT_ORVIX_READ_FAILED, false, kJobSavesFile, "ORVIX_REVERSE_FLASH"},
    {QUILLON_JOB_CODE(WM_FLASHPACK_ADD), JobPayloadKind::File, EVENT_STATUS_FLASHPACK_ADD_FAILED, kJobLoadsImage, false, "FLASHPACK_ADD"},
    {QUILLON_JOB_CODE(WM_FLASHPACK_REMOVE), JobPayloadKind::FlashpackRemove, EVENT_STATUS_FLASHPACK_REMOVE_FAILED, false, false, "FLASHPACK_DELETE"},
    {QUILLON_JOB_CODE(WM_FLASHPACK_EXTRACT), JobPayloadKind::Options, EVENT_FLASHPACK_EXTRACT_FAILED, false, false, "FLASHPACK_EXTRACT"},
    {QUILLON_JOB_CODE(WM_FLASHPACK_UPDATE_FLASH), JobPayloadKind::Options, EVENT_FLASH_FAILED, false, false, "FLASHPACK_UPDATE_FLASH"},
    {QUILLON_JOB_CODE(WM_PROGRAM_MAGIC_KEY), JobPayloadKind::Options, EVENT_MAGIC_KEY_FAILED, false, false, "PROGRAM_MAGIC_KEY"},
    {QUILLON_JOB_CODE(WM_CUSTOM_COMMAND), JobPayloadKind::CustomCommand, EVENT_CUSTOM_COMMAND_FAILED, false, false, kNoScriptWord},
    {QUILLON_JOB_CODE(WM_COMM_CHECK), JobPayloadKind::Options, EVENT_COMM_CHECK_FAILED, false, false, "COMM_CHECK"},
    {QUILLON_JOB_CODE(WM_RESET_TARGET), JobPayloadKind::Options, EVENT_RESET_TARGET_FAILED, false, false, "RESET_TARGET"},
    {QUILLON_JOB_CODE(WM_SHUTDOWN), JobPayloadKind::None, kGenericJobFailedEvent, false, false, "TERMINATE_APP"},
    {QUILLON_JOB_CODE(WM_RAM_DUMP), JobPayloadKind::RamDump, EVENT_RAM_DUMP_FAILED, false, kJobSavesFile, "DUMP_RAM"},
    {QUILLON_JOB_CODE(WM_FLASHPACK_EXTRACT_ADD_FLASH), JobPayloadKind::File, EVENT_FLASH_FAILED, false, false, kNoScriptWord},
    {QUILLON_JOB_CODE(WM_REMOTE_FILE_TRANSFER), JobPayloadKind::FileTransfer, kGenericJobFailedEvent, false, false, "TRANSFER_FILE"},
    {QUILLON_JOB_CODE(WM_DELETE_FILE), JobPayloadKind::FileName, kGenericJobFailedEvent, false, false, "DELETE"},
    {QUILLON_JOB_CODE(WM_RALIX_FORMAT), JobPayloadKind::Options, EVENT_PHONE_SEND_FAILED, false, false, kNoScriptWord},
    {QUILLON_JOB_CODE(WM_RALIX_FLASH_FILE), JobPayloadKind::File, EVENT_PHONE_SEND_FAILED, false, false, kNoScriptWord},
});
// clang-format on
#undef QUILLON_JOB_CODE

// The row of a job code; null for numbers that are no job codes.
constexpr const JobKind* FindJobKind(std::uint32_t jobCode) {
  for (const auto& kind : kJobKinds) {
    if (kind.code == jobCode) return &kind;
  }
  return nullptr;
}

// What the core thread does around a job; false for numbers that are no
// job codes.
constexpr bool JobNeedsImageFile(std::uint32_t jobCode) {
  const JobKind* kind = FindJobKind(jobCode);
  return kind && kind->needsImageFile;
}
constexpr bool JobSavesReadFile(std::uint32_t jobCode) {
  const JobKind* kind = FindJobKind(jobCode);
  return kind && kind->savesReadFile;
}

// The script word of a job code; compiling a use for a job without one fails.
// (It looks the row up by index: a compiler that instruments addresses for
// a sanitizer does not fold the comparison of a row's address with null.)
consteval const char* ScriptWordOf(std::uint32_t jobCode) {
  for (std::size_t i = 0; i < kJobKinds.size(); ++i) {
    if (kJobKinds[i].code != jobCode) continue;
    if (kJobKinds[i].scriptWord == kNoScriptWord) throw "the job has no script word";
    return kJobKinds[i].scriptWord;
  }
  throw "the number is no job code";
}

// True when every job code of the table has exactly one row in rows (each
// row's jobCode) and rows name nothing else: a table keyed by job code that
// the compiler checks against this one.
template <class Rows>
consteval bool CoversEveryJobKindOnce(const Rows& rows) {
  if (rows.size() != kJobKinds.size()) return false;
  for (const auto& kind : kJobKinds) {
    std::size_t found = 0;
    for (const auto& row : rows) {
      if (row.jobCode == kind.code) ++found;
    }
    if (found != 1) return false;
  }
  return true;
}

namespace job_kind_detail {

consteval bool EachCodeOnce() {
  for (std::size_t i = 0; i < kJobKinds.size(); ++i) {
    for (std::size_t j = i + 1; j < kJobKinds.size(); ++j) {
      if (kJobKinds[i].code == kJobKinds[j].code) return false;
    }
  }
  return true;
}

// Only the program's end carries no payload; every other job has a record.
consteval bool OnlyShutdownWithoutPayload() {
  for (const auto& kind : kJobKinds) {
    if ((kind.payload == JobPayloadKind::None) != (kind.code == WM_SHUTDOWN)) return false;
  }
  return true;
}

}  // namespace job_kind_detail

static_assert(job_kind_detail::EachCodeOnce(), "every job code has exactly one row");
static_assert(job_kind_detail::OnlyShutdownWithoutPayload(), "every job but the program's end carries a payload");
