#pragma once
// One simulated radio: the boot loader in ROM and, once downloaded, the
// flashing kernel, behind any byte transport. The state (which program
// runs, its bit rate, the status register, what was downloaded) lives here
// and survives the host's opens and closes of its port; a front end only
// carries bytes and tells the bit rate the host set.
//
// Thread safety: every member may be called from any thread.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "radiosim/application_firmware.h"
#include "radiosim/boot_loader.h"
#include "radiosim/fault_plan.h"
#include "radiosim/flashing_kernel.h"
#include "radiosim/host_link.h"
#include "radiosim/kernel_framing.h"
#include "radiosim/radio_config.h"
#include "radiosim/transcript.h"
#include "radiosim/uart_b_peer.h"

namespace radiosim {

// Firmware: the radio's application runs (it answers the RAM dump).
enum class RadioMode { BootLoader, Kernel, Firmware };

class RadioSimulator {
 public:
  using Clock = std::chrono::steady_clock;
  // UART B's rate at power-on: the GPS chip's own.
  static constexpr std::uint32_t kUartBResetRate = 38400;

  explicit RadioSimulator(RadioConfig config);
  RadioSimulator(const RadioSimulator&) = delete;
  RadioSimulator& operator=(const RadioSimulator&) = delete;

  // Where replies go; nullptr detaches (replies are then only transcribed).
  void AttachHost(HostLink* link);
  // What sits behind UART B (the GPS chip); nullptr detaches it. The peer
  // must outlive its attachment.
  void AttachUartB(UartBPeer* peer);
  // Bytes from UART B's peer: while UART B is handed through they go on to
  // the host; otherwise they are lost.
  void FromUartB(std::span<const std::uint8_t> bytes);
  // Whether the kernel has handed UART B through, and UART B's bit rate.
  bool PassThroughActive() const;
  std::uint32_t UartBRate() const;

  // Bytes from the host. hostRate is the bit rate the host's port is set
  // to (0 when the transport has none, as over USB).
  void Receive(std::span<const std::uint8_t> bytes, std::uint32_t hostRate,
               Clock::time_point now = Clock::now());

  // Back to the state at power-on; downloads and transcript are kept.
  void PowerCycle();

  void AddFault(const Fault& fault);
  void ClearFaults();
  void SetStatusRegister(std::uint16_t word, std::vector<std::uint8_t> details = {});
  StatusRegister GetStatusRegister() const;

  // The flash, as the host would find it. Setters put bytes in as they
  // are (no erase needed); false when the range is not in the flash.
  bool SetFlash(std::uint32_t address, std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> GetFlash(std::uint32_t address, std::uint32_t length) const;
  std::vector<std::uint8_t> FlashImage() const;
  std::uint32_t FlashBase() const;
  std::vector<FlashSector> Sectors() const;
  void SetSectorProtected(std::size_t sector, bool on);
  // What the smart-flash engine holds: whether it is on, its free space,
  // the requests queued and not yet written.
  bool SmartFlashActive() const;
  std::uint32_t SmartFlashFree() const;
  std::size_t SmartFlashQueued() const;
  int MagicKeysProgrammed() const;
  // The application firmware's RAM; setters fail outside its regions.
  bool SetRam(std::uint32_t address, std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> GetRam(std::uint32_t address, std::uint32_t length) const;
  std::vector<RamRegionSpec> RamRegions() const;
  int RamDumpsAnnounced() const;
  // Starts the application firmware, as a normal power-on of the radio does.
  void RunFirmware();

  RadioMode Mode() const;
  // The radio's own (nominal) bit rate now, and the rate the host's port
  // must be set to for the radio to understand it (nominal / divisor).
  std::uint32_t NominalRate() const;
  std::uint32_t ExpectedHostRate() const;
  std::vector<KernelDownload> Downloads() const;
  int KernelStarts() const;
  const RadioConfig& Config() const { return config_; }
  Transcript& GetTranscript() { return transcript_; }
  // False when the configured transcript file could not be opened.
  bool TranscriptFileOpen() const { return config_.transcriptFile.empty() || transcriptOpen_; }

 private:
  struct Pending {
    std::vector<std::uint8_t> toHost;
  };

  void EnterBootLoader();
  void EnterKernel(std::uint32_t rate);
  void EnterFirmware();
  void FeedFirmware(std::uint8_t byte, Pending& out);
  void AbandonPartial();
  void FeedBootLoader(std::uint8_t byte, Pending& out);
  void TakeDownload(KernelDownload download, Pending& out);
  void FeedSerialKernel(std::uint8_t byte, Pending& out);
  void FeedUsbKernel(std::uint8_t byte, Pending& out);
  void FeedPassThrough(std::uint8_t byte, Pending& out, std::vector<std::uint8_t>& toUartB);
  void EndPassThrough();
  void RunRequest(const std::vector<std::uint8_t>& request, Pending& out);
  void PowerOn();
  ReplyDamage TakeReplyDamage(int request);
  void Emit(Pending& out);
  void Note(const std::string& line) { transcript_.Add(line); }

  const RadioConfig config_;
  mutable std::mutex mutex_;
  Transcript transcript_;
  bool transcriptOpen_ = false;
  FaultPlan faults_;
  FlashMemory flash_;
  HostLink* link_ = nullptr;
  RadioMode mode_ = RadioMode::BootLoader;
  std::uint32_t rate_ = kBootLoaderRate;
  BootLoader bootLoader_;
  FlashingKernel kernel_;
  ApplicationFirmware firmware_;
  SerialFrameReader frameReader_;
  UsbMessageReader usbReader_;
  std::vector<KernelDownload> downloads_;
  int kernelStarts_ = 0;
  std::optional<Clock::time_point> lineQuietAt_;  // when the bytes received so far were carried
  // UART B: its peer, its rate, whether it is handed through, and where the
  // host's GPS-chip frame being passed on stands (its length is read from
  // its first two bytes, so its body never passes for a kernel frame).
  UartBPeer* uartB_ = nullptr;
  std::uint32_t uartBRate_ = kUartBResetRate;
  bool passThrough_ = false;
  bool gpsFrameLengthNext_ = false;
  std::uint8_t gpsFrameFirst_ = 0;
  std::size_t gpsFrameLeft_ = 0;
  // Bytes the chip sent since the host's last frame: after a reply (more
  // than the chip's one-byte acknowledgement) a lone 0x06 or 0x15 from the
  // host is its verdict on that reply, not the start of a frame.
  std::size_t chipBytesSinceHostFrame_ = 0;
  Clock::time_point now_{};
};

}  // namespace radiosim
