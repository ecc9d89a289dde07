#include "engine/orvix/orvix.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "ambrel/ambrel.h"
#include "engine/core/buffer_registry.h"
#include "engine/core/log_line.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/region_list.h"
#include "engine/link/comm_channel.h"
#include "engine/link/isp_exception.h"

namespace {

// Kernel requests of the GPS-chip steps.
constexpr std::uint8_t kPassThroughRequest[] = {0x03, 0x01};
constexpr std::uint8_t kPassThroughReply[] = {0x03, 0x81, 0x00};
constexpr std::uint8_t kRateGroup = 0x05;
constexpr std::uint8_t kRateOpcode = 0x00;
constexpr std::uint8_t kHostUart = 0x00;
constexpr std::uint8_t kGpsUart = 0x01;
// The rate code of 38400 bit/s, which the probe sets on both UARTs.
constexpr std::uint8_t kProbeRateCode = 5;
constexpr std::size_t kReplyStatusOffset = 2;
constexpr unsigned kExchangePolls = 1000;
constexpr unsigned kExchangeRetries = 3;
constexpr unsigned kSendRetries = 3;
constexpr std::size_t kReplyCapacity = 64;
// Text buffers handed to the library.
constexpr std::size_t kNameBufferSize = 64;
constexpr std::size_t kErrorBufferSize = 1024;
// The library's file type for the image that the job names.
constexpr int kImageFileType = 2;
constexpr platform::Milliseconds kProgressPeriod{100};

std::array<std::uint8_t, 4> RateRequest(std::uint8_t uart, std::uint8_t code) {
  return {kRateGroup, kRateOpcode, uart, code};
}

std::string TextOf(const std::vector<char>& buffer) { return std::string(buffer.data()); }

}  // namespace

COrvix::COrvix() = default;

COrvix::~COrvix() = default;

int COrvix::LoadSettings(const OrvixSettingsRecord& settings) {
  if (GetBusyState() == KERNEL_ERROR_BUSY) return KERNEL_ERROR_BUSY;
  KernelSettingsRecord kernel;
  kernel.device = settings.device;
  kernel.linkMode = kLinkRs232;
  kernel.chipFamily = kChipHarrow;
  kernel.baudRate = std::min(settings.baudRate, kMaxDataRate);
  kernel.baudDivisor = settings.baudDivisor;
  kernel.comPort = settings.comPort;
  // The Harrow kernel the RS232 link downloads.
  kernel.images[KernelImage::HarrowU] = settings.harrowKernel;
  kernel.callback = settings.callback;
  const int result = LoadDeviceSettings(kernel);
  if (result != KERNEL_OK) return result;
  chipSelect_ = settings.chipSelect;
  chipOffset_ = settings.chipOffset;
  programmingOption_ = settings.programmingOption;
  chipSelectionEnabled_ = settings.chipSelectionEnabled;
  comPort_ = settings.comPort;
  dataRate_ = kernel.baudRate;
  divisor_ = settings.baudDivisor > 0 ? settings.baudDivisor : 1;
  regions_ = nullptr;
  return KERNEL_OK;
}

int COrvix::StartErase(int mode) {
  return StartOperation(mode, false, {EVENT_ORVIX_ERASE_DONE, EVENT_ORVIX_ERASE_FAILED, EVENT_ORVIX_ERASE_FAILED},
                        [this] { return RunErase(); });
}

int COrvix::StartProgram(const std::string& imageFile, int mode) {
  if (GetBusyState() == KERNEL_ERROR_BUSY) return KERNEL_ERROR_BUSY;
  imageFile_ = imageFile;
  return StartOperation(mode, false,
                        {EVENT_ORVIX_PROGRAM_DONE, EVENT_ORVIX_PROGRAM_FAILED, EVENT_ORVIX_PROGRAM_FAILED},
                        [this] { return RunProgram(); });
}

int COrvix::StartRead(CRegionList* regions, int mode) {
  if (GetBusyState() == KERNEL_ERROR_BUSY) return KERNEL_ERROR_BUSY;
  regions_ = regions;
  return StartOperation(mode, false, {EVENT_ORVIX_READ_DONE, EVENT_ORVIX_READ_FAILED, EVENT_ORVIX_READ_FAILED},
                        [this] { return RunRead(); }, regions);
}

// ---- the three operations -------------------------------------------------------

int COrvix::RunErase() {
  // An erase reports no percentage: only its start and its end.
  return RunOperation(EVENT_ORVIX_ERASING, 0, [] { return Ambrel_EraseFlash(); });
}

int COrvix::RunProgram() {
  ProgressThread progress(*this, Watch::Program);
  return RunOperation(EVENT_ORVIX_PROGRAM_PROGRESS, 100, [this] {
    std::vector<char> path(imageFile_.begin(), imageFile_.end());
    path.push_back('\0');
    unsigned start = 0;
    unsigned length = 0;
    return Ambrel_ProgramFlash(path.data(), kImageFileType, static_cast<int>(programmingOption_), &start, &length);
  });
}

int COrvix::RunRead() {
  ProgressThread progress(*this, Watch::Read);
  return RunOperation(EVENT_ORVIX_READ_PROGRESS, 100, [this] { return ReadChip(); });
}

template <class Step>
int COrvix::RunOperation(DeviceEventCode firstEvent, std::int64_t total, Step step) {
  SetFailureCause({});
  if (const int result = OpenKernelLink(); result != KERNEL_OK) return result;
  radioHostRate_ = BaudRate();
  ReportProgress(firstEvent, 0, total);
  return RunSession(step);
}

COrvix::ProgressThread::ProgressThread(COrvix& owner, Watch watch)
    : owner_(owner), thread_([this, watch] { owner_.PollProgress(watch); }) {}

COrvix::ProgressThread::~ProgressThread() {
  owner_.stopEvent_.Set();
  thread_.join();
}

template <class Step>
int COrvix::RunSession(Step step) {
  int result = KERNEL_OK;
  try {
    result = OrvixInit();
    if (result == KERNEL_OK) {
      callRunning_.Set();
      result = CheckAmbrelResult(step());
      callRunning_.ResetEvent();
    }
  } catch (ISP_EXCEPTION) {
    callRunning_.ResetEvent();
    RestoreAfterFailure();
    throw;
  }
  if (result != KERNEL_OK) {
    RestoreAfterFailure();
    return result;
  }
  try {
    return OrvixTerminate();
  } catch (ISP_EXCEPTION) {
    RestoreAfterFailure();
    throw;
  }
}

int COrvix::ReadChip() {
  if (!regions_ || regions_->Empty()) return AMBREL_NULL_POINTER;
  ImageRegion& first = *regions_->begin();
  std::uint8_t* buffer = GetBufferRegistry().Allocate(first.length);
  GetBufferRegistry().Release(first.buffer);
  first.buffer = buffer;
  return Ambrel_ReadFlash(reinterpret_cast<char*>(buffer), first.address, first.length);
}

// ---- session steps ------------------------------------------------------------

int COrvix::OrvixInit() {
  if (ProbeChip() == 0) {
    if (const int result = EnterPassThrough(); result != KERNEL_OK) return result;
  }
  if (const int result = CheckAmbrelResult(OpenLibrarySession(dataRate_, true)); result != KERNEL_OK) return result;
  std::vector<char> version(kNameBufferSize, '\0');
  Ambrel_GetVersion(version.data());
  libraryVersion_ = TextOf(version);
  return SetUartRates(kChipProbeRate, RateCode(dataRate_));
}

int COrvix::ProbeChip() {
  // Both UARTs to 38400, then see whether the chip answers there.
  {
    auto channel = OpenKernelChannel(radioHostRate_);
    const auto uartB = RateRequest(kGpsUart, kProbeRateCode);
    std::array<std::uint8_t, kReplyCapacity> reply{};
    channel->Transact(uartB.data(), uartB.size(), reply.data(), reply.size(), kExchangePolls, kExchangeRetries);
    const auto uartA = RateRequest(kHostUart, kProbeRateCode);
    channel->Send(uartA.data(), uartA.size(), kSendRetries);
  }
  radioHostRate_ = kChipProbeRate;
  const int opened = OpenLibrarySession(kChipProbeRate, false);
  Ambrel_Terminate();
  return opened == 0 ? 1 : 0;
}

int COrvix::EnterPassThrough() {
  CCommChannel channel(CHANNEL_SERIAL_BUS, GetPortPath(comPort_),
                       static_cast<std::uint32_t>(kChipProbeRate / divisor_), 0, "");
  std::array<std::uint8_t, kReplyCapacity> reply{};
  channel.Transact(kPassThroughRequest, sizeof kPassThroughRequest, reply.data(), reply.size(), kExchangePolls,
                   kExchangeRetries);
  if (!std::equal(std::begin(kPassThroughReply), std::end(kPassThroughReply), reply.begin()))
    return KERNEL_STATUS_PASS_THROUGH_FAILED;
  return KERNEL_OK;
}

int COrvix::SetUartRates(int channelRate, std::uint8_t rateCode) {
  CCommChannel channel(CHANNEL_SERIAL_BUS, GetPortPath(comPort_), static_cast<std::uint32_t>(channelRate / divisor_),
                       0, "");
  const auto uartB = RateRequest(kGpsUart, rateCode);
  std::array<std::uint8_t, kReplyCapacity> reply{};
  channel.Transact(uartB.data(), uartB.size(), reply.data(), reply.size(), kExchangePolls, kExchangeRetries);
  if (reply[kReplyStatusOffset] != 0) return KERNEL_STATUS_UART_B_RATE_FAILED;
  const auto uartA = RateRequest(kHostUart, rateCode);
  channel.Send(uartA.data(), uartA.size(), kSendRetries);
  radioHostRate_ = dataRate_;
  return KERNEL_OK;
}

int COrvix::OrvixTerminate() {
  if (const int result = CheckAmbrelResult(Ambrel_Terminate()); result != KERNEL_OK) return result;
  return SetUartRates(radioHostRate_, RateCode(dataRate_));
}

void COrvix::RestoreAfterFailure() {
  // Best effort: whatever failed, end the library's session and move both
  // UARTs back to the working rate, so that the radio's port is not left at
  // the chip's rate. The operation keeps its first error.
  Ambrel_Terminate();
  try {
    SetUartRates(radioHostRate_, RateCode(dataRate_));
  } catch (ISP_EXCEPTION) {
  }
}

int COrvix::OpenLibrarySession(int rate, bool keepIdentity) {
  if (chipSelectionEnabled_ != 1) return Ambrel_Init(comPort_, rate, divisor_);
  std::vector<char> vendor(kNameBufferSize, '\0');
  std::vector<char> part(kNameBufferSize, '\0');
  unsigned size = 0;
  const int result = Ambrel_Init_Ex(comPort_, rate, divisor_, static_cast<int>(chipSelect_),
                                    static_cast<int>(chipOffset_), vendor.data(), part.data(), &size);
  if (result == 0 && keepIdentity) {
    flashVendor_ = TextOf(vendor);
    flashPartName_ = TextOf(part);
    flashSize_ = size;
  }
  return result;
}

int COrvix::CheckAmbrelResult(int code) {
  if (code == 0) return KERNEL_OK;
  lastLibraryError_ = code;
  std::vector<char> text(kErrorBufferSize, '\0');
  Ambrel_GetLastErrorMessage(code, text.data());
  lastLibraryErrorText_ = TextOf(text);
  while (!lastLibraryErrorText_.empty() &&
         (lastLibraryErrorText_.back() == '\n' || lastLibraryErrorText_.back() == '\r'))
    lastLibraryErrorText_.pop_back();
  // The engine's own text for this failure says only "Orvix failure": the
  // library's reason goes into the log beside it, and the first one stays
  // the failure's cause (the clean-up after it may fail as well).
  if (GetErrorDetails().cause.empty()) SetFailureCause(lastLibraryErrorText_);
  PostLogLine(GetDeviceName(Device()) + "> ERROR: " + lastLibraryErrorText_);
  return ORVIX_LIBRARY_FAILURE;
}

// ---- progress -------------------------------------------------------------------

void COrvix::PollProgress(Watch watch) {
  while (!stopEvent_.Wait(kProgressPeriod)) {
    if (!callRunning_.IsSet()) continue;
    int first = 0;
    int second = 0;
    if (Ambrel_GetProgressInfo(&first, &second) != 0) continue;
    if (watch == Watch::Program && second > 0) ReportProgress(EVENT_ORVIX_PROGRAM_PROGRESS, second, 100);
    if (watch == Watch::Read && first > 0) ReportProgress(EVENT_ORVIX_READ_PROGRESS, first, 100);
  }
}
