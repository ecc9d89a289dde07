#pragma once
// The seam between the pre-processing thread and the script interpreter
// that runs on it. The thread hands script files and remote lines to a
// runner; the runner reaches back to the thread through the host for what
// the script commands need: the two request flags, asking the user, waiting
// for a reply message, and the flashpack manager of the last extract.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/message.h"
#include "shell/requests/prompt_asker.h"

class CPackManager;

class IPreprocessingHost {
 public:
  virtual ~IPreprocessingHost() = default;
  // 1 when the user may be asked (a script file from the menu), 0 while a
  // remote line runs; copied into the interactive flag of script jobs.
  virtual int Interactive() const = 0;
  // 1 normally, 0 while a remote line runs; flag A of script jobs.
  virtual int SecondRequest() const = 0;
  // Asks the user through the user-I/O thread and waits for the answer.
  virtual IPromptAsker& Asker() = 0;
  // Takes exactly one message of the number from the thread's own queue,
  // waiting for it; every other message stays queued in order. Empty when
  // the queue closed while waiting.
  virtual std::optional<platform::Message> WaitForReply(std::uint32_t number) = 0;
  // The flashpack manager of the device whose extract ended last; null when
  // none has ended since start.
  virtual CPackManager* FlashpackManager() const = 0;
};

class IScriptRunner {
 public:
  virtual ~IScriptRunner() = default;
  // Runs the script file; throws QUILLON_ERROR when a line fails (the line
  // has logged why).
  virtual void RunScript(const std::string& path) = 0;
  // Splits one remote-control line and runs its command; throws
  // QUILLON_ERROR when it fails.
  virtual void RunRemoteLine(const std::string& line) = 0;
};

// Builds the runner of a thread; called once on the thread when it starts.
using ScriptRunnerFactory = std::function<std::unique_ptr<IScriptRunner>(IPreprocessingHost& host)>;
