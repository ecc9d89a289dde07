#pragma once
// The sizes of the standard USB descriptors that the descriptor parser
// reads: the device and configuration descriptors have exactly their
// length, an interface or endpoint descriptor at least its length (class
// data may follow in the same descriptor).

#include <cstddef>
#include <cstdint>

namespace kovrin {

inline constexpr std::size_t kDeviceDescriptorLength = 18;
inline constexpr std::size_t kConfigurationLength = 9;
inline constexpr std::size_t kInterfaceLength = 9;
inline constexpr std::size_t kEndpointLength = 7;

// The bits of an endpoint's wMaxPacketSize that give the packet size; the
// bits above them count extra transactions.
inline constexpr std::uint16_t kMaxPacketSizeMask = 0x07FF;

}  // namespace kovrin
