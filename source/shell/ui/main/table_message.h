#pragma once
// The command and grid tables name their messages by number at run time;
// every one of them carries plain integers only.

#include <cstdint>

#include "engine/core/post_target.h"
#include "platform/message.h"

inline int PostTableMessage(std::int32_t target, std::uint32_t number, platform::WParam wParam) {
  return PostToTarget(target, platform::Message(number, wParam, 0));
}
