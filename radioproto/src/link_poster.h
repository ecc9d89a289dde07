#pragma once
// Posting received data and line status to an application's window. Each
// message carries its own copy of the bytes: lParam points into that copy,
// which the message owns and frees.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gantrel {

// Posts WM_LINK_DATA with wParam (length << 16) | id; false when the window
// is 0 or gone.
bool PostLinkData(std::int32_t window, std::uint16_t id, const std::uint8_t* data, std::size_t length);
// Posts the 3-byte line status F0 F0 <state>.
bool PostLineStatus(std::int32_t window, std::uint16_t id, std::uint8_t state);
// The window for bisync and UDP deliveries of a slot.
std::int32_t MessageWindowOf(std::uint16_t id);

}  // namespace gantrel
