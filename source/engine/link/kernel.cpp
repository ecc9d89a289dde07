#include "engine/link/kernel.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "engine/link/kernel_requests.h"
#include "engine/link/link_error.h"
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
  if (!hold.held()) return kKernelBusy;
  CopySettings(settings);
  return kKernelOk;
}

int CKernel::SetCallback(KernelEventCallback callback) {
  callback_ = std::move(callback);
  return kKernelOk;
}

int CKernel::SetKernelImage(int kernelType, const std::uint8_t* image, std::uint32_t length,
                            std::uint32_t loadAddress) {
  if (busy_) return kKernelBusy;
  const auto slot = KernelImageFromType(kernelType);
  if (!slot) return kKernelInvalidType;
  images_[*slot] = {image, length, loadAddress};
  return kKernelOk;
}

KernelImageSlot CKernel::GetKernelImage(int kernelType) const {
  const auto slot = KernelImageFromType(kernelType);
  return slot ? images_[*slot] : KernelImageSlot{};
}

int CKernel::SetLinkSpeed(int baudRate, int divisor) {
  baudRate_ = baudRate;
  baudDivisor_ = divisor;
  return kKernelOk;
}

int CKernel::SetComPort(int comPort) {
  comPort_ = comPort;
  return kKernelOk;
}

int CKernel::SetLinkMode(int linkMode) {
  if (busy_) return kKernelBusy;
  if (!IsKnownLinkMode(linkMode)) return kKernelInvalidProtocol;
  linkMode_ = linkMode;
  return kKernelOk;
}

int CKernel::SetUsbDeviceId(std::uint16_t usbDeviceId) {
  if (busy_) return kKernelBusy;
  usbDeviceId_ = usbDeviceId;
  return kKernelOk;
}

int CKernel::SetAutoMagicKey(int flag) {
  if (busy_) return kKernelBusy;
  autoMagicKey_ = flag;
  return kKernelOk;
}

int CKernel::SetFdiRegion(std::uint32_t base, std::uint32_t unitSize, std::uint32_t unitCount) {
  if (busy_) return kKernelBusy;
  fdiRegion_ = {base, unitSize, unitCount};
  return kKernelOk;
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

void CKernel::ReportClosing(const ClosingEvents& events, int result) {
  if (!events.reported) return;
  DeviceEvent event;
  event.device = device_;
  event.listA = listA_;
  event.listB = listB_;
  if (result == kKernelOk) {
    event.eventCode = events.done;
  } else if (result == kKernelCancelled) {
    event.eventCode = events.cancelled;
    event.argument = kKernelCancelled;
  } else {
    event.eventCode = events.failed;
    event.argument = result;
    event.errorDetails = &errorDetails_;
  }
  NotifyEvent(event);
}

int CKernel::QueryTargetStatus(CCommChannel& channel) {
  const auto request = StatusRequest();
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  channel.Transact(request.data(), request.size(), reply.data(), reply.size(), kStatusPolls, kStatusRetries);
  if (reply[kReplyStatusOffset] != 0) return kKernelNoErrorDetails;
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
  if (!busy_.compare_exchange_strong(idle, 1)) return kKernelBusy;
  listA_ = listA;
  listB_ = listB;
  if (clearsAbort) abort_ = 0;
  switch (mode) {
    case kRunInline:
      return RunWorker(events, steps);
    case kRunOnThread:
      JoinWorker();
      try {
        worker_ = LaunchWorkerThread([this, events, steps = std::move(steps)] { RunWorker(events, steps); });
      } catch (const std::system_error&) {
        // Without its thread the operation never runs: free the object
        // and say so, rather than stay busy for ever.
        busy_ = 0;
        ReportClosing(events, kKernelUnknownError);
        return kKernelUnknownError;
      }
      return kKernelOk;
    default:
      busy_ = 0;
      return kKernelInvalidMode;
  }
}

int CKernel::RunWorker(const ClosingEvents& events, const Worker& steps) {
  int result;
  try {
    result = steps();
  } catch (ISP_EXCEPTION failure) {
    result = LinkErrorToMessage(failure);
  } catch (...) {
    result = kKernelUnknownError;
  }
  busy_ = 0;
  ReportClosing(events, result);
  return result;
}

void CKernel::JoinWorker() {
  if (!worker_.joinable()) return;
  if (worker_.get_id() == std::this_thread::get_id())
    worker_.detach();
  else
    worker_.join();
}

int CKernel::StartCommCheck(int mode) {
  return StartOperation(mode, false, {EVENT_COMM_CHECK_DONE, EVENT_COMM_CHECK_FAILED, EVENT_COMM_CHECK_FAILED},
                        [this] { return OpenKernelLink(); });
}
