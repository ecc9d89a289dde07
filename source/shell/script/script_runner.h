#pragma once
// The script runner that the pre-processing thread runs its script files
// and remote lines with: the script interpreter over the thread's host.
// Hand MakeScriptRunnerFactory(...) to the thread's services.

#include <functional>
#include <memory>
#include <string>

#include "shell/preproc/script_runner.h"

// expandShortcut gives the target of a shortcut, or the path itself; empty
// keeps every path as it is.
ScriptRunnerFactory MakeScriptRunnerFactory(std::function<std::string(const std::string&)> expandShortcut = {});
