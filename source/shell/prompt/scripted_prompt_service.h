#pragma once
// A prompt service for runs without a user (tests, benchmarks, headless
// runs of the program): each prompt is recorded with its kind, caption and
// text and answered at once with the next preset answer; once the answers
// are used up, with the prompt's default answer.
//
// The program chooses it when QUILLON_PROMPTS names an answer file: one
// answer per line, as a number (1, 2, 3, 4, 6, 7) or a word (OK, Cancel,
// Abort, Retry, Yes, No, any letter case); blank lines and lines starting
// with "#" are skipped. When QUILLON_PROMPTS_RECORD names a file, every
// prompt is also appended there as one line "kind<TAB>caption<TAB>text<TAB>
// answer", with CR, LF and tab in the texts written as \r, \n and \t.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "shell/prompt/shell_prompt_service.h"


class CScriptedShellPromptService : public IShellPromptService {
 public:
  struct Shown {
    PromptKind kind;
    std::string caption;
    std::string text;
    std::uint32_t style;
    int answer;
    std::string firstButton{};   // the buttons' own names, when the call gave them
    std::string secondButton{};
  };
  // Fills a dialog's values before it is answered (as a user would).
  using DialogFiller = std::function<void(PromptCall&)>;

  CScriptedShellPromptService() = default;
  explicit CScriptedShellPromptService(std::vector<int> answers, std::string recordPath = {});

  // The service that QUILLON_PROMPTS asks for, or null when it is not set.
  // An answer file that cannot be read gives a service without answers.
  static std::shared_ptr<CScriptedShellPromptService> FromEnvironment();
  // Parses an answer file's text; nullopt (with the bad line) on a line
  // that is no answer.
  static std::optional<std::vector<int>> ParseAnswers(const std::string& text, std::string* badLine = nullptr);

  void Script(int answer);
  void SetDialogFiller(DialogFiller filler);

  void Begin(std::shared_ptr<PromptCall> call, Done done) override;
  void Shutdown(int answer) override;

  std::vector<Shown> Prompts() const;
  // Waits until at least count prompts were shown or the time-out passes.
  bool WaitForPrompts(std::size_t count, std::chrono::milliseconds timeout) const;

  // One record line as QUILLON_PROMPTS_RECORD receives it (without line end).
  static std::string RecordLine(const Shown& shown);

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable shownSignal_;
  std::deque<int> answers_;
  std::vector<Shown> shown_;
  DialogFiller filler_;
  std::string recordPath_;
  std::optional<int> shutdownAnswer_;
};
