#include "radiosim/radio_simulator.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "radiosim/line_pacer.h"

namespace radiosim {
namespace {

// What the USB boot loader sends when the downloaded kernel has started.
constexpr std::uint8_t kUsbKernelStarted = 0x50;
// A byte that is neither ACK nor NAK, for the wrong-acknowledgement fault.
constexpr std::uint8_t kWrongAck = 0x3C;

std::string RateText(std::uint32_t rate) { return rate == 0 ? "-" : std::to_string(rate); }

std::string RequestText(int request) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", request & 0xFFFF);
  return text;
}

}  // namespace

RadioSimulator::RadioSimulator(RadioConfig config)
    : config_(std::move(config)),
      flash_(config_.flashBase, config_.sectorLayout),
      bootLoader_(config_.bootLoader, config_.link, config_.ramSize),
      kernel_(config_, flash_, faults_, transcript_),
      firmware_(config_.ramRegions, faults_, transcript_) {
  if (!config_.transcriptFile.empty()) transcriptOpen_ = transcript_.OpenFile(config_.transcriptFile);
  for (auto sector : config_.protectedSectors) flash_.SetProtected(sector, true);
  PowerOn();
}

void RadioSimulator::PowerOn() {
  kernel_.Stop();
  switch (config_.powerOn) {
    case PowerOnState::Kernel: EnterKernel(kKernelStartRate); break;
    case PowerOnState::Firmware: EnterFirmware(); break;
    case PowerOnState::BootLoader: EnterBootLoader(); break;
  }
}

void RadioSimulator::EnterFirmware() {
  EndPassThrough();
  mode_ = RadioMode::Firmware;
  rate_ = kFirmwareRate;
  frameReader_.Abandon();
  usbReader_.Abandon();
  Note("firmware running at " + std::to_string(rate_));
}

void RadioSimulator::RunFirmware() {
  std::lock_guard lock(mutex_);
  kernel_.Stop();
  EnterFirmware();
}

void RadioSimulator::FeedFirmware(std::uint8_t byte, Pending& out) {
  // The firmware has no USB side: the RAM dump runs over RS232 only.
  if (config_.link != LinkKind::Serial) return;
  auto frame = frameReader_.Feed(byte);
  if (!frame) return;
  auto bytes = firmware_.Handle(*frame);
  out.toHost.insert(out.toHost.end(), bytes.begin(), bytes.end());
}

void RadioSimulator::AttachHost(HostLink* link) {
  std::lock_guard lock(mutex_);
  link_ = link;
}

void RadioSimulator::AttachUartB(UartBPeer* peer) {
  std::lock_guard lock(mutex_);
  uartB_ = peer;
}

void RadioSimulator::FromUartB(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  std::lock_guard lock(mutex_);
  if (!passThrough_ || mode_ != RadioMode::Kernel) {
    Note("uart b lost: " + Transcript::Hex(bytes));
    return;
  }
  Pending out;
  out.toHost.assign(bytes.begin(), bytes.end());
  chipBytesSinceHostFrame_ += bytes.size();
  Note("uart b to host");
  Emit(out);
}

bool RadioSimulator::PassThroughActive() const {
  std::lock_guard lock(mutex_);
  return passThrough_;
}

std::uint32_t RadioSimulator::UartBRate() const {
  std::lock_guard lock(mutex_);
  return uartBRate_;
}

void RadioSimulator::EndPassThrough() {
  passThrough_ = false;
  gpsFrameLengthNext_ = false;
  gpsFrameLeft_ = 0;
  uartBRate_ = kUartBResetRate;
  if (uartB_ != nullptr) uartB_->RateChanged(uartBRate_);
}

void RadioSimulator::FeedPassThrough(std::uint8_t byte, Pending& out, std::vector<std::uint8_t>& toUartB) {
  // The host's GPS-chip frames start with a flag bit and a 15-bit length, so
  // their first byte never has the kernel's 0xF high nibble; its verdict on
  // a reply is a lone 0x06 or 0x15.
  constexpr std::uint8_t kGpsAck = 0x06;
  constexpr std::uint8_t kGpsNak = 0x15;
  if (gpsFrameLeft_ > 0) {
    --gpsFrameLeft_;
    toUartB.push_back(byte);
    return;
  }
  if (gpsFrameLengthNext_) {
    gpsFrameLengthNext_ = false;
    gpsFrameLeft_ = (static_cast<std::size_t>(gpsFrameFirst_ & 0x7Fu) << 8 | byte) + 1;
    toUartB.push_back(byte);
    return;
  }
  if (frameReader_.InFrame() || (byte & 0xF0) == 0xF0) {
    FeedSerialKernel(byte, out);
    return;
  }
  toUartB.push_back(byte);
  const bool verdict = (byte == kGpsAck || byte == kGpsNak) && chipBytesSinceHostFrame_ > 1;
  chipBytesSinceHostFrame_ = 0;
  if (verdict) return;
  gpsFrameFirst_ = byte;
  gpsFrameLengthNext_ = true;
}

void RadioSimulator::Receive(std::span<const std::uint8_t> bytes, std::uint32_t hostRate,
                             Clock::time_point now) {
  if (bytes.empty()) return;
  std::lock_guard lock(mutex_);
  now_ = now;
  // The bytes of one read may have come at once; on the line they follow
  // each other, so the line falls quiet only once the last of them has
  // been carried. A host that waits for its bytes to leave before writing
  // more leaves no gap, however fast the bytes were taken here.
  if (lineQuietAt_ && now - *lineQuietAt_ > std::chrono::milliseconds(config_.resyncGapMs)) AbandonPartial();
  lineQuietAt_ = std::max(now, lineQuietAt_.value_or(now)) + LinePacer::LineTime(bytes.size(), hostRate);

  if (faults_.Take(FaultKind::Silence)) {
    Note("fault silence: ignored " + std::to_string(bytes.size()) + " bytes");
    return;
  }
  const std::uint32_t expected = rate_ / config_.divisor;
  if (config_.link == LinkKind::Serial && config_.strictRate && hostRate != 0 && hostRate != expected) {
    Note("drop " + RateText(hostRate) + " expected " + std::to_string(expected) + ": " +
         Transcript::Hex(bytes));
    return;
  }
  Note("rx " + RateText(hostRate) + ": " + Transcript::Hex(bytes));

  Pending out;
  std::vector<std::uint8_t> toUartB;
  for (auto byte : bytes) {
    if (mode_ == RadioMode::BootLoader)
      FeedBootLoader(byte, out);
    else if (mode_ == RadioMode::Kernel && passThrough_ && config_.link == LinkKind::Serial)
      FeedPassThrough(byte, out, toUartB);
    else if (mode_ == RadioMode::Firmware)
      FeedFirmware(byte, out);
    else if (config_.link == LinkKind::Serial)
      FeedSerialKernel(byte, out);
    else
      FeedUsbKernel(byte, out);
  }
  if (config_.link == LinkKind::Serial && mode_ != RadioMode::BootLoader) {
    auto skipped = frameReader_.TakeSkipped();
    if (!skipped.empty()) Note("skipped: " + Transcript::Hex(skipped));
  }
  Emit(out);
  if (!toUartB.empty()) {
    Note("to uart b at " + std::to_string(uartBRate_) + ": " + std::to_string(toUartB.size()) + " bytes");
    if (uartB_ != nullptr) uartB_->FromHost(toUartB, uartBRate_);
  }
}

void RadioSimulator::Emit(Pending& out) {
  if (out.toHost.empty()) return;
  Note("tx: " + Transcript::Hex(out.toHost));
  if (link_ != nullptr) link_->SendToHost(out.toHost);
  out.toHost.clear();
}

void RadioSimulator::AbandonPartial() {
  BootLoader::Output out;
  bootLoader_.Abandon(out);
  for (auto& note : out.notes) Note(note);
  if (frameReader_.InFrame() || usbReader_.InMessage()) Note("kernel partial request abandoned");
  frameReader_.Abandon();
  usbReader_.Abandon();
  gpsFrameLengthNext_ = false;
  gpsFrameLeft_ = 0;
}

void RadioSimulator::EnterBootLoader() {
  EndPassThrough();
  mode_ = RadioMode::BootLoader;
  rate_ = kBootLoaderRate;
  bootLoader_ = BootLoader(config_.bootLoader, config_.link, config_.ramSize);
  frameReader_.Abandon();
  usbReader_.Abandon();
  Note("boot loader running at " + std::to_string(rate_));
}

void RadioSimulator::EnterKernel(std::uint32_t rate) {
  EndPassThrough();
  mode_ = RadioMode::Kernel;
  rate_ = rate;
  frameReader_.Abandon();
  usbReader_.Abandon();
  Note("kernel running at " + std::to_string(rate_));
}

void RadioSimulator::FeedBootLoader(std::uint8_t byte, Pending& out) {
  BootLoader::Output step;
  bootLoader_.Feed(byte, step);
  for (auto& note : step.notes) Note(note);
  out.toHost.insert(out.toHost.end(), step.reply.begin(), step.reply.end());
  if (step.download) TakeDownload(std::move(*step.download), out);
}

void RadioSimulator::TakeDownload(KernelDownload download, Pending& out) {
  const bool good = download.checksumOk;
  downloads_.push_back(std::move(download));
  if (!good) return;
  if (faults_.Take(FaultKind::KernelNeverStarts)) {
    Note("fault kernel-never-starts: boot loader stays");
    return;
  }
  ++kernelStarts_;
  EnterKernel(kKernelStartRate);
  if (config_.link == LinkKind::Usb) out.toHost.push_back(kUsbKernelStarted);
}

void RadioSimulator::FeedSerialKernel(std::uint8_t byte, Pending& out) {
  auto frame = frameReader_.Feed(byte);
  if (!frame) return;
  if (frame->kind == FrameResult::Kind::Malformed) {
    Note("kernel nak: " + frame->why);
    out.toHost.push_back(kNak);
    return;
  }
  if (frame->kind == FrameResult::Kind::Short) {
    Note("kernel nak: short frame " + Transcript::Hex(frame->payload));
    out.toHost.push_back(kNak);
    return;
  }
  const int request = FlashingKernel::RequestId(frame->payload);
  if (faults_.Take(FaultKind::NoAck, request)) {
    Note("fault no-ack " + RequestText(request));
    return;
  }
  if (faults_.Take(FaultKind::Nak, request)) {
    Note("fault nak " + RequestText(request));
    out.toHost.push_back(kNak);
    return;
  }
  if (faults_.Take(FaultKind::WrongAck, request)) {
    Note("fault wrong-ack " + RequestText(request));
    out.toHost.push_back(kWrongAck);
    return;
  }
  out.toHost.push_back(kAck);
  RunRequest(frame->payload, out);
}

void RadioSimulator::FeedUsbKernel(std::uint8_t byte, Pending& out) {
  auto message = usbReader_.Feed(byte);
  if (!message) return;
  if (message->empty()) {
    Note("kernel refused: bad message length");
    return;
  }
  const int request = FlashingKernel::RequestId(*message);
  if (faults_.Take(FaultKind::NoAck, request)) {
    Note("fault no-ack " + RequestText(request));
    return;
  }
  RunRequest(*message, out);
}

void RadioSimulator::RunRequest(const std::vector<std::uint8_t>& request, Pending& out) {
  const int id = FlashingKernel::RequestId(request);
  Note("kernel request " + Transcript::Hex(request));
  KernelOutcome outcome = kernel_.Handle(request, now_);
  if (outcome.reply) {
    auto& reply = *outcome.reply;
    if (id == 0x0303 && faults_.Take(FaultKind::StatusUnavailable, id)) {
      Note("fault status-unavailable");
      reply.resize(3);
      reply[2] = 1;
    } else if (reply.size() > 2 && faults_.Take(FaultKind::ErrorStatus, id)) {
      Note("fault error-status " + RequestText(id));
      reply.resize(3);
      reply[2] = 1;
    }
    if (faults_.Take(FaultKind::NoReply, id)) {
      Note("fault no-reply " + RequestText(id));
    } else {
      const ReplyDamage damage = TakeReplyDamage(id);
      Note("kernel reply " + Transcript::Hex(reply));
      auto encoded = config_.link == LinkKind::Serial ? EncodeExtendedReply(reply, damage)
                                                      : EncodeUsbReply(reply, damage);
      out.toHost.insert(out.toHost.end(), encoded.begin(), encoded.end());
    }
  }
  if (outcome.passThrough && !passThrough_) {
    passThrough_ = true;
    Note("uart b handed through");
  }
  if (outcome.uartBRate) {
    uartBRate_ = *outcome.uartBRate;
    Note("uart b speed " + std::to_string(uartBRate_));
    if (uartB_ != nullptr) uartB_->RateChanged(uartBRate_);
  }
  if (outcome.newRate) {
    // The acknowledgement still leaves at the old rate.
    Emit(out);
    rate_ = *outcome.newRate;
    Note("kernel speed " + std::to_string(rate_));
  }
  if (outcome.reset) {
    Emit(out);
    Note("radio reset");
    kernel_.Stop();
    EnterBootLoader();
  }
}

ReplyDamage RadioSimulator::TakeReplyDamage(int request) {
  struct Mapping {
    FaultKind fault;
    ReplyDamage damage;
    bool serialOnly;
  };
  static constexpr Mapping kDamages[] = {
      {FaultKind::BadChecksum, ReplyDamage::BadChecksum, true},
      {FaultKind::BadHeader, ReplyDamage::BadHeader, true},
      {FaultKind::ZeroLength, ReplyDamage::ZeroLength, false},
      {FaultKind::OverlongLength, ReplyDamage::OverlongLength, false},
      {FaultKind::ShortReply, ReplyDamage::ShortReply, false},
  };
  for (const auto& m : kDamages) {
    if (m.serialOnly && config_.link != LinkKind::Serial) continue;
    if (faults_.Take(m.fault, request)) {
      Note(std::string("fault ") + FaultName(m.fault) + " " + RequestText(request));
      return m.damage;
    }
  }
  return ReplyDamage::None;
}

void RadioSimulator::PowerCycle() {
  std::lock_guard lock(mutex_);
  Note("power cycle");
  kernel_.Status().Clear();
  lineQuietAt_.reset();
  PowerOn();
}

void RadioSimulator::AddFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.Add(fault);
}

void RadioSimulator::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.Clear();
}

void RadioSimulator::SetStatusRegister(std::uint16_t word, std::vector<std::uint8_t> details) {
  std::lock_guard lock(mutex_);
  kernel_.Status().Set(word, std::move(details));
}

StatusRegister RadioSimulator::GetStatusRegister() const {
  std::lock_guard lock(mutex_);
  return kernel_.Status();
}

bool RadioSimulator::SetFlash(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  return flash_.Load(address, bytes);
}

std::vector<std::uint8_t> RadioSimulator::GetFlash(std::uint32_t address, std::uint32_t length) const {
  std::lock_guard lock(mutex_);
  return flash_.Contents(address, length);
}

std::vector<std::uint8_t> RadioSimulator::FlashImage() const {
  std::lock_guard lock(mutex_);
  return flash_.All();
}

std::uint32_t RadioSimulator::FlashBase() const { return config_.flashBase; }

std::vector<FlashSector> RadioSimulator::Sectors() const {
  std::lock_guard lock(mutex_);
  return flash_.Sectors();
}

void RadioSimulator::SetSectorProtected(std::size_t sector, bool on) {
  std::lock_guard lock(mutex_);
  flash_.SetProtected(sector, on);
}

bool RadioSimulator::SmartFlashActive() const {
  std::lock_guard lock(mutex_);
  return kernel_.SmartFlash().Active();
}

std::uint32_t RadioSimulator::SmartFlashFree() const {
  std::lock_guard lock(mutex_);
  return kernel_.SmartFlash().Free();
}

std::size_t RadioSimulator::SmartFlashQueued() const {
  std::lock_guard lock(mutex_);
  return kernel_.SmartFlash().QueuedRequests();
}

int RadioSimulator::MagicKeysProgrammed() const {
  std::lock_guard lock(mutex_);
  return kernel_.MagicKeysProgrammed();
}

bool RadioSimulator::SetRam(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  return firmware_.SetRam(address, bytes);
}

std::vector<std::uint8_t> RadioSimulator::GetRam(std::uint32_t address, std::uint32_t length) const {
  std::lock_guard lock(mutex_);
  return firmware_.GetRam(address, length);
}

std::vector<RamRegionSpec> RadioSimulator::RamRegions() const {
  std::lock_guard lock(mutex_);
  return firmware_.Regions();
}

int RadioSimulator::RamDumpsAnnounced() const {
  std::lock_guard lock(mutex_);
  return firmware_.DumpsAnnounced();
}

RadioMode RadioSimulator::Mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

std::uint32_t RadioSimulator::NominalRate() const {
  std::lock_guard lock(mutex_);
  return rate_;
}

std::uint32_t RadioSimulator::ExpectedHostRate() const {
  std::lock_guard lock(mutex_);
  return rate_ / config_.divisor;
}

std::vector<KernelDownload> RadioSimulator::Downloads() const {
  std::lock_guard lock(mutex_);
  return downloads_;
}

int RadioSimulator::KernelStarts() const {
  std::lock_guard lock(mutex_);
  return kernelStarts_;
}

}  // namespace radiosim
