#include "shell/prompt/engine_box_adapter.h"

int CEngineBoxAdapter::ShowMessageBox(const std::string& text, std::uint32_t buttons) {
  auto call = std::make_shared<PromptCall>();
  call->kind = kMessageBoxPrompt;
  call->caption = caption_;
  call->text = text;
  call->style = buttons;
  return ShowPromptAndWait(service_, std::move(call));
}

int CEngineBoxAdapter::ShowNamedBox(const std::string& text, std::uint32_t buttons, const std::string& firstButton) {
  auto call = std::make_shared<PromptCall>();
  call->kind = kMessageBoxPrompt;
  call->caption = caption_;
  call->text = text;
  call->style = buttons;
  call->firstButton = firstButton;
  return ShowPromptAndWait(service_, std::move(call));
}
