#pragma once
// A prompt service for runs without a user: every box is recorded with its
// text and buttons and answered from a script of answers in order, then
// with the default answer once the script is used up.

#include <condition_variable>
#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "engine/prompt/prompt_service.h"

class CScriptedPromptService : public IPromptService {
 public:
  struct Shown {
    std::string text;
    std::uint32_t buttons;
  };

  explicit CScriptedPromptService(int defaultAnswer = kAnswerOk) : defaultAnswer_(defaultAnswer) {}

  // Queues the answer for the next box not yet answered.
  void Script(int answer);
  int ShowMessageBox(const std::string& text, std::uint32_t buttons) override;

  std::vector<Shown> Boxes() const;
  // Waits until at least `count` boxes were shown or the time-out passes.
  bool WaitForBoxes(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable shown_;
  std::deque<int> script_;
  std::vector<Shown> boxes_;
  int defaultAnswer_;
};
