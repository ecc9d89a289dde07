#include "engine/prompt/scripted_prompt_service.h"

void CScriptedPromptService::Script(int answer) {
  std::lock_guard lock(mutex_);
  script_.push_back(answer);
}

int CScriptedPromptService::ShowMessageBox(const std::string& text, std::uint32_t buttons) {
  int answer = defaultAnswer_;
  {
    std::lock_guard lock(mutex_);
    boxes_.push_back({text, buttons});
    if (!script_.empty()) {
      answer = script_.front();
      script_.pop_front();
    }
  }
  shown_.notify_all();
  return answer;
}

std::vector<CScriptedPromptService::Shown> CScriptedPromptService::Boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

bool CScriptedPromptService::WaitForBoxes(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return shown_.wait_for(lock, timeout, [&] { return boxes_.size() >= count; });
}
