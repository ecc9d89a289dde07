#pragma once
// A request to ask the user, posted with WM_USER_PROMPT to the user-I/O
// thread, which frees it and, when a reply is wanted, posts the result with
// WM_PROMPT_REPLY to the reply target.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "engine/core/device_number.h"

class CPackManager;
struct OrvixReadBackRange;
struct ReadBackPayload;
struct SectorList;

// The asker's own record that a dialog fills when it is answered with OK:
// the erase sectors (kind 0), the read-back job (kind 1) or the GPS-chip
// read-back range (kind 3). The asker keeps it and reads it only after
// WM_PROMPT_REPLY; a record of another type than the kind's is left alone.
using PromptAskerRecord = std::variant<std::monostate, SectorList*, ReadBackPayload*, OrvixReadBackRange*>;

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

  // The record the dialog fills; none for most kinds.
  PromptAskerRecord askerRecord{};
};
