#pragma once
// The SET command: validates a script's or remote client's option changes,
// pair by pair, before they reach the shared settings.

#include <functional>
#include <string>

#include "shell/userio/set_option_tokens.h"

class CAppSettings;

struct SetOptionContext {
  CAppSettings& settings;
  std::string workingDirectory;  // ends with "/"; the product files lie here
  // Loads the product file and tag just stored in the settings; throws
  // (after logging why) when it cannot, and the selection is then undone.
  std::function<void()> readProductFile;
  // Writes the configuration file; throws the application's exception when
  // it fails.
  std::function<void()> writeConfiguration;
};

// Applies every pair in order, then writes the configuration file. The
// first bad pair logs its error line and ends the command: the pairs before
// it stay applied but are not written. True on success.
bool ApplySetOption(const SetOptionTokens& tokens, SetOptionContext& context);
