#pragma once
// A request to ask the user, posted with WM_USER_PROMPT to the user-I/O
// thread, which frees it and, when a reply is wanted, posts the result with
// WM_PROMPT_REPLY to the reply target.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/core/device_number.h"

class CPackManager;

// The two prompt kinds that the engine builds: an error box (reply target 1,
// no reply) and a retry/cancel box (reply target 1, with a reply).
inline constexpr std::int32_t PROMPT_ERROR = 9;
inline constexpr std::int32_t PROMPT_RETRY_CANCEL = 10;

struct PromptRequest {
  std::int32_t kind = 0;
  std::int32_t replyTarget = 0;  // PostTarget that receives WM_PROMPT_REPLY
  std::int32_t wantReply = 0;    // 1: post the result back

  // Set for the FlashPack Manager prompt of one device (kind 2): a share of
  // that device's pack set, held so that a later extract on the core thread
  // cannot free it under the dialog.
  struct FlashpackManagerTarget {
    std::shared_ptr<CPackManager> packs;
    DeviceNumber device{};
  };
  std::optional<FlashpackManagerTarget> flashpackManager;

  // What the prompt is about, when the asker names it: the image file whose
  // sectors the erase dialog asks for (its title names it). Empty for none.
  std::string subject{};

  // An error box's own text, when the asker has more to say than its log
  // line (which file, what to do). Empty: the log's last error line.
  std::string boxText{};
};
