#pragma once
// The flashing kernel's request handling, from the radio's side: one
// handler per (function group, opcode), a status register, and the
// effects a request has on the radio (its flash, a new bit rate, a reset).
//
// A reply payload starts with the group, the opcode with bit 7 set, and a
// status byte that is 0 on success; a failed request sets the status
// register and replies with status 1.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "radiosim/fault_plan.h"
#include "radiosim/flash_memory.h"
#include "radiosim/radio_config.h"
#include "radiosim/smart_flash_engine.h"
#include "radiosim/status_register.h"
#include "radiosim/transcript.h"

namespace radiosim {

struct KernelOutcome {
  std::optional<std::vector<std::uint8_t>> reply;  // nothing: the request takes no reply
  std::optional<std::uint32_t> newRate;            // the kernel moves to this nominal rate
  bool reset = false;                              // the radio restarts in its boot loader
  bool passThrough = false;                        // UART B is handed through to the GPS chip
  std::optional<std::uint32_t> uartBRate;          // UART B (the GPS chip's side) moves to this rate
};

// The data area (FDI) region that the last 07 00 request set up.
struct FdiSession {
  std::uint32_t base = 0;
  std::uint32_t unitSize = 0;
  std::uint16_t unitCount = 0;
  std::uint16_t first = 0;   // the two values the 07 00 reply gave
  std::uint16_t second = 0;
};

class FlashingKernel {
 public:
  using Clock = std::chrono::steady_clock;

  // The flash, the fault plan and the transcript belong to the radio and
  // outlive the kernel.
  FlashingKernel(const RadioConfig& config, FlashMemory& flash, FaultPlan& faults, Transcript& transcript);

  KernelOutcome Handle(std::span<const std::uint8_t> request, Clock::time_point now = Clock::now());
  // Lets the smart-flash engine write what the time allows.
  void Advance(Clock::time_point now);
  // The kernel stops (reset, power cycle): smart flash is switched off.
  void Stop();

  StatusRegister& Status() { return status_; }
  const StatusRegister& Status() const { return status_; }
  const SmartFlashEngine& SmartFlash() const { return smart_; }
  int MagicKeysProgrammed() const { return magicKeys_; }

  static int RequestId(std::span<const std::uint8_t> request);

 private:
  using Handler = KernelOutcome (FlashingKernel::*)(std::span<const std::uint8_t>);
  struct Entry {
    std::uint8_t group;
    std::uint8_t opcode;
    Handler handler;
  };

  // Group 01: flash.
  KernelOutcome Program(std::span<const std::uint8_t> request);
  KernelOutcome ReadFlash(std::span<const std::uint8_t> request);
  KernelOutcome EraseRange(std::span<const std::uint8_t> request);
  std::optional<FlashError> WriteFlashRequest(std::span<const std::uint8_t> request);
  std::optional<FlashError> WriteQueued(std::span<const std::uint8_t> request);
  KernelOutcome QueueSmart(std::span<const std::uint8_t> request);
  FlashFault TakeFlashFault(int request);
  // Group 03: control.
  KernelOutcome Reset(std::span<const std::uint8_t> request);
  KernelOutcome PassThrough(std::span<const std::uint8_t> request);
  KernelOutcome StatusRequest(std::span<const std::uint8_t> request);
  KernelOutcome TargetName(std::span<const std::uint8_t> request);
  // Group 04: magic key.
  KernelOutcome MagicKeyStart(std::span<const std::uint8_t> request);
  KernelOutcome MagicKeyFinish(std::span<const std::uint8_t> request);
  // Group 05: speed of UART A (the host) or UART B (the GPS chip), smart
  // flash switch.
  KernelOutcome SpeedSwitch(std::span<const std::uint8_t> request);
  KernelOutcome SmartFlashSwitch(std::span<const std::uint8_t> request);
  // Group 06: smart flash queries.
  KernelOutcome FreeSpace(std::span<const std::uint8_t> request);
  KernelOutcome CompletionState(std::span<const std::uint8_t> request);
  // Group 07: data area.
  KernelOutcome FdiRegion(std::span<const std::uint8_t> request);
  KernelOutcome FdiUnit(std::span<const std::uint8_t> request);

  KernelOutcome Failure(std::span<const std::uint8_t> request, std::uint16_t word);
  KernelOutcome Failure(std::span<const std::uint8_t> request, const FlashError& error);
  KernelOutcome Success(std::span<const std::uint8_t> request, std::span<const std::uint8_t> body = {});
  std::vector<std::uint8_t> Text(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply);
  static std::vector<std::uint8_t> ReplyHead(std::span<const std::uint8_t> request, std::uint8_t status);
  void Note(const std::string& line) { transcript_.Add(line); }

  static const Entry kHandlers[];
  const RadioConfig& config_;
  FlashMemory& flash_;
  FaultPlan& faults_;
  Transcript& transcript_;
  StatusRegister status_;
  SmartFlashEngine smart_;
  Clock::time_point now_{};
  std::optional<FdiSession> fdi_;
  bool magicKeyStarted_ = false;
  int magicKeys_ = 0;
};

// The address at which the kernel sees the first unit of a data area; the
// data-area unit reply gives unit addresses in this view.
constexpr std::uint32_t kFdiKernelWindow = 0x60000000;

}  // namespace radiosim
