#pragma once
// The workers that save a read-back image: as an S-record file (reverse
// flash, GPS-chip read) or as a binary RAM-dump file. Both write a temporary
// file beside the target and rename it over the target only when the whole
// image is written, so a failed save leaves no half file under the target's
// name. Each posts WM_JOB_FINISHED {device, 58} on success or WM_JOB_ERROR
// {device, 59, error code} on failure to the core thread, then frees the
// request (the region list stays with the queue entry).

#include <memory>

#include "engine/core/file_save_request.h"

// The product name written as the S0 header of read-back files.
inline constexpr const char* kReadBackHeader = "Quillon";

// Thread bodies; each returns 1.
int SRecordSaveWorker(std::unique_ptr<FileSaveRequest> request);
int BinarySaveWorker(std::unique_ptr<FileSaveRequest> request);

// Run the workers on new threads of their own.
void StartSRecordSaveWorker(std::unique_ptr<FileSaveRequest> request);
void StartBinarySaveWorker(std::unique_ptr<FileSaveRequest> request);
