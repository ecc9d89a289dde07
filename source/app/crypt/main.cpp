// Crypt: scrambles or unscrambles one update text file.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/prompt/prompt_service.h"
#include "shell/scramble/crypt_file.h"

namespace {

// A console has no boxes: their texts go to the error output.
class ConsoleBoxes : public IPromptService {
 public:
  int ShowMessageBox(const std::string& text, std::uint32_t) override {
    std::cerr << text;
    return kAnswerOk;
  }
};

}  // namespace

int main(int argc, char** argv) {
  SetPromptService(std::make_shared<ConsoleBoxes>());
  const int code = CryptFileMain(std::vector<std::string>(argv, argv + argc), std::cout);
  SetPromptService(nullptr);
  return code;
}
