#include "shell/prompt/unattended_prompt_service.h"

#include <array>
#include <cstdio>

#include "engine/prompt/prompt_service.h"

namespace {

struct AnswerName {
  int answer;
  const char* name;
};

constexpr std::array<AnswerName, 6> kAnswerNames{{
    {kAnswerOk, "OK"}, {kAnswerCancel, "Cancel"}, {kAnswerAbort, "Abort"},
    {kAnswerRetry, "Retry"}, {kAnswerYes, "Yes"}, {kAnswerNo, "No"},
}};

std::string NameOf(int answer) {
  for (const AnswerName& a : kAnswerNames) {
    if (a.answer == answer) return a.name;
  }
  return std::to_string(answer);
}

// A box breaks its sentences onto lines; one line says it all.
std::string OnOneLine(const std::string& text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ' && line.back() != '.' && line.back() != ':') line += '.';
      line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// What a prompt is about: the box's text, or the dialog's title with its caption.
std::string Subject(const PromptCall& call) {
  if (call.IsMessageBox()) return OnOneLine(call.text);
  if (!call.text.empty()) return OnOneLine(call.text);
  return "dialog " + std::to_string(call.kind) + " of " + call.caption;
}

}  // namespace

CUnattendedPromptService::CUnattendedPromptService(Outlets outlets) : outlets_(std::move(outlets)) {}

bool CUnattendedPromptService::NoOneCanAnswerOn(const std::string& platformName) {
  return platformName == "offscreen" || platformName == "minimal";
}

std::string CUnattendedPromptService::LogLineFor(const PromptCall& call, int answer) {
  return "No one can answer, so this box was not shown and was answered " + NameOf(answer) + ": " + Subject(call);
}

std::string CUnattendedPromptService::StandardErrorLineFor(const PromptCall& call, int answer) {
  if (call.IsMessageBox() && answer == kAnswerOk && (call.style & kStyleButtonsMask) == kStyleOk) {
    return "vexaload: " + Subject(call) + "\n";
  }
  return "vexaload: " + Subject(call) + " (answered " + NameOf(answer) + ")\n";
}

void CUnattendedPromptService::Begin(std::shared_ptr<PromptCall> call, Done done) {
  const int answer = DefaultAnswerFor(*call);
  {
    // One prompt's lines stay together when several threads ask at once.
    std::lock_guard lock(mutex_);
    const bool logged = call->IsMessageBox() && outlets_.lastLogError && outlets_.lastLogError() == call->text;
    if (!logged && outlets_.log) outlets_.log(LogLineFor(*call, answer));
    if (outlets_.standardError) outlets_.standardError(StandardErrorLineFor(*call, answer));
  }
  done(answer);
}

void CUnattendedPromptService::Shutdown(int) {
  // Nothing ever waits here: every prompt is answered as it begins.
}
