#pragma once
// Payloads made and freed by the platform layer itself, for a library that
// may be unloaded while a message it posted still waits in a queue: the
// payload's deleter and type record live here, in code that stays loaded,
// not in the library.

#include <cstddef>
#include <string>

#include "platform/message.h"

namespace platform {

// A std::string payload (Take<std::string> gives it back).
OwnedPayload LastingText(std::string text);

// A copy of `size` bytes; `address` is where the copy's bytes are (the
// message's lParam for a record passed by address).
OwnedPayload LastingCopy(const void* bytes, std::size_t size, LParam& address);

}  // namespace platform
