#pragma once
// WM_REVERSE_FLASH's wParam: 0 is the read-back that Flash Software starts
// with (the sectors its update check needs, into "rev_flash.s19"); the
// user's own Reverse Flash asks what to read and where to save it.

#include "platform/message.h"

inline constexpr platform::WParam kUpdateReadBackRequest = 0;
inline constexpr platform::WParam kChosenReadBackRequest = 1;
