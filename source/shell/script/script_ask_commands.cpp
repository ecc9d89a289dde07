// The script commands that ask the user-I/O thread or hand a request to
// another thread, and RUN_SCRIPT.

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/status_report.h"
#include "engine/quillon_exception.h"
#include "shell/script/script_error.h"
#include "shell/script/script_interpreter.h"
#include "shell/userio/query_request.h"

namespace {

std::string Argument(const ScriptTokens& tokens, std::size_t index) {
  return index < tokens.size() ? tokens[index] : std::string();
}

void PostScriptRunStatus(StatusReportState state, const char* text) {
  auto report = std::make_unique<StatusReport>();
  report->state = state;
  report->text = text;
  report->lineWork = true;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
}

// A script run is work of its line: BUSY from its start, and its end (well
// or not: a failure sets ERROR just after) ends that BUSY unless queued
// work still runs.
class ScriptRunStatus {
 public:
  ScriptRunStatus() { PostScriptRunStatus(STATUS_BUSY, "Running script"); }
  ~ScriptRunStatus() { PostScriptRunStatus(STATUS_DONE, "Processing Complete"); }
  ScriptRunStatus(const ScriptRunStatus&) = delete;
  ScriptRunStatus& operator=(const ScriptRunStatus&) = delete;
};

}  // namespace

void CScriptInterpreter::AskQuery(std::int32_t kind, const std::string& argument, std::int32_t wantReply) {
  if (!context_.PostQuery(kind, argument, wantReply)) throw QUILLON_ERROR;
  std::optional<platform::Message> reply = context_.WaitForReply(WM_QUERY_REPLY);
  if (!reply) throw QUILLON_ERROR;
  if (auto answer = reply->Take<WM_QUERY_REPLY>()) SendRemoteReply(*answer);
}

void CScriptInterpreter::AwaitOptionsReply(int posted, std::uint32_t reply) {
  if (!posted) throw QUILLON_ERROR;
  std::optional<platform::Message> answer = context_.WaitForReply(reply);
  // The user-I/O thread has logged why it refused.
  if (!answer || answer->wParam == 0) throw QUILLON_ERROR;
}

void CScriptInterpreter::OnSet(const ScriptTokens& tokens) {
  auto pairs = std::make_unique<std::vector<std::string>>(tokens.begin() + 1, tokens.end());
  AwaitOptionsReply(PostToTarget<WM_SET_OPTION>(PT_USER_IO, std::move(pairs)), WM_SET_OPTION_REPLY);
}

void CScriptInterpreter::OnSaveOptions(const ScriptTokens&) {
  AwaitOptionsReply(PostToTarget<WM_SAVE_OPTIONS>(PT_USER_IO), WM_SAVE_OPTIONS_REPLY);
}

void CScriptInterpreter::OnRestoreOptions(const ScriptTokens&) {
  AwaitOptionsReply(PostToTarget<WM_RESTORE_OPTIONS>(PT_USER_IO), WM_RESTORE_OPTIONS_REPLY);
}

void CScriptInterpreter::OnDirectory(const ScriptTokens& tokens) {
  const std::string directory = Argument(tokens, 1);
  AskQuery(QUERY_DIRECTORY, directory, directory.empty() ? 1 : 0);
}

void CScriptInterpreter::OnListFiles(const ScriptTokens& tokens) { AskQuery(QUERY_LIST_FILES, Argument(tokens, 1), 1); }

void CScriptInterpreter::OnListProductTags(const ScriptTokens&) { AskQuery(QUERY_LIST_PRODUCT_TAGS, "", 1); }

void CScriptInterpreter::OnGetFlashDetails(const ScriptTokens&) { AskQuery(QUERY_FLASH_DETAILS, "", 1); }

void CScriptInterpreter::OnStatus(const ScriptTokens& tokens) { AskQuery(QUERY_STATUS, Argument(tokens, 1), 1); }

void CScriptInterpreter::OnDelete(const ScriptTokens& tokens) {
  if (tokens.size() < 2) FailScript("Error> DELETE command missing filename");
  AskQuery(QUERY_DELETE, tokens[1], 0);
}

void CScriptInterpreter::OnDownloadLatestProducts(const ScriptTokens&) {
  PostToTarget<WM_DOWNLOAD_PRODUCT_FILES>(PT_USER_IO, /*fromScript=*/1);
}

void CScriptInterpreter::OnRunScript(const ScriptTokens& tokens) {
  if (tokens.size() < 2) FailScript("Error> RUN_SCRIPT command missing filename");
  ScriptRunStatus status;
  RunScript(tokens[1]);
}

void CScriptInterpreter::OnTransferFile(const ScriptTokens& tokens) {
  if (tokens.size() < 5) FailScript("Error> TRANSFER_FILE command incomplete");
  auto arguments = std::make_unique<std::vector<std::string>>(tokens.begin() + 1, tokens.begin() + 5);
  PostToTarget<WM_FILE_TRANSFER>(PT_REMOTE_IO, std::move(arguments));
}
