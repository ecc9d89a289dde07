#pragma once
// Opens the FlashPack Manager for the device whose flashpack extract ended.

#include "engine/core/flashpack_status_record.h"

// Posts the FlashPack Manager prompt with the device's manager to the
// user-I/O thread; no answer is wanted.
void PostFlashpackManagerPrompt(const FlashpackStatusRecord& record);
