#pragma once
// The prompts that the user-I/O thread shows for WM_USER_PROMPT, and the
// records that some of them fill or take.
//
// The message carries the PromptRequest as its payload. Kinds 0, 1 and 3
// fill a record of the asker: its address travels in lParam, the asker keeps
// it and reads it after WM_PROMPT_REPLY. Kind 2 is posted with a
// FlashpackManagerPrompt as payload instead, which the prompt frees.

#include <cstdint>
#include <memory>

#include "engine/core/device_number.h"
#include "engine/core/prompt_request.h"

using PromptKind = std::int32_t;

inline constexpr PromptKind PROMPT_ERASE_SECTORS = 0;          // lParam: SectorList* of the asker
inline constexpr PromptKind PROMPT_REVERSE_FLASH_SECTORS = 1;  // lParam: ReadBackPayload* of the asker
inline constexpr PromptKind PROMPT_FLASHPACK_MANAGER = 2;      // payload: FlashpackManagerPrompt
inline constexpr PromptKind PROMPT_ORVIX_REVERSE_FLASH = 3;    // lParam: OrvixReadBackRange* of the asker
inline constexpr PromptKind PROMPT_OPTIONS = 4;
inline constexpr PromptKind PROMPT_ORVIX_OPTIONS = 5;
inline constexpr PromptKind PROMPT_ABOUT = 6;
inline constexpr PromptKind PROMPT_ERROR_REPORT = 7;
inline constexpr PromptKind PROMPT_ENABLE_AUTO_ERASE = 8;
// PROMPT_ERROR (9) and PROMPT_RETRY_CANCEL (10) come with PromptRequest.
inline constexpr PromptKind PROMPT_COMPLETE = 11;
inline constexpr PromptKind PROMPT_RERUN_SCRIPT = 12;

inline constexpr PromptKind kPromptKindCount = 13;

static_assert(PROMPT_ERROR == 9 && PROMPT_RETRY_CANCEL == 10);

class CPackManager;

// Kind 3's record: the GPS-chip read-back range that the dialog fills
// (the read base stays as the asker set it).
struct OrvixReadBackRange {
  std::uint32_t beginAddress = 0;
  std::uint32_t readBase = 0;
  std::uint32_t endAddress = 0;
  std::uint8_t recordLength = 0;
};

// Kind 2's payload: the request with the device's pack set, held so that a
// later extract on the core thread cannot free it under the dialog.
struct FlashpackManagerPrompt {
  PromptRequest request;
  std::shared_ptr<CPackManager> packs;
  DeviceNumber device{};
};
