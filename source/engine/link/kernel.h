#pragma once
// The device object of one radio: its link and kernel settings, the busy
// and abort flags, event reporting to its owner, the decoding of the
// kernel's error status, and opening the kernel link (find the running
// kernel, or wake the boot loader, download the kernel and move the link
// to its working speed). Operations follow one pattern: a starter that
// refuses while busy and runs the worker inline (mode 0) or on a thread of
// its own (mode 1), and a worker that reports exactly one closing event.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/core/device_event.h"
#include "engine/core/device_number.h"
#include "engine/core/kernel_error_code.h"
#include "engine/link/boot_link.h"
#include "engine/link/comm_channel.h"
#include "engine/core/error_details.h"
#include "engine/link/kernel_image.h"
#include "engine/link/kernel_route.h"

class CRegionList;
struct FdiUnitParts;
struct ImageRegion;

using KernelEventCallback = DeviceEventCallback;

struct KernelSettingsRecord {
  DeviceNumber device = 0;
  int linkMode = -1;
  int chipFamily = kChipUnknown;
  std::uint16_t usbDeviceId = 0;
  int baudRate = 0;
  int baudDivisor = 1;
  int comPort = 0;
  KernelImageSet images;
  KernelEventCallback callback;
  int autoMagicKey = 0;
};

struct FdiRegion {
  std::uint32_t base = 0;
  std::uint32_t unitSize = 0;
  std::uint32_t unitCount = 0;
};

// The pacing of a smart flash: the waits between free-space queries while
// the kernel's buffer is full, while it drains and while it finishes, and
// how long the kernel may show no change before the flash gives up.
struct SmartFlashPacing {
  std::uint32_t fullWaitMs = 4000;
  std::uint32_t drainWaitMs = 500;
  std::uint32_t completionWaitMs = 250;
  std::uint32_t idleWaitMs = 100;
  std::uint32_t stallLimitMs = 30000;
};

// Operating modes of a starter.
inline constexpr int kRunInline = 0;
inline constexpr int kRunOnThread = 1;

class CKernel {
 public:
  static constexpr int kBootLoaderRate = 19200;
  static constexpr int kKernelStartRate = 115200;
  static constexpr std::size_t kDownloadChunk = 1024;
  static constexpr unsigned kDownloadRetries = 3;
  static constexpr unsigned kPingRetries = 3;

  CKernel();
  explicit CKernel(const KernelSettingsRecord& settings);
  virtual ~CKernel();
  CKernel(const CKernel&) = delete;
  CKernel& operator=(const CKernel&) = delete;

  int LoadDeviceSettings(const KernelSettingsRecord& settings);
  int SetCallback(KernelEventCallback callback);
  int SetKernelImage(int kernelType, const std::uint8_t* image, std::uint32_t length, std::uint32_t loadAddress);
  // The slot of the kernel type, or an empty slot for an unknown type.
  KernelImageSlot GetKernelImage(int kernelType) const;
  int SetLinkSpeed(int baudRate, int divisor);
  int SetComPort(int comPort);
  int SetLinkMode(int linkMode);
  int SetUsbDeviceId(std::uint16_t usbDeviceId);
  int SetAutoMagicKey(int flag);
  int SetFdiRegion(std::uint32_t base, std::uint32_t unitSize, std::uint32_t unitCount);

  void Abort() { abort_.store(1); }
  int GetBusyState() const { return busy_.load() ? KERNEL_ERROR_BUSY : KERNEL_OK; }
  static std::string GetPortPath(int comPort);
  static std::string GetUsbInterfaceName(int chipFamily);

  // Calls the owner's callback; a nonzero answer (or no callback) sets the
  // abort flag. Returns the answer.
  int NotifyEvent(const DeviceEvent& event);

  // Asks the kernel for its error status on the channel and decodes it
  // into the error details; returns the engine error.
  int QueryTargetStatus(CCommChannel& channel);
  const ErrorDetails& GetErrorDetails() const { return errorDetails_; }
  // The cause that the next failure event carries beside its code (empty
  // for none).
  void SetFailureCause(std::string cause) { errorDetails_.cause = std::move(cause); }

  // The comm check: opens the kernel link (booting the radio when no kernel
  // runs); closing event EVENT_COMM_CHECK_DONE when it answers,
  // EVENT_COMM_CHECK_FAILED with the error otherwise.
  int StartCommCheck(int mode);

  // The operations. Each starter returns KERNEL_ERROR_BUSY while another
  // operation runs and KERNEL_ERROR_INVALID_OPERATING_MODE for a mode other
  // than kRunInline and kRunOnThread; the lists stay the caller's and travel
  // in the operation's events. Progress events are named *_PROGRESS, the
  // closing ones *_DONE / *_CANCELLED / *_FAILED.
  // Erase the erase list's ranges, then program the program list's regions
  // (either may be null or empty); events EVENT_FLASH_ERASE_PROGRESS and
  // EVENT_FLASH_PROGRESS, closing EVENT_FLASH_DONE/CANCELLED/FAILED.
  int StartFlash(CRegionList* eraseList, CRegionList* programList, int mode);
  // The same through the kernel's buffered mode; events
  // EVENT_SMART_FLASH_ERASING, _STREAMING and _PROGRESS, closing
  // EVENT_SMART_FLASH_DONE/CANCELLED/FAILED.
  int StartSmartFlash(CRegionList* eraseList, CRegionList* programList, int mode);
  // Reads each region into a new registry buffer stored in the list;
  // event EVENT_REVERSE_FLASH_PROGRESS, closing
  // EVENT_REVERSE_FLASH_DONE/CANCELLED/FAILED.
  int StartReverseFlash(CRegionList* regions, int mode);
  // As the reverse flash, but inside the data area set with SetFdiRegion
  // only the used parts of each unit are read (the list may come back with
  // more, shorter entries).
  int StartFdiReverseFlash(CRegionList* regions, int mode);
  // Empties the list and fills it with every RAM region that the running
  // firmware announces; event EVENT_RAM_DUMP_PROGRESS, closing
  // EVENT_RAM_DUMP_DONE/CANCELLED/FAILED. RS232 only.
  int StartRamDump(CRegionList* regions, int mode);
  int StartResetTarget(int mode);
  int StartProgramMagicKey(int mode);
  // The record's first entry is the request (address field: bit 0 set
  // means no reply is wanted), its second the buffer for the reply. A text
  // reply is shown in a box that names the command by its label.
  int StartCustomCommand(CRegionList* command, int mode, const std::string& label = {});
  int StartSmartphoneFile(const std::string& fileName, int mode);
  // Reports no event; returns the result (inline) or 0 (own thread).
  int StartSmartphoneFormat(int mode);
  // The kernel's target name, zero-terminated and cut to the buffer;
  // does not touch the busy flag.
  int GetTargetName(char* out, std::size_t capacity);

  // The smartphone command lines: l "name"\r and format 1\r.
  static std::string SmartphoneFileLine(const std::string& fileName);
  static std::string SmartphoneFormatLine();

  // Opening the kernel link; link failures leave as ISP_EXCEPTION.
  int OpenKernelLink();
  int ProbeKernel();
  int ProbeKernelIfIdle();
  // The ping's answer (0 'Z', 3 'l', 2 none); a port that does not open
  // leaves as its ISP_EXCEPTION.
  int DetectBootLoader();
  int BootAndDownload();
  void OnBootProgress(const BootProgress& progress);

  DeviceNumber Device() const { return device_; }
  int BaudRate() const { return baudRate_; }
  int LinkMode() const { return linkMode_; }
  int ChipFamily() const { return chipFamily_; }

 protected:
  struct ClosingEvents {
    DeviceEventCode done;
    DeviceEventCode cancelled;
    DeviceEventCode failed;
    bool reported = true;  // false: the operation reports no closing event
  };
  using Worker = std::function<int()>;

  // The starter pattern: 3 when busy; else marks busy (and clears the abort
  // flag when asked) and runs the worker inline or on its own thread.
  int StartOperation(int mode, bool clearsAbort, const ClosingEvents& events, Worker steps,
                     CRegionList* listA = nullptr, CRegionList* listB = nullptr);
  // The worker pattern: runs the steps in one guard, clears busy, reports
  // the closing event and returns the result.
  int RunWorker(const ClosingEvents& events, const Worker& steps);
  void ReportProgress(DeviceEventCode code, std::int64_t done, std::int64_t total);
  // Reads and clears the abort flag after a progress event: true when the
  // operation is to stop.
  bool TakeAbort() { return abort_.exchange(0) != 0; }
  // Takes the abort flag and gives the cancelled result.
  int CancelNow() {
    abort_ = 0;
    return KERNEL_ERROR_CANCELLED;
  }

  // Starts the operation's thread; throws std::system_error when the
  // system cannot start one.
  virtual std::thread LaunchWorkerThread(std::function<void()> body) { return std::thread(std::move(body)); }

  std::unique_ptr<CCommChannel> OpenKernelChannel(int baudRate) const;
  std::unique_ptr<CCommChannel> OpenKernelChannel() const { return OpenKernelChannel(baudRate_); }

  // Steps of the operations, shared with the device objects built on this
  // one. Each returns KERNEL_OK, KERNEL_ERROR_CANCELLED or another engine
  // error; link failures
  // leave as ISP_EXCEPTION.
  int RunFlash();
  int EraseSectors(const CRegionList* eraseList);
  int ProgramRegions(const CRegionList* programList);
  int ProgramMagicKey();
  int RunSmartFlash();
  int EnableSmartFlash();
  int GetFreeBufferSpace(CCommChannel& channel, std::uint32_t& freeBytes);
  int DisableSmartFlash(CCommChannel* channel);
  int SmartErase(const CRegionList* eraseList);
  int StreamRegions(const CRegionList& sorted);
  int FinishSmartFlash();
  int RunReverseFlash();
  int RunFdiReverseFlash();
  int ReadRegions(CRegionList& list, DeviceEventCode code);
  int ReadRegionsFdi(CRegionList& list);
  int ReadBlock(CCommChannel& channel, std::uint8_t* out, std::uint32_t length, std::uint32_t address);
  int ReadRange(CCommChannel& channel, DeviceEventCode code, std::uint8_t* out, std::uint32_t address,
                std::uint32_t length, std::int64_t& done, std::int64_t total);
  // The data-area queries; false when the kernel refused or did not answer.
  bool QueryFdiRegion(CCommChannel& channel, std::uint16_t& value1, std::uint16_t& value2);
  bool QueryFdiUnit(CCommChannel& channel, std::uint32_t unitAddress, std::uint16_t value1, std::uint16_t value2,
                    FdiUnitParts& parts);
  int RunRamDump();
  int DumpRam(CRegionList& list);
  int RunResetTarget();
  int RunProgramMagicKey();
  int RunCustomCommand(const std::string& label);
  int RunSmartphoneFile();
  int RunSmartphoneFormat();

  // Tests shorten the smart flash's waits.
  void SetSmartFlashPacing(const SmartFlashPacing& pacing) { smartPacing_ = pacing; }
  // Sleeps in short slices; true as soon as the abort flag is set (the
  // flag is left for the caller to take).
  bool PauseUnlessAborted(std::uint32_t ms) const;
  std::uint32_t ReadBlockSize() const;
  int HostRate(int nominal) const {
    const int divisor = baudDivisor_.load();
    return divisor > 0 ? nominal / divisor : nominal;
  }

 private:
  void CopySettings(const KernelSettingsRecord& settings);
  // Tells the kernel, at its start rate, to move to the working speed.
  void SwitchToWorkingSpeed(int workingRate);
  DeviceEvent ClosingEvent(const ClosingEvents& events, int result) const;
  // Clears busy and reports the closing event; returns the result.
  int FinishOperation(const ClosingEvents& events, int result);
  void JoinWorker();
  static void BootProgressThunk(void* context, const BootProgress* progress);

  DeviceNumber device_ = 0;
  int linkMode_ = -1;
  std::uint16_t usbDeviceId_ = 0;
  // The link speed and port may be set while an operation runs.
  std::atomic<int> baudRate_{0};
  std::atomic<int> baudDivisor_{1};
  std::atomic<int> comPort_{0};
  int chipFamily_ = kChipUnknown;
  KernelImageSet images_;
  KernelEventCallback callback_;
  ErrorDetails errorDetails_;
  // The system's reason for the running operation's link failure (a port
  // that did not open), carried by its failure event; empty for none.
  std::string failureReason_;
  std::atomic<int> busy_{0};
  std::atomic<int> abort_{0};
  int autoMagicKey_ = 0;
  std::uint32_t kernelBufferSize_ = 0;
  FdiRegion fdiRegion_;
  SmartFlashPacing smartPacing_;
  // The lists of the running operation, carried by its events: erase and
  // program list, read list, RAM dump list or custom command record.
  CRegionList* listA_ = nullptr;
  CRegionList* listB_ = nullptr;
  std::string smartphoneFile_;
  std::mutex workerMutex_;  // guards worker_ between its launch and its join
  std::thread worker_;
};
