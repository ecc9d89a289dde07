#pragma once
// What the core processing thread asks of the rest of the program: the USB
// device lists, the smartphone ports, and the workers that load image files
// and save read-back images on threads of their own. The program's own
// bindings come from DefaultCoreServices; a test may put simulators or its
// own workers in their place.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/file_load_request.h"
#include "engine/core/file_save_request.h"

struct CoreServices {
  // Lists the devices of one USB interface for the application handle;
  // returns the USB communication library's answer (1 success, -7 no device).
  std::function<int(std::uint16_t app, const char* interfaceName, std::vector<std::uint16_t>& ids)>
      listUsbDevices;
  // The USB ports that hold a smartphone.
  std::function<std::vector<int>()> smartphonePorts;
  // Start a worker that owns the request; the load worker ends by posting
  // WM_FILE_LOADED with it, a save worker by WM_JOB_FINISHED {device, 58}
  // or WM_JOB_ERROR {device, 59, code}.
  std::function<void(std::unique_ptr<FileLoadRequest>)> startFileLoad;
  std::function<void(std::unique_ptr<FileSaveRequest>)> startSRecordSave;
  std::function<void(std::unique_ptr<FileSaveRequest>)> startBinarySave;
};

// The program's bindings: the USB communication library for the device
// lists; the file workers of the image layer.
CoreServices DefaultCoreServices();
