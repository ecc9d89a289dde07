// Opening the kernel link of a CKernel: probe for a running kernel, else
// wake the boot loader, choose and download the kernel, and move the
// RS232 link to the working speed.

#include <vector>

#include "engine/link/kernel.h"
#include "engine/link/kernel_requests.h"

namespace {

constexpr int kBootAnswerZ = 0;
constexpr int kBootAnswerL = 3;
constexpr int kBootNoAnswer = 2;

// Puts the configured working speed back on every way out, exceptions
// included.
class RestoreBaudRate {
 public:
  explicit RestoreBaudRate(std::atomic<int>& rate) : rate_(rate), saved_(rate.load()) {}
  ~RestoreBaudRate() { rate_ = saved_; }
  RestoreBaudRate(const RestoreBaudRate&) = delete;
  RestoreBaudRate& operator=(const RestoreBaudRate&) = delete;
  int saved() const { return saved_; }

 private:
  std::atomic<int>& rate_;
  int saved_;
};

BootAnswer AnswerOf(int detected) {
  switch (detected) {
    case kBootAnswerZ: return BootAnswer::Z;
    case kBootAnswerL: return BootAnswer::L;
    default: return BootAnswer::None;
  }
}

}  // namespace

int CKernel::OpenKernelLink() {
  RestoreBaudRate restore(baudRate_);
  if (ProbeKernel()) return KERNEL_OK;
  // A kernel that never took the last speed switch (its acknowledgement
  // lost, the operation failed) still answers at its start rate, and its
  // boot loader no longer runs: move it to the working speed from there.
  if (linkMode_ == kLinkRs232 && restore.saved() != kKernelStartRate) {
    baudRate_ = kKernelStartRate;
    if (ProbeKernel()) {
      SwitchToWorkingSpeed(restore.saved());
      return KERNEL_OK;
    }
    baudRate_ = restore.saved();
  }
  if (const int result = BootAndDownload(); result != KERNEL_OK) return result;
  baudRate_ = kKernelStartRate;
  if (!ProbeKernel()) return KERNEL_ERROR_NOT_RESPONDING;
  if (linkMode_ == kLinkRs232) SwitchToWorkingSpeed(restore.saved());
  return KERNEL_OK;
}

void CKernel::SwitchToWorkingSpeed(int workingRate) {
  auto channel = OpenKernelChannel(kKernelStartRate);
  const auto request = SpeedSwitchRequest(workingRate);
  channel->Send(request.data(), request.size(), kSpeedSwitchRetries);
}

int CKernel::ProbeKernel() {
  try {
    auto channel = OpenKernelChannel(baudRate_);
    const auto request = TargetNameRequest();
    std::vector<std::uint8_t> reply(kKernelReplyCapacity);
    channel->Transact(request.data(), request.size(), reply.data(), reply.size(), kProbePolls, kProbeRetries);
    return reply[0] == kNameReplyGroup && reply[1] == kNameReplyOpcode && reply[kReplyStatusOffset] == 0;
  } catch (...) {
    return 0;
  }
}

int CKernel::ProbeKernelIfIdle() {
  int idle = 0;
  if (!busy_.compare_exchange_strong(idle, 1)) return 0;
  const int answer = ProbeKernel();
  busy_ = 0;
  return answer;
}

// Only a ping that went out and found no answer is "no boot loader"; a
// port that does not open is a link failure and leaves as such.
int CKernel::DetectBootLoader() {
  CBootLink link(linkMode_, GetPortPath(comPort_), static_cast<std::uint32_t>(HostRate(kBootLoaderRate)),
                 usbDeviceId_, GetUsbInterfaceName(chipFamily_), this, nullptr);
  try {
    return link.Ping(kPingRetries) == CBootLink::kPingAnswerZ ? kBootAnswerZ : kBootAnswerL;
  } catch (ISP_EXCEPTION) {
    return kBootNoAnswer;
  }
}

int CKernel::BootAndDownload() {
  BootAnswer answer = BootAnswer::None;
  if (KernelRouteNeedsPing(linkMode_, chipFamily_)) answer = AnswerOf(DetectBootLoader());
  const auto choice = ChooseKernelRoute(linkMode_, chipFamily_, answer);
  if (choice.error != KERNEL_OK) return choice.error;
  const KernelImageSlot slot = images_[choice.route.image];
  if (slot.image == nullptr || slot.length == 0) return KERNEL_ERROR_KERNEL_NOT_SPECIFIED;
  const auto bootKind = static_cast<ChannelKind>(BootLoaderChannelKind(linkMode_));
  // An image that the format's length field cannot announce would go out
  // with a truncated length: refuse it before a byte is sent.
  if (!CBootLink::DownloadLengthFits(choice.route.format, slot.length, bootKind))
    return KERNEL_ERROR_INVALID_KERNEL_TYPE;

  ReportProgress(EVENT_BOOTLOAD_PROGRESS, 0, slot.length);
  const auto bootRate = static_cast<std::uint32_t>(HostRate(kBootLoaderRate));
  CBootLink link(linkMode_, GetPortPath(comPort_), bootRate, usbDeviceId_, GetUsbInterfaceName(chipFamily_), this,
                 &CKernel::BootProgressThunk);
  link.Download(kDownloadChunk, slot.image, slot.length, slot.loadAddress, 0, bootRate, kDownloadRetries,
                choice.route.format);
  link.WaitAfterDownload();
  return KERNEL_OK;
}

void CKernel::OnBootProgress(const BootProgress& progress) {
  if (progress.state == 0)
    ReportProgress(EVENT_BOOTLOAD_PROGRESS, progress.sent, progress.total);
  else
    ReportProgress(EVENT_BOOTLOAD_DONE, 0, 0);
}

void CKernel::BootProgressThunk(void* context, const BootProgress* progress) {
  static_cast<CKernel*>(context)->OnBootProgress(*progress);
}
