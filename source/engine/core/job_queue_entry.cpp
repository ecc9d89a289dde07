#include "engine/core/job_queue_entry.h"

#include "engine/core/device_file_name.h"

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
  const bool severalDevices = devices.size() > 1;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    auto entry = std::make_unique<JobQueueEntry>();
    entry->jobCode = request.jobCode;
    entry->device = devices[i];
    entry->sequenceNumber = sequenceNumber;
    entry->acceptedLine = request.acceptedLine;
    entry->payload = i == 0 ? std::move(request.payload) : std::move(copies[i - 1]);
    // Several devices never write one file: each read-back goes to a file
    // named after its device.
    if (std::string* fileName = entry->payload.OutputFileName(); fileName && severalDevices) {
      *fileName = DeviceFileName(*fileName, entry->device);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}
