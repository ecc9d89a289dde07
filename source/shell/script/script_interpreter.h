#pragma once
// The script interpreter: runs script files (one command per line) and
// single remote-control lines on the pre-processing thread. Every command
// finishes its own part (it queues a job, asks another thread and waits for
// the answer, or hands the request on) before the next line is read; queued
// jobs run later in the core thread, in the order queued.
//
// A failing command logs its own "Error> " line and raises QUILLON_ERROR,
// which ends the run at that line (and every RUN_SCRIPT level above it).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/device_number.h"
#include "engine/core/job_payload.h"
#include "shell/script/script_context.h"
#include "shell/script/script_line.h"

class CJobRequest;

class CScriptInterpreter {
 public:
  // Deepest nesting of RUN_SCRIPT (the first script counts as one level).
  static constexpr int kMaxScriptDepth = 16;

  explicit CScriptInterpreter(IScriptContext& context) : context_(context) {}

  // Runs the script file to its end; raises the script error when a line fails.
  void RunScript(const std::string& path);
  // Splits one remote-control line and runs its command.
  void RunRemoteLine(const std::string& line);
  // Runs one command; an empty list or an unknown word is a script error.
  void DispatchScriptCommand(const ScriptTokens& tokens);

  // Fails unless auto erase is on; when the user may be asked, asks to
  // turn it on first.
  void RequireAutoErase();

 private:
  using Handler = void (CScriptInterpreter::*)(const ScriptTokens&);
  struct Command {
    const char* word;
    Handler handler;
  };
  static const std::vector<Command>& Commands();

  // Jobs.
  void OnFlash(const ScriptTokens& tokens);
  void OnErase(const ScriptTokens& tokens);
  void OnReverseFlash(const ScriptTokens& tokens);
  void OnOrvixFlash(const ScriptTokens& tokens);
  void OnOrvixErase(const ScriptTokens& tokens);
  void OnOrvixReverseFlash(const ScriptTokens& tokens);
  void OnProgramMagicKey(const ScriptTokens& tokens);
  void OnCommCheck(const ScriptTokens& tokens);
  void OnResetTarget(const ScriptTokens& tokens);
  void OnTerminateApp(const ScriptTokens& tokens);
  void OnDumpRam(const ScriptTokens& tokens);
  void OnFlashpackExtract(const ScriptTokens& tokens);
  void OnFlashpackAdd(const ScriptTokens& tokens);
  void OnFlashpackDelete(const ScriptTokens& tokens);
  void OnFlashpackUpdateFlash(const ScriptTokens& tokens);
  // Asking the user-I/O thread.
  void OnSet(const ScriptTokens& tokens);
  void OnSaveOptions(const ScriptTokens& tokens);
  void OnRestoreOptions(const ScriptTokens& tokens);
  void OnDirectory(const ScriptTokens& tokens);
  void OnListFiles(const ScriptTokens& tokens);
  void OnListProductTags(const ScriptTokens& tokens);
  void OnGetFlashDetails(const ScriptTokens& tokens);
  void OnDownloadLatestProducts(const ScriptTokens& tokens);
  void OnStatus(const ScriptTokens& tokens);
  void OnDelete(const ScriptTokens& tokens);
  // Other threads and scripts.
  void OnRunScript(const ScriptTokens& tokens);
  void OnTransferFile(const ScriptTokens& tokens);
  void OnFlashpackGetDetails(const ScriptTokens& tokens);
  void OnFlashpackGetStats(const ScriptTokens& tokens);

  // A job with the script flags: flag B 1, flag A and interactive from the thread.
  void QueueScriptJob(std::uint32_t jobCode, JobPayload payload, DeviceNumber device);
  // A job that never asks: flags (0, 0, 0).
  void QueueQuietJob(std::uint32_t jobCode, JobPayload payload, DeviceNumber device);
  // Asks the user-I/O thread and waits; the answer text is sent to the
  // client when one comes back.
  void AskQuery(std::int32_t kind, const std::string& argument, std::int32_t wantReply);
  // Waits for the reply to a request that was posted (posted nonzero); a
  // failed post or an answer of 0 is the script error.
  void AwaitOptionsReply(int posted, std::uint32_t reply);
  // The pack set of the last extract, or the "not extracted" reply and error.
  std::shared_ptr<CPackManager> RequirePackManager();

  IScriptContext& context_;
  int depth_ = 0;
};

// Sends one reply line to the remote-control client (dropped when none is connected).
void SendRemoteReply(const std::string& line);
