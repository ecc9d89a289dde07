#pragma once
// Posting to the user-I/O thread from anywhere in the shell: a log line,
// and the error box that shows the last error line of the log.

#include "engine/core/log_line.h"

// Posts PROMPT_ERROR {9, reply-to the user-I/O thread, no reply}; the box
// shows the last "Error>" line of the log, so post that line first.
void PostErrorPrompt();
