#pragma once
// The prompt bridge of the engine: message boxes that device operations
// show on their worker threads go through one prompt service, installed by
// the program (the window side shows real boxes) or by a test (a scripted
// service that records what was asked and answers from its script). With
// no service installed a box is answered OK at once, so a run without a
// user never blocks on one.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/prompt/prompt_answer.h"

// The button set of a plain OK box; the answers are PromptAnswer's.
inline constexpr std::uint32_t kBoxOk = 0;

class IPromptService {
 public:
  virtual ~IPromptService() = default;
  // Shows a box with the text and the buttons and returns the answer once
  // the user has given it; may be called from any thread.
  virtual int ShowMessageBox(const std::string& text, std::uint32_t buttons) = 0;
  // The same box with its first button named for what it does ("Format"
  // instead of OK); a service that cannot name buttons shows the plain box.
  virtual int ShowNamedBox(const std::string& text, std::uint32_t buttons, const std::string& firstButton) {
    (void)firstButton;
    return ShowMessageBox(text, buttons);
  }
};

// Installs the service (null removes it); returns the one it replaces.
std::shared_ptr<IPromptService> SetPromptService(std::shared_ptr<IPromptService> service);
std::shared_ptr<IPromptService> GetPromptService();

// The application message box: through the installed service, or OK when
// there is none.
int AppMessageBox(const std::string& text, std::uint32_t buttons = kBoxOk);
// The box of a destructive step: its first button says what it does.
int AppMessageBox(const std::string& text, std::uint32_t buttons, const std::string& firstButton);
