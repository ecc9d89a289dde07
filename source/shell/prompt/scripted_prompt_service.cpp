#include "shell/prompt/scripted_prompt_service.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "engine/prompt/prompt_service.h"
#include "platform/file_io.h"
#include "shell/text/upper_case.h"

namespace {

struct AnswerWord {
  const char* word;
  int answer;
};

constexpr std::array<AnswerWord, 6> kAnswerWords{{
    {"OK", kAnswerOk}, {"CANCEL", kAnswerCancel}, {"ABORT", kAnswerAbort},
    {"RETRY", kAnswerRetry}, {"YES", kAnswerYes}, {"NO", kAnswerNo},
}};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::optional<int> ParseAnswer(std::string_view text) {
  const std::string upper = UpperCase(text);
  for (const AnswerWord& w : kAnswerWords) {
    if (upper == w.word || upper == std::to_string(w.answer)) return w.answer;
  }
  return std::nullopt;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

}  // namespace

CScriptedShellPromptService::CScriptedShellPromptService(std::vector<int> answers, std::string recordPath)
    : answers_(answers.begin(), answers.end()), recordPath_(std::move(recordPath)) {}

std::optional<std::vector<int>> CScriptedShellPromptService::ParseAnswers(const std::string& text, std::string* badLine) {
  std::vector<int> answers;
  std::string_view rest = text;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const auto answer = ParseAnswer(line);
    if (!answer) {
      if (badLine) *badLine = std::string(line);
      return std::nullopt;
    }
    answers.push_back(*answer);
  }
  return answers;
}

std::shared_ptr<CScriptedShellPromptService> CScriptedShellPromptService::FromEnvironment() {
  const char* file = std::getenv("QUILLON_PROMPTS");
  if (file == nullptr || *file == '\0') return nullptr;
  std::string text;
  std::vector<int> answers;
  if (platform::ReadWholeFile(file, text)) {
    if (auto parsed = ParseAnswers(text)) answers = std::move(*parsed);
  }
  const char* record = std::getenv("QUILLON_PROMPTS_RECORD");
  return std::make_shared<CScriptedShellPromptService>(std::move(answers), record ? record : "");
}

void CScriptedShellPromptService::Script(int answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

void CScriptedShellPromptService::SetDialogFiller(DialogFiller filler) {
  std::lock_guard lock(mutex_);
  filler_ = std::move(filler);
}

std::string CScriptedShellPromptService::RecordLine(const Shown& shown) {
  return std::to_string(shown.kind) + "\t" + Escaped(shown.caption) + "\t" + Escaped(shown.text) + "\t" +
         std::to_string(shown.answer);
}

void CScriptedShellPromptService::Begin(std::shared_ptr<PromptCall> call, Done done) {
  int answer = 0;
  DialogFiller filler;
  {
    std::lock_guard lock(mutex_);
    if (shutdownAnswer_) {
      answer = *shutdownAnswer_;
    } else if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
      filler = filler_;
    } else {
      answer = DefaultAnswerFor(*call);
      filler = filler_;
    }
  }
  // A user fills a dialog only when leaving it with OK.
  if (filler && answer == kAnswerOk && !call->IsMessageBox()) filler(*call);
  Shown shown{call->kind, call->caption, call->text, call->style, answer, call->firstButton, call->secondButton};
  {
    std::lock_guard lock(mutex_);
    if (!recordPath_.empty()) {
      std::ofstream(recordPath_, std::ios::binary | std::ios::app) << RecordLine(shown) << '\n';
    }
    shown_.push_back(std::move(shown));
  }
  shownSignal_.notify_all();
  done(answer);
}

void CScriptedShellPromptService::Shutdown(int answer) {
  std::lock_guard lock(mutex_);
  shutdownAnswer_ = answer;
}

std::vector<CScriptedShellPromptService::Shown> CScriptedShellPromptService::Prompts() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

bool CScriptedShellPromptService::WaitForPrompts(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return shownSignal_.wait_for(lock, timeout, [&] { return shown_.size() >= count; });
}
