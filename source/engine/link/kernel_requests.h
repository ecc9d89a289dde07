#pragma once
// The flashing kernel's requests that opening the kernel link and asking
// for error details use: one small function per request with its byte
// layout in view, and the poll counts and retries each is sent with.
// A reply carries a status byte at offset 2 that is 0 on success.

#include <cstdint>
#include <vector>

using KernelRequest = std::vector<std::uint8_t>;

// 03 04 01: target name query; also the kernel probe. The reply begins
// 03 84, status, then the zero-terminated name from offset 4.
inline KernelRequest TargetNameRequest() { return {0x03, 0x04, 0x01}; }
// 03 03: the status word and its detail bytes (reply [3..4], [5..]).
inline KernelRequest StatusRequest() { return {0x03, 0x03}; }
// 05 00 00 code: working speed 0 = 115200, 1 = 230400, 2 = 460800; no reply.
KernelRequest SpeedSwitchRequest(int baudRate);

inline constexpr std::size_t kReplyStatusOffset = 2;
inline constexpr std::uint8_t kNameReplyGroup = 0x03;
inline constexpr std::uint8_t kNameReplyOpcode = 0x84;
inline constexpr std::size_t kStatusWordOffset = 3;
inline constexpr std::size_t kStatusDetailOffset = 5;

inline constexpr int kProbePolls = 400;
inline constexpr int kProbeRetries = 10;
inline constexpr int kStatusPolls = 500;
inline constexpr int kStatusRetries = 3;
inline constexpr int kSpeedSwitchRetries = 3;

// The largest reply any kernel request of the device operations reads:
// a read block reply of 1024 data bytes and its header, with room.
inline constexpr std::size_t kKernelReplyCapacity = 4096;
