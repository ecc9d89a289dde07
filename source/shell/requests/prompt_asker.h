#pragma once
// Asking the user from a worker thread: the question goes to the user-I/O
// thread as a prompt request, and the asking thread blocks until exactly one
// WM_PROMPT_REPLY arrives in its own queue; every other message stays queued
// in order behind it.

#include <cstdint>
#include <string>

#include "engine/prompt/prompt_answer.h"
#include "engine/core/prompt_request.h"

namespace platform {
class MessageQueue;
}

class IPromptAsker {
 public:
  virtual ~IPromptAsker() = default;
  // Shows the prompt of the kind and returns its answer. The record (none
  // by default) is the asker's: the prompt fills it while this call waits,
  // and it may be read once the call has returned.
  // The subject (empty for none) names what the prompt is about, a file
  // for the sector dialog; the dialog's title shows it.
  virtual int AskAndWait(std::int32_t kind, PromptAskerRecord record, const std::string& subject) = 0;
  int AskAndWait(std::int32_t kind, PromptAskerRecord record = {}) { return AskAndWait(kind, record, std::string()); }
};

// Asks through the user-I/O thread and waits on the asking thread's own
// queue. When nobody can be asked (the user-I/O thread is not there, or the
// asking thread's queue closes while it waits) the answer is abort (3).
class CQueuePromptAsker : public IPromptAsker {
 public:
  CQueuePromptAsker(platform::MessageQueue& ownQueue, std::int32_t replyTarget)
      : ownQueue_(ownQueue), replyTarget_(replyTarget) {}

  using IPromptAsker::AskAndWait;
  int AskAndWait(std::int32_t kind, PromptAskerRecord record, const std::string& subject) override;

 private:
  platform::MessageQueue& ownQueue_;
  std::int32_t replyTarget_;
};
