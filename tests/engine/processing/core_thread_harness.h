#pragma once
// A core processing thread in a temporary working folder with real kernel
// files, driven by WM_QUEUE_JOB as the shell drives it. The dispatcher
// records what it is asked to start (the test then posts the operation's
// end as a device object would) and hands the device-independent jobs to
// the program's own starters; the file loader places each loaded file's
// regions in registry buffers, or fails with the result the test names.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/buffer_registry.h"
#include "engine/core/error_record.h"
#include "engine/core/finish_record.h"
#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/processing/core_processing_thread.h"
#include "engine/processing/job_starters.h"
#include "shell_stand_in.h"

namespace test_support {

struct Dispatched {
  std::uint32_t jobCode;
  DeviceNumber device;
  std::int32_t sequenceNumber;
  std::size_t loadedRegions;  // regions of a loaded image, 0 without one
  std::uint32_t harrowKernelLength;
};

struct DispatchLog {
  std::mutex mutex;
  std::vector<Dispatched> started;
  std::vector<DeviceNumber> aborted;

  std::size_t Count(DeviceNumber device) {
    std::lock_guard lock(mutex);
    std::size_t n = 0;
    for (const auto& d : started) n += d.device == device ? 1 : 0;
    return n;
  }
  std::size_t Total() {
    std::lock_guard lock(mutex);
    return started.size();
  }
  std::vector<Dispatched> Copy() {
    std::lock_guard lock(mutex);
    return started;
  }
  std::size_t Aborts() {
    std::lock_guard lock(mutex);
    return aborted.size();
  }
};

// Job codes that no starter knows.
inline constexpr std::uint32_t kUnknownJobCode = 0x1234;

class RecordingDispatcher : public CJobDispatcher {
 public:
  explicit RecordingDispatcher(std::shared_ptr<DispatchLog> log) : log_(std::move(log)) {}
  DispatchResult DispatchJob(JobQueueEntry& entry, const DispatchContext& context) override {
    if (entry.jobCode == kUnknownJobCode) return DispatchResult::UnknownCode;
    if (entry.device == DEVICE_INDEPENDENT) return real_.DispatchJob(entry, context);
    std::size_t regions = 0;
    if (auto* file = entry.payload.Get<FileJobPayload>(); file && file->loadedImage) {
      regions = file->loadedImage->Count();
    }
    std::lock_guard lock(log_->mutex);
    log_->started.push_back(Dispatched{entry.jobCode, entry.device, entry.sequenceNumber, regions,
                                       context.kernels[KERNEL_SLOT_HARROW].length});
    return DispatchResult::Started;
  }
  void AbortDevice(DeviceNumber device) override {
    std::lock_guard lock(log_->mutex);
    log_->aborted.push_back(device);
  }
  CPackManager* PackManagerOf(DeviceNumber) override { return nullptr; }

 private:
  std::shared_ptr<DispatchLog> log_;
  CJobStarters real_;
};

struct LoaderScript {
  std::mutex mutex;
  std::map<std::string, std::int32_t> failures;  // file name to result
  std::vector<std::string> loads;
  std::vector<std::unique_ptr<FileSaveRequest>> saves;  // held until the test ends them

  std::size_t Loads() {
    std::lock_guard lock(mutex);
    return loads.size();
  }
  std::size_t Saves() {
    std::lock_guard lock(mutex);
    return saves.size();
  }
};

class CoreThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteKernelFiles(folder_);
    GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, folder_.Path().string());
    GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 1);
  }
  void TearDown() override {
    core_.reset();
    GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 0);
  }

  // Starts the thread; usb lists the USB devices that answer as present.
  void StartCore(std::vector<std::uint16_t> usb = {}, std::unique_ptr<CJobDispatcher> dispatcher = nullptr,
                 std::vector<int> smartphonePorts = {}, bool realFileWorkers = false) {
    usbIds_ = std::move(usb);
    CoreServices services;
    services.listUsbDevices = [this](std::uint16_t, const char* name, std::vector<std::uint16_t>& ids) {
      if (std::string(name) != "Corvane_Flash") {
        ids.clear();
        return -7;
      }
      ids = usbIds_;
      return ids.empty() ? -7 : 1;
    };
    services.smartphonePorts = [smartphonePorts] { return smartphonePorts; };
    services.startFileLoad = [script = loader_](std::unique_ptr<FileLoadRequest> request) {
      {
        std::lock_guard lock(script->mutex);
        script->loads.push_back(request->fileName);
        auto failure = script->failures.find(request->fileName);
        request->image = MakeRegionList();
        if (failure != script->failures.end()) {
          request->result = failure->second;
        } else {
          std::uint8_t* buffer = GetBufferRegistry().Allocate(256);
          request->image->Add(0x1000, 256, buffer);
        }
      }
      PostToTarget<WM_FILE_LOADED>(PT_CORE, std::move(request));
    };
    auto holdSave = [script = loader_](std::unique_ptr<FileSaveRequest> request) {
      std::lock_guard lock(script->mutex);
      script->saves.push_back(std::move(request));
    };
    services.startSRecordSave = holdSave;
    services.startBinarySave = holdSave;
    if (realFileWorkers) {
      const CoreServices program = DefaultCoreServices();
      services.startFileLoad = program.startFileLoad;
      services.startSRecordSave = program.startSRecordSave;
      services.startBinarySave = program.startBinarySave;
    }
    if (!dispatcher) dispatcher = std::make_unique<RecordingDispatcher>(dispatch_);
    core_ = std::make_unique<CCoreProcessingThread>(std::move(dispatcher), std::move(services));
    SetTargetThread(PT_CORE, core_->Id());
    ASSERT_TRUE(core_->Create());
  }

  static std::unique_ptr<CJobOptions> Options() { return std::make_unique<CJobOptions>(); }
  static std::unique_ptr<FileJobPayload> FilePayload(const std::string& name) {
    auto payload = std::make_unique<FileJobPayload>();
    payload->imageFileName = name;
    return payload;
  }

  void Queue(std::uint32_t jobCode, DeviceNumber device, JobPayload payload, int interactive = 0) {
    auto request = std::make_unique<CJobRequest>(jobCode, std::move(payload), 0, 0, interactive);
    request->device = device;
    ASSERT_TRUE(PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request)));
  }
  void Finish(DeviceNumber device, std::int32_t code) {
    auto record = std::make_unique<FinishRecord>();
    record->device = device;
    record->eventCode = code;
    PostToTarget<WM_JOB_FINISHED>(PT_CORE, std::move(record));
  }
  void CancelQueued(DeviceNumber device, std::int32_t code) {
    auto record = std::make_unique<FinishRecord>();
    record->device = device;
    record->eventCode = code;
    PostToTarget<WM_CANCEL_QUEUED>(PT_CORE, std::move(record));
  }
  void Fail(DeviceNumber device, std::int32_t code, std::int32_t error) {
    PostToTarget<WM_JOB_ERROR>(PT_CORE, MakeErrorRecord(device, code, error, nullptr));
  }
  void Post(std::uint32_t message, DeviceNumber device) {
    // The tests name the plain device messages by number.
    const auto wParam = static_cast<platform::WParam>(static_cast<std::intptr_t>(device));
    PostToTarget(PT_CORE, platform::Message(message, wParam, 0));
  }
  // Proves an absence without waiting on the clock. A cancel for a device
  // that no test uses only logs, so its log line is a sentinel: the queue
  // is FIFO, and when the line comes back everything posted to the core
  // thread before it has been handled. A second round lets the idle pass
  // that follows the handled messages run too (the thread runs it as soon
  // as its queue is empty, which it is while the test waits).
  void Flush() {
    for (int round = 0; round < 2; ++round) {
      const std::size_t seen = shell_.CountLogs(kSentinelLog);
      Post(WM_CANCEL_DEVICE, kSentinelDevice);
      ASSERT_TRUE(shell_.WaitLogCount(kSentinelLog, seen + 1)) << "the core thread did not answer";
    }
  }
  bool WaitDispatched(DeviceNumber device, std::size_t count) {
    return shell_.WaitUntil([&] { return dispatch_->Count(device) >= count; });
  }

  static constexpr DeviceNumber kSentinelDevice = DEVICE_LAST_COM - 1;  // COM18
  static constexpr const char* kSentinelLog = "COM18> User-initiated Cancel";

  TempFolder folder_;
  ShellStandIn shell_;
  std::shared_ptr<DispatchLog> dispatch_ = std::make_shared<DispatchLog>();
  std::shared_ptr<LoaderScript> loader_ = std::make_shared<LoaderScript>();
  std::vector<std::uint16_t> usbIds_;
  std::unique_ptr<CCoreProcessingThread> core_;
};

inline constexpr DeviceNumber kCom1 = 127;
inline constexpr DeviceNumber kCom2 = 128;
inline constexpr DeviceNumber kCom3 = 129;

}  // namespace test_support
