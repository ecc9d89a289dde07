#include "shell/script/script_error.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/quillon_exception.h"

void PostScriptLogLine(const std::string& line) {
  PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::make_unique<std::string>(line));
}

void FailScript(const std::string& line) {
  PostScriptLogLine(line);
  throw QUILLON_ERROR;
}
