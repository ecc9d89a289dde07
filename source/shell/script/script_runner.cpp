#include "shell/script/script_runner.h"

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/script/script_interpreter.h"
#include "shell/userio/query_request.h"

namespace {

class CScriptRunner : public IScriptRunner, private IScriptContext {
 public:
  CScriptRunner(IPreprocessingHost& host, std::function<std::string(const std::string&)> expandShortcut)
      : host_(host), expandShortcut_(std::move(expandShortcut)), interpreter_(*this) {}

  void RunScript(const std::string& path) override { interpreter_.RunScript(path); }
  void RunRemoteLine(const std::string& line) override { interpreter_.RunRemoteLine(line); }

 private:
  int Interactive() const override { return host_.Interactive(); }
  int SecondRequest() const override { return host_.SecondRequest(); }
  int AskPrompt(std::int32_t kind) override { return host_.Asker().AskAndWait(kind); }
  std::optional<platform::Message> WaitForReply(std::uint32_t number) override { return host_.WaitForReply(number); }
  std::shared_ptr<CPackManager> SharePackManager() const override {
    // The host lends the set of the last extract; it is read at once.
    CPackManager* packs = host_.FlashpackManager();
    return packs ? std::shared_ptr<CPackManager>(std::shared_ptr<void>(), packs) : nullptr;
  }
  bool PostQuery(std::int32_t kind, const std::string& argument, std::int32_t wantReply) override {
    auto query = std::make_unique<QueryRequest>();
    query->kind = kind;
    query->replyTarget = PT_PREPROCESSING;
    query->wantReply = wantReply;
    query->argument = argument;
    return PostToTarget<WM_QUERY>(PT_USER_IO, std::move(query)) != 0;
  }
  std::string ExpandShortcut(const std::string& path) const override {
    return expandShortcut_ ? expandShortcut_(path) : path;
  }

  IPreprocessingHost& host_;
  std::function<std::string(const std::string&)> expandShortcut_;
  CScriptInterpreter interpreter_;
};

}  // namespace

ScriptRunnerFactory MakeScriptRunnerFactory(std::function<std::string(const std::string&)> expandShortcut) {
  return [expandShortcut](IPreprocessingHost& host) -> std::unique_ptr<IScriptRunner> {
    return std::make_unique<CScriptRunner>(host, expandShortcut);
  };
}
