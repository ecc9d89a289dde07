#pragma once
// The library's result codes as C++ constants (the exported enumeration is
// GANTREL_RC in gantrel.h).

#include "gantrel/gantrel.h"

namespace gantrel {

inline constexpr int kOk = GANTREL_RC_SUCCESS;
inline constexpr int kMaxApps = GANTREL_MAX_APPS;
inline constexpr int kMaxTimeout = 3600;

// The low and high parts of the connect word.
inline std::uint16_t ConnectId(std::uint32_t word) { return static_cast<std::uint16_t>(word >> 16); }
inline std::uint8_t ConnectType(std::uint32_t word) { return static_cast<std::uint8_t>(word >> 8); }
inline std::uint8_t ConnectPort(std::uint32_t word) { return static_cast<std::uint8_t>(word); }

}  // namespace gantrel
