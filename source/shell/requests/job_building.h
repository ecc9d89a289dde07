#pragma once
// The building blocks that every request of the shell shares: the private
// options copy of a job, the device rules, queueing at the core thread, and
// the recent-files entry of an image together with the change to its folder.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/device_number.h"
#include "engine/core/job_options.h"
#include "engine/core/job_payload.h"
#include "engine/core/job_request.h"
#include "engine/core/sector_list.h"

// A copy of every option of the shared settings, with the given sector
// selection in place of the settings' own.
std::unique_ptr<CJobOptions> CopySettingsOptions(const SectorList& selection);
// The shared settings' sector selection.
SectorList SettingsSectorSelection();
// A copy of every option of the shared settings, their own selection included.
std::unique_ptr<CJobOptions> SettingsOptions();

// True when RS232 is the protocol.
bool Rs232Selected();
// RS232 selected: the selected COM port; otherwise every present USB device.
DeviceNumber DeviceByProtocol();
// The selected COM port, whatever the protocol.
DeviceNumber SelectedSerialDevice();

// A request with flag B 0, flag A 1 and interactive 1, for the device.
std::unique_ptr<CJobRequest> MakeJobRequest(std::uint32_t jobCode, JobPayload payload, DeviceNumber device);
// Posts the request with WM_QUEUE_JOB to the core thread; false (and the
// request is freed) when the core thread is not there.
bool QueueJobRequest(std::unique_ptr<CJobRequest> request);

// The run status from the moment a script or remote line's job is accepted
// until the core thread reports the work done (DONE) or failed (ERROR).
inline constexpr const char* kJobQueuedStatusText = "Job queued";
// Sets the run status to BUSY (WM_SET_STATUS to the user-I/O thread), then
// queues the request as QueueJobRequest does. The status goes first, so a
// STATUS asked after the line can never answer the DONE of earlier work.
bool QueueAcceptedJob(std::unique_ptr<CJobRequest> request);

// Puts the path at the head of the recent-files list.
void RememberRecentFile(const std::string& path);
// Makes the file's folder (the part before the last '\' or '/') the
// process's current directory; a path without either changes nothing.
void ChangeToFileFolder(const std::string& path);

// True when text ends in suffix, compared without regard to case.
bool EndsWithNoCase(const std::string& text, const std::string& suffix);
