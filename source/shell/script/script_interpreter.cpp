#include "shell/script/script_interpreter.h"

#include <fstream>
#include <filesystem>

#include "engine/quillon_exception.h"
#include "engine/core/job_kind_table.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/log/post_log_line.h"
#include "shell/script/script_error.h"
#include "shell/text/upper_case.h"

namespace {

// Counts one level of RUN_SCRIPT nesting for as long as a script runs.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

void SendRemoteReply(const std::string& line) {
  PostToTarget<WM_REMOTE_SEND>(PT_REMOTE_IO, std::make_unique<std::string>(line));
}

const std::vector<CScriptInterpreter::Command>& CScriptInterpreter::Commands() {
  // Compared in this order; the first equal word runs. A command that queues
  // a job takes its word from the table of job kinds.
  static const std::vector<Command> commands = {
      {ScriptWordOf(WM_FLASH), &CScriptInterpreter::OnFlash},
      {ScriptWordOf(WM_ERASE), &CScriptInterpreter::OnErase},
      {ScriptWordOf(WM_REVERSE_FLASH), &CScriptInterpreter::OnReverseFlash},
      {ScriptWordOf(WM_ORVIX_FLASH), &CScriptInterpreter::OnOrvixFlash},
      {ScriptWordOf(WM_ORVIX_ERASE), &CScriptInterpreter::OnOrvixErase},
      {ScriptWordOf(WM_ORVIX_REVERSE_FLASH), &CScriptInterpreter::OnOrvixReverseFlash},
      {ScriptWordOf(WM_PROGRAM_MAGIC_KEY), &CScriptInterpreter::OnProgramMagicKey},
      {ScriptWordOf(WM_COMM_CHECK), &CScriptInterpreter::OnCommCheck},
      {ScriptWordOf(WM_RESET_TARGET), &CScriptInterpreter::OnResetTarget},
      {"SET", &CScriptInterpreter::OnSet},
      {"SAVE_OPTIONS", &CScriptInterpreter::OnSaveOptions},
      {"RESTORE_OPTIONS", &CScriptInterpreter::OnRestoreOptions},
      {ScriptWordOf(WM_SHUTDOWN), &CScriptInterpreter::OnTerminateApp},
      {"DIRECTORY", &CScriptInterpreter::OnDirectory},
      {"LIST_FILES", &CScriptInterpreter::OnListFiles},
      {"LIST_PRODUCT_TAGS", &CScriptInterpreter::OnListProductTags},
      {"GET_FLASH_DETAILS", &CScriptInterpreter::OnGetFlashDetails},
      {"DOWNLOAD_LATEST_QLPS", &CScriptInterpreter::OnDownloadLatestProducts},
      {"STATUS", &CScriptInterpreter::OnStatus},
      {ScriptWordOf(WM_DELETE_FILE), &CScriptInterpreter::OnDelete},
      {"RUN_SCRIPT", &CScriptInterpreter::OnRunScript},
      {ScriptWordOf(WM_REMOTE_FILE_TRANSFER), &CScriptInterpreter::OnTransferFile},
      {ScriptWordOf(WM_RAM_DUMP), &CScriptInterpreter::OnDumpRam},
      {ScriptWordOf(WM_FLASHPACK_EXTRACT), &CScriptInterpreter::OnFlashpackExtract},
      {ScriptWordOf(WM_FLASHPACK_ADD), &CScriptInterpreter::OnFlashpackAdd},
      {ScriptWordOf(WM_FLASHPACK_REMOVE), &CScriptInterpreter::OnFlashpackDelete},
      {"FLASHPACK_GET_DETAILS", &CScriptInterpreter::OnFlashpackGetDetails},
      {"FLASHPACK_GET_STATS", &CScriptInterpreter::OnFlashpackGetStats},
      {ScriptWordOf(WM_FLASHPACK_UPDATE_FLASH), &CScriptInterpreter::OnFlashpackUpdateFlash},
  };
  return commands;
}

void CScriptInterpreter::DispatchScriptCommand(const ScriptTokens& tokens) {
  if (tokens.empty()) FailScript("Error> command string empty");
  const std::string word = UpperCase(tokens[0]);
  for (const auto& command : Commands()) {
    if (word == command.word) {
      (this->*command.handler)(tokens);
      return;
    }
  }
  FailScript("Error> " + word + " command not supported");
}

void CScriptInterpreter::RunRemoteLine(const std::string& line) {
  ScriptTokens tokens;
  SplitScriptLine(line, tokens);
  DispatchScriptCommand(tokens);
}

void CScriptInterpreter::RunScript(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) FailScript("Error> Unable to read script file " + path);
  if (depth_ >= kMaxScriptDepth) FailScript("Error> RUN_SCRIPT nesting too deep");
  DepthGuard level(depth_);
  PostLogLine("Processing script " + path);
  std::ifstream file(path);
  // A path that exists but cannot be read as a file (a folder, no
  // permission) ends the run like a missing one.
  if (!file || std::filesystem::is_directory(path, error)) FailScript("Error> Unable to read script file " + path);
  std::string line;
  ScriptTokens tokens;
  while (std::getline(file, line)) {
    line = TrimScriptText(line);
    if (line.empty() || line.front() == '#') continue;
    const auto comment = line.find('#');
    if (comment != std::string::npos) line.erase(comment);
    PostLogLine("Script command: " + line);
    tokens.clear();
    SplitScriptLine(line, tokens);
    DispatchScriptCommand(tokens);
  }
}
