#pragma once
// The worker that loads one image file into registry buffers at the
// addresses of the selected product's flash map.
//
// Plain images keep their addresses; flashpack, theme-pack and CSD files
// (named by their S0 header) are moved into the allocation reserved for
// them, and fail with ADDRESS_OUT_OF_RANGE and the failing address as the
// detail when they start below their relocation base or run past their
// allocation. The worker always ends by posting WM_FILE_LOADED with the
// request to the core thread.

#include <memory>

#include "engine/core/file_load_request.h"

// The thread body: loads the file, posts the request back and returns 1.
int FileLoadWorker(std::unique_ptr<FileLoadRequest> request);

// Runs FileLoadWorker on a new thread of its own.
void StartFileLoadWorker(std::unique_ptr<FileLoadRequest> request);
