// FLASHPACK_GET_DETAILS and FLASHPACK_GET_STATS: replies read from the pack
// set of the last extract, held by a share while they are read.

#include "shell/script/flashpack_replies.h"
#include "shell/script/script_error.h"
#include "shell/script/script_interpreter.h"

std::shared_ptr<CPackManager> CScriptInterpreter::RequirePackManager() {
  std::shared_ptr<CPackManager> packs = context_.SharePackManager();
  if (!packs) {
    SendRemoteReply("\"Error> Flashpacks not extracted\"");
    FailScript("Error> Flashpacks not extracted");
  }
  return packs;
}

void CScriptInterpreter::OnFlashpackGetDetails(const ScriptTokens&) {
  std::shared_ptr<CPackManager> packs = RequirePackManager();
  SendRemoteReply("\"" + FlashpackDetailsLine(*packs) + "\"");
}

void CScriptInterpreter::OnFlashpackGetStats(const ScriptTokens&) {
  std::shared_ptr<CPackManager> packs = RequirePackManager();
  SendRemoteReply("\"" + FlashpackStatsLine(*packs) + "\"");
}
