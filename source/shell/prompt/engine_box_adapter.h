#pragma once
// Routes the engine's own message boxes (AppMessageBox) through the shell's
// prompt service, with the window title as caption.

#include <memory>
#include <string>

#include "engine/prompt/prompt_service.h"
#include "shell/prompt/shell_prompt_service.h"

class CEngineBoxAdapter : public IPromptService {
 public:
  CEngineBoxAdapter(std::shared_ptr<IShellPromptService> service, std::string caption)
      : service_(std::move(service)), caption_(std::move(caption)) {}
  int ShowMessageBox(const std::string& text, std::uint32_t buttons) override;
  int ShowNamedBox(const std::string& text, std::uint32_t buttons, const std::string& firstButton) override;

 private:
  std::shared_ptr<IShellPromptService> service_;
  std::string caption_;
};
