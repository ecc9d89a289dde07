#pragma once
// The shell's prompt service: every message box and dialog that a worker
// thread asks for goes through one service, the Qt one in the program or a
// scripted one for runs without a user. A prompt is begun and answered
// later, so the asking thread may go on with its own queue while the prompt
// is open.

#include <functional>
#include <memory>

#include "shell/prompt/prompt_call.h"

class IShellPromptService {
 public:
  using Done = std::function<void(int result)>;

  virtual ~IShellPromptService() = default;
  // Shows the prompt; `done` is called exactly once with the result
  // (1 OK, 2 Cancel, 3 Abort, 4 Retry, 6 Yes, 7 No), from any thread,
  // possibly before Begin returns. The call stays alive until then.
  virtual void Begin(std::shared_ptr<PromptCall> call, Done done) = 0;
  // Answers every open prompt and every later one with the answer at once,
  // so that no thread waits on a box while the program ends.
  virtual void Shutdown(int answer) = 0;
};

// The service that the shell's threads use; null until the program (or a
// test) installs one. Returns the one it replaces.
std::shared_ptr<IShellPromptService> SetShellPromptService(std::shared_ptr<IShellPromptService> service);
std::shared_ptr<IShellPromptService> GetShellPromptService();

// Shows the prompt and blocks until it is answered. Without a service the
// default answer is given at once.
int ShowPromptAndWait(const std::shared_ptr<IShellPromptService>& service, std::shared_ptr<PromptCall> call);
