#pragma once
// The prompt service of a run where no one can answer (the program on the
// offscreen or minimal platform, with no display to show a box on): no box
// is shown and nothing waits. Each prompt's text goes to standard error and
// to the log (unless it already is the log's last error line, as an error
// box's text is), and the prompt takes its safe answer at once: OK for a
// box with only OK, Abort, No or Cancel for a question, Cancel for a dialog.

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "shell/prompt/shell_prompt_service.h"

class CUnattendedPromptService : public IShellPromptService {
 public:
  struct Outlets {
    // Writes one line to the log (the program posts it to the user-I/O thread).
    std::function<void(const std::string&)> log;
    // The log's last error line as an error box shows it; empty without a log.
    std::function<std::string()> lastLogError;
    // Writes the text to standard error.
    std::function<void(const std::string&)> standardError;
  };

  explicit CUnattendedPromptService(Outlets outlets);

  void Begin(std::shared_ptr<PromptCall> call, Done done) override;
  void Shutdown(int answer) override;

  // True for a window-system platform that shows nothing to anyone.
  static bool NoOneCanAnswerOn(const std::string& platformName);
  // The log line and the standard-error line of a prompt answered unseen.
  static std::string LogLineFor(const PromptCall& call, int answer);
  static std::string StandardErrorLineFor(const PromptCall& call, int answer);

 private:
  std::mutex mutex_;
  Outlets outlets_;
};
