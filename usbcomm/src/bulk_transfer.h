#pragma once
// Bulk and command transfers through the driver's read and write calls,
// run without the library's lock. Everything a transfer needs is copied
// from the library's state before it starts.

#include <cstdint>

#include "pst_driver.h"

namespace pellwick {

inline constexpr int kPipeBulk = 2;
inline constexpr int kPipeCommand = 4;
inline constexpr std::uint32_t kCommandHeaderSize = 8;
inline constexpr std::uint32_t kZeroLengthReadTimeoutMs = 100;

struct TransferContext {
  PstFunctions::Transfer read = nullptr;
  PstFunctions::WriteTransfer write = nullptr;
  std::uint16_t device = 0;
  int handle = 0;
  int protocol = 0;
  std::int16_t writeEpSize = 0;
  std::int16_t readEpSize = 0;
  std::uint32_t maxBulkSize = 0;
};

// Protocols 5 and 6 end a transfer that fills whole endpoint packets with a
// zero-length packet. An endpoint size below 1 never asks for one.
bool EndsWithZeroLengthPacket(int protocol, std::uint32_t length, std::int16_t epSize);

int BulkRead(const TransferContext& t, void* buffer, int* length, std::uint32_t timeoutMs);
int BulkWrite(const TransferContext& t, const void* buffer, std::uint32_t* length, std::uint32_t timeoutMs);
int CommandRead(const TransferContext& t, const void* header, void* destination, std::uint32_t* length,
                std::uint32_t timeoutMs);
int CommandWrite(const TransferContext& t, const void* buffer, std::uint32_t* length, std::uint32_t timeoutMs);

}  // namespace pellwick
