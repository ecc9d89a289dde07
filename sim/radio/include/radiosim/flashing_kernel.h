#pragma once
// The flashing kernel's request handling, from the radio's side: one
// handler per (function group, opcode), a status register, and the
// effects a request has on the radio (a new bit rate, a reset).
//
// A reply payload starts with the group, the opcode with bit 7 set, and a
// status byte that is 0 on success; a failed request sets the status
// register and replies with status 1.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "radiosim/status_register.h"

namespace radiosim {

struct KernelOutcome {
  std::optional<std::vector<std::uint8_t>> reply;  // nothing: the request takes no reply
  std::optional<std::uint32_t> newRate;            // the kernel moves to this nominal rate
  bool reset = false;                              // the radio restarts in its boot loader
};

class FlashingKernel {
 public:
  explicit FlashingKernel(std::string targetName);

  KernelOutcome Handle(std::span<const std::uint8_t> request);

  StatusRegister& Status() { return status_; }
  const StatusRegister& Status() const { return status_; }

  static int RequestId(std::span<const std::uint8_t> request);

 private:
  using Handler = KernelOutcome (FlashingKernel::*)(std::span<const std::uint8_t>);
  struct Entry {
    std::uint8_t group;
    std::uint8_t opcode;
    Handler handler;
  };

  KernelOutcome Reset(std::span<const std::uint8_t> request);
  KernelOutcome StatusRequest(std::span<const std::uint8_t> request);
  KernelOutcome TargetName(std::span<const std::uint8_t> request);
  KernelOutcome SpeedSwitch(std::span<const std::uint8_t> request);

  KernelOutcome Failure(std::span<const std::uint8_t> request, std::uint16_t word);
  static std::vector<std::uint8_t> ReplyHead(std::span<const std::uint8_t> request, std::uint8_t status);

  static const Entry kHandlers[];
  std::string targetName_;
  StatusRegister status_;
};

}  // namespace radiosim
