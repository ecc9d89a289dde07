#pragma once
// The answers a message box or a prompt returns (the system's own result
// codes), one name for each whichever thread asked.

enum AnswerCode : int {
  kAnswerOk = 1,
  kAnswerCancel = 2,
  kAnswerAbort = 3,
  kAnswerRetry = 4,
  kAnswerYes = 6,
  kAnswerNo = 7,
};
