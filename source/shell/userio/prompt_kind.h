#pragma once
// The prompts that the user-I/O thread shows for WM_USER_PROMPT, and the
// records that some of them fill or take.
//
// The message carries the PromptRequest as its payload. Kinds 0, 1 and 3
// fill a record of the asker named in the request's askerRecord; the asker
// keeps it and reads it after WM_PROMPT_REPLY. Kind 2 for a device names that
// device's pack manager in the request's flashpackManager.

#include <cstdint>
#include <memory>

#include "engine/core/device_number.h"
#include "engine/core/orvix_read_back_range.h"
#include "engine/core/prompt_request.h"

using PromptKind = std::int32_t;

inline constexpr PromptKind PROMPT_ERASE_SECTORS = 0;          // askerRecord: SectorList* of the asker
inline constexpr PromptKind PROMPT_REVERSE_FLASH_SECTORS = 1;  // askerRecord: ReadBackPayload* of the asker
inline constexpr PromptKind PROMPT_FLASHPACK_MANAGER = 2;      // request's flashpackManager set for a device
inline constexpr PromptKind PROMPT_ORVIX_REVERSE_FLASH = 3;    // askerRecord: OrvixReadBackRange* of the asker
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

