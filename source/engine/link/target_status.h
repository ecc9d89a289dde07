#pragma once
// Decoding the flashing kernel's status word (the reply to the status
// request 03 03) into an engine error code and the error details.

#include <cstdint>
#include <span>

#include "engine/core/error_details.h"

// Clears the details, fills those that the status word carries from the
// detail bytes (big-endian, in order) and returns the engine error code.
// Detail bytes that the reply lacks read as zero.
int DecodeTargetStatus(std::uint16_t statusWord, std::span<const std::uint8_t> detailBytes,
                       ErrorDetails& details);
