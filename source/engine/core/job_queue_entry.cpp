#include "engine/core/job_queue_entry.h"

std::vector<std::unique_ptr<JobQueueEntry>> FanOutJobRequest(CJobRequest& request,
                                                             const std::vector<DeviceNumber>& devices,
                                                             std::int32_t sequenceNumber) {
  std::vector<std::unique_ptr<JobQueueEntry>> entries;
  entries.reserve(devices.size());
  // Clones are taken from the request's payload before it moves into the
  // first entry.
  std::vector<JobPayload> copies;
  for (std::size_t i = 1; i < devices.size(); ++i) {
    copies.push_back(CloneJobPayload(request.jobCode, request.payload));
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    auto entry = std::make_unique<JobQueueEntry>();
    entry->jobCode = request.jobCode;
    entry->device = devices[i];
    entry->sequenceNumber = sequenceNumber;
    entry->acceptedLine = request.acceptedLine;
    entry->payload = i == 0 ? std::move(request.payload) : std::move(copies[i - 1]);
    entries.push_back(std::move(entry));
  }
  return entries;
}
