#include "engine/core/log_line.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"

void PostLogLine(std::string text) {
  PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::make_unique<std::string>(std::move(text)));
}
