#pragma once
// What the program answers before it needs a display: the usage (--help,
// -h, /?) and the version (--version), and the refusal to start when there
// is no display to show the window on. Nothing here creates a file.

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The text that --help prints.
extern const char* const kProgramUsage;
// The line that --version prints.
std::string ProgramVersionLine();

// What the program does with its arguments before the window system starts.
struct EarlyAnswer {
  int exitCode = 0;
  std::string out;  // for standard output
  std::string err;  // for standard error
};

// Looks an environment variable up; empty when unset.
using EnvironmentLookup = std::function<std::string(const char* name)>;
std::string ProcessEnvironment(const char* name);

// The arguments without the program's name. nullopt: start as usual.
std::optional<EarlyAnswer> AnswerEarlySwitches(const std::vector<std::string>& arguments,
                                               const EnvironmentLookup& environment = ProcessEnvironment);
