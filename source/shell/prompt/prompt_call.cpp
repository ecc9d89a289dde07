#include "shell/prompt/prompt_call.h"

#include "engine/prompt/prompt_service.h"

int DefaultAnswerFor(const PromptCall& call) {
  if (!call.IsMessageBox()) return kAnswerCancel;
  switch (call.style & kStyleButtonsMask) {
    case kStyleOk: return kAnswerOk;
    case kStyleAbortRetryIgnore: return kAnswerAbort;
    case kStyleYesNo: return kAnswerNo;
    default: return kAnswerCancel;
  }
}
