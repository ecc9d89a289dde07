#pragma once
// The script runner that the pre-processing thread runs its script files
// and remote lines with: the script interpreter over the thread's host.
// Hand MakeScriptRunnerFactory(...) to the thread's services.

#if __has_include("shell/preproc/script_runner.h") && __has_include("shell/userio/query_request.h")
#define QUILLON_HAS_SCRIPT_RUNNER 1

#include <functional>
#include <memory>
#include <string>

#include "shell/preproc/script_runner.h"

// expandShortcut gives the target of a shortcut, or the path itself; empty
// keeps every path as it is.
ScriptRunnerFactory MakeScriptRunnerFactory(std::function<std::string(const std::string&)> expandShortcut = {});

#endif
