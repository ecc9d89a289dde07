#pragma once
// The background-debug-mode lines: the output-register shadow, the batch of
// line records sent with one driver call, and each link's own device handle.

#include <cstdint>
#include <mutex>
#include <vector>

#include "gantrel/gantrel.h"

namespace gantrel {

inline constexpr std::size_t kBdmBatchCapacity = 100;
inline constexpr std::int32_t kBdmOpWrite = 4;
inline constexpr std::int32_t kBdmOpRead = 1;
inline constexpr std::int32_t kBdmOpClear = 42;
inline constexpr std::uint8_t kBdmBitClock = 0x01;  // BKPT/DSCLK
inline constexpr std::uint8_t kBdmBitDsi = 0x02;
inline constexpr std::uint8_t kBdmBitReset = 0x04;
inline constexpr std::int32_t kBdmDso = 0x40;
inline constexpr std::int32_t kBdmFrozen = 0x80;

// One link's open driver device.
class BdmDevice {
 public:
  ~BdmDevice();
  // Opens \\.\WRTdev<port>; false for a port above 3 or a failed open.
  bool Open(int port);
  int handle() const { return handle_; }

 private:
  int handle_ = -1;
};

// The library-wide line state: shadow, batch, and the device the line calls use.
class BdmLines {
 public:
  void UseDevice(int handle);
  void ForgetDevice(int handle);

  void ChangeShadow(std::uint8_t set, std::uint8_t clear);
  int AppendRead();
  int Send(bool gather, std::uint32_t* bits);
  // One record sent on its own: the data word it returns, or -1.
  int Single(std::int32_t op, std::int32_t data);

  std::uint8_t shadow() const { return shadow_; }
  void Reset();

 private:
  void Append(const BdmOp& op);
  bool SendBatch();

  std::mutex lock_;
  int handle_ = -1;
  std::vector<int> open_;  // devices of open links, in connect order
  std::uint8_t shadow_ = 0;
  std::vector<BdmOp> batch_;
  // DSO reads of batches sent early because they were full, in order.
  std::vector<bool> gathered_;
};

BdmLines& Bdm();

}  // namespace gantrel
