#pragma once
// Operations that rewrite flash through flashpacks or several images need
// auto erase: when it is off, an interactive request asks the user to turn
// it on.

#include "shell/requests/prompt_asker.h"

// Returns when auto erase is on, or when the user (asked only when
// interactive) agreed to turn it on, which sets the option. Otherwise logs
// "Error> Auto erase must be enabled to perform this operation" and throws
// QUILLON_ERROR.
void RequireAutoErase(IPromptAsker& asker, bool interactive);
