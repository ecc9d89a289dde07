#include "engine/link/kernel.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "engine/link/kernel_requests.h"
#include "engine/link/link_error.h"
#include "engine/link/link_failure_reason.h"
#include "engine/link/target_status.h"

namespace {

bool IsKnownLinkMode(int mode) { return mode == -1 || mode == kLinkRs232 || mode == kLinkUsb; }

// Marks the object busy for as long as it lives, if it was idle.
class BusyHold {
 public:
  explicit BusyHold(std::atomic<int>& busy) : busy_(busy) {
    int idle = 0;
    held_ = busy_.compare_exchange_strong(idle, 1);
  }
  ~BusyHold() {
    if (held_) busy_.store(0);
  }
  BusyHold(const BusyHold&) = delete;
  BusyHold& operator=(const BusyHold&) = delete;
  bool held() const { return held_; }

 private:
  std::atomic<int>& busy_;
  bool held_ = false;
};

}  // namespace

CKernel::CKernel() = default;

CKernel::CKernel(const KernelSettingsRecord& settings) {
  CopySettings(settings);
  autoMagicKey_ = settings.autoMagicKey;
}

CKernel::~CKernel() { JoinWorker(); }

void CKernel::CopySettings(const KernelSettingsRecord& settings) {
  device_ = settings.device;
  linkMode_ = settings.linkMode;
  chipFamily_ = settings.chipFamily;
  usbDeviceId_ = settings.usbDeviceId;
  baudRate_ = settings.baudRate;
  baudDivisor_ = settings.baudDivisor;
  comPort_ = settings.comPort;
  images_ = settings.images;
  callback_ = settings.callback;
}

int CKernel::LoadDeviceSettings(const KernelSettingsRecord& settings) {
  BusyHold hold(busy_);
  if (!hold.held()) return KERNEL_ERROR_BUSY;
  // The last operation's thread may still be delivering its closing event.
  JoinWorker();
  CopySettings(settings);
  return KERNEL_OK;
}

int CKernel::SetCallback(KernelEventCallback callback) {
  callback_ = std::move(callback);
  return KERNEL_OK;
}

int CKernel::SetKernelImage(int kernelType, const std::uint8_t* image, std::uint32_t length,
                            std::uint32_t loadAddress) {
  if (busy_) return KERNEL_ERROR_BUSY;
  const auto slot = KernelImageFromType(kernelType);
  if (!slot) return KERNEL_ERROR_INVALID_KERNEL_TYPE;
  images_[*slot] = {image, length, loadAddress};
  return KERNEL_OK;
}

KernelImageSlot CKernel::GetKernelImage(int kernelType) const {
  const auto slot = KernelImageFromType(kernelType);
  return slot ? images_[*slot] : KernelImageSlot{};
}

int CKernel::SetLinkSpeed(int baudRate, int divisor) {
  baudRate_ = baudRate;
  baudDivisor_ = divisor;
  return KERNEL_OK;
}

int CKernel::SetComPort(int comPort) {
  comPort_ = comPort;
  return KERNEL_OK;
}

int CKernel::SetLinkMode(int linkMode) {
  if (busy_) return KERNEL_ERROR_BUSY;
  if (!IsKnownLinkMode(linkMode)) return KERNEL_ERROR_INVALID_PROTOCOL;
  linkMode_ = linkMode;
  return KERNEL_OK;
}

int CKernel::SetUsbDeviceId(std::uint16_t usbDeviceId) {
  if (busy_) return KERNEL_ERROR_BUSY;
  usbDeviceId_ = usbDeviceId;
  return KERNEL_OK;
}

int CKernel::SetAutoMagicKey(int flag) {
  if (busy_) return KERNEL_ERROR_BUSY;
  autoMagicKey_ = flag;
  return KERNEL_OK;
}

int CKernel::SetFdiRegion(std::uint32_t base, std::uint32_t unitSize, std::uint32_t unitCount) {
  if (busy_) return KERNEL_ERROR_BUSY;
  fdiRegion_ = {base, unitSize, unitCount};
  return KERNEL_OK;
}

std::string CKernel::GetPortPath(int comPort) {
  char path[32];
  std::snprintf(path, sizeof path, "\\\\.\\COM%d", comPort);
  return path;
}

std::string CKernel::GetUsbInterfaceName(int chipFamily) {
  return chipFamily == kChipCalder ? "Corvane_Boot" : "Corvane_Flash";
}

int CKernel::NotifyEvent(const DeviceEvent& event) {
  const int answer = callback_ ? callback_(event) : 1;
  if (answer != 0) abort_ = 1;
  return answer;
}

void CKernel::ReportProgress(DeviceEventCode code, std::int64_t done, std::int64_t total) {
  DeviceEvent event;
  event.device = device_;
  event.eventCode = code;
  event.argument = static_cast<std::int32_t>(done);
  event.total = static_cast<std::int32_t>(total);
  event.listA = listA_;
  event.listB = listB_;
  NotifyEvent(event);
}

DeviceEvent CKernel::ClosingEvent(const ClosingEvents& events, int result) const {
  DeviceEvent event;
  event.device = device_;
  event.listA = listA_;
  event.listB = listB_;
  if (result == KERNEL_OK) {
    event.eventCode = events.done;
  } else if (result == KERNEL_ERROR_CANCELLED) {
    event.eventCode = events.cancelled;
    event.argument = KERNEL_ERROR_CANCELLED;
  } else {
    event.eventCode = events.failed;
    event.argument = result;
    event.errorDetails = &errorDetails_;
    if (!failureReason_.empty()) event.systemReason = &failureReason_;
  }
  return event;
}


int CKernel::QueryTargetStatus(CCommChannel& channel) {
  const auto request = StatusRequest();
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  channel.Transact(request.data(), request.size(), reply.data(), reply.size(), kStatusPolls, kStatusRetries);
  if (reply[kReplyStatusOffset] != 0) return KERNEL_ERROR_NO_ERROR_DETAILS;
  const auto word = static_cast<std::uint16_t>(reply[kStatusWordOffset] << 8 | reply[kStatusWordOffset + 1]);
  return DecodeTargetStatus(word, std::span<const std::uint8_t>(reply).subspan(kStatusDetailOffset), errorDetails_);
}

std::unique_ptr<CCommChannel> CKernel::OpenKernelChannel(int baudRate) const {
  const ChannelKind kind = linkMode_ == kLinkUsb ? CHANNEL_USB : CHANNEL_SERIAL_BUS;
  if (linkMode_ != kLinkRs232 && linkMode_ != kLinkUsb) throw ISP_MESSAGE_NOT_SUPPORTED;
  return std::make_unique<CCommChannel>(kind, GetPortPath(comPort_), static_cast<std::uint32_t>(HostRate(baudRate)),
                                        usbDeviceId_, GetUsbInterfaceName(chipFamily_));
}

int CKernel::StartOperation(int mode, bool clearsAbort, const ClosingEvents& events, Worker steps,
                            CRegionList* listA, CRegionList* listB) {
  int idle = 0;
  if (!busy_.compare_exchange_strong(idle, 1)) return KERNEL_ERROR_BUSY;
  // The last operation's thread may still be delivering its closing event,
  // which carries the lists and error details; wait until it is done.
  JoinWorker();
  listA_ = listA;
  listB_ = listB;
  if (clearsAbort) abort_ = 0;
  switch (mode) {
    case kRunInline:
      return RunWorker(events, steps);
    case kRunOnThread:
      try {
        std::lock_guard lock(workerMutex_);
        worker_ = LaunchWorkerThread([this, events, steps = std::move(steps)] { RunWorker(events, steps); });
      } catch (const std::system_error&) {
        // Without its thread the operation never runs: free the object
        // and say so, rather than stay busy for ever.
        return FinishOperation(events, KERNEL_ERROR_UNKNOWN);
      }
      return KERNEL_OK;
    default:
      busy_ = 0;
      return KERNEL_ERROR_INVALID_OPERATING_MODE;
  }
}

int CKernel::RunWorker(const ClosingEvents& events, const Worker& steps) {
  int result;
  TakeLinkFailureReason();  // nothing of an earlier step on this thread
  failureReason_.clear();
  try {
    result = steps();
  } catch (ISP_EXCEPTION failure) {
    result = LinkErrorToMessage(failure);
    failureReason_ = TakeLinkFailureReason();
  } catch (...) {
    result = KERNEL_ERROR_UNKNOWN;
  }
  return FinishOperation(events, result);
}

int CKernel::FinishOperation(const ClosingEvents& events, int result) {
  // The closing event is complete, with this operation's lists, error
  // details and owner, before the object is free for the next operation
  // or a new set-up; delivering it then reads nothing of the object. The
  // owner's answer to a closing event is not an abort: there is nothing
  // left to stop, and the flag must not reach the next operation.
  if (!events.reported) {
    busy_ = 0;
    return result;
  }
  const DeviceEvent closing = ClosingEvent(events, result);
  const KernelEventCallback owner = callback_;
  busy_ = 0;
  if (owner) {
    owner(closing);
  }
  return result;
}

void CKernel::JoinWorker() {
  std::thread finished;
  {
    // A starter that has just launched a thread holds the lock until the
    // thread is stored.
    std::lock_guard lock(workerMutex_);
    finished = std::move(worker_);
  }
  if (!finished.joinable()) return;
  if (finished.get_id() == std::this_thread::get_id())
    finished.detach();
  else
    finished.join();
}

int CKernel::StartCommCheck(int mode) {
  return StartOperation(mode, false, {EVENT_COMM_CHECK_DONE, EVENT_COMM_CHECK_FAILED, EVENT_COMM_CHECK_FAILED},
                        [this] { return OpenKernelLink(); });
}
