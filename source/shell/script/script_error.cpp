#include "shell/script/script_error.h"

#include "engine/quillon_exception.h"
#include "shell/log/post_log_line.h"

void FailScript(const std::string& line) {
  PostLogLine(line);
  throw QUILLON_ERROR;
}
