#pragma once
// The job item that any thread posts to the core processing thread with
// WM_QUEUE_JOB. Post it as std::unique_ptr<CJobRequest>; the core thread
// takes it with Message::Take<WM_QUEUE_JOB>(), queues its payload and
// deletes the request.

#include <cstdint>

#include "engine/core/device_number.h"
#include "engine/core/job_payload.h"

class CThreadRequest {
 public:
  CThreadRequest() = default;
  CThreadRequest(const CThreadRequest&) = delete;
  CThreadRequest& operator=(const CThreadRequest&) = delete;
  virtual ~CThreadRequest() = default;
};

class CJobRequest : public CThreadRequest {
 public:
  // The device is set afterwards by the sender (a serial port, the
  // smartphone, or -3 for device-independent work); it starts as -1, every
  // present USB device.
  CJobRequest(std::uint32_t jobCode, JobPayload payload, std::int32_t senderFlagB = 0,
              std::int32_t senderFlagA = 0, std::int32_t interactive = 0)
      : payload(std::move(payload)),
        jobCode(jobCode),
        senderFlagA(senderFlagA),
        interactive(interactive),
        senderFlagB(senderFlagB) {}

  JobPayload payload;  // owned by the request until the core thread queues it
  std::uint32_t jobCode;
  std::int32_t senderFlagA;  // set with interactive by the sender; the engine does not read it
  std::int32_t interactive;  // 1 when the user may be asked
  std::int32_t senderFlagB;  // 1 for script commands; the engine does not read it
  DeviceNumber device = DEVICE_UNASSIGNED;
  // 1 for a script or remote line's job, whose acceptance already set the
  // run status to BUSY; the core thread counts these, so the user-I/O
  // thread can tell its "queue empty" DONE from one that came before them.
  std::int32_t acceptedLine = 0;
};
