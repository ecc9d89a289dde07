#include "shell/config/set_option.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/core/app_settings.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/product/product_file_parser.h"
#include "engine/quillon_exception.h"
#include "platform/file_finder.h"
#include "shell/config/decimal_text.h"
#include "shell/log/post_log_line.h"
#include "shell/text/upper_case.h"
#include "shell/userio/product_selection.h"

namespace {

// The choices of one option: {choice text, option value}.
struct Choice {
  std::string text;
  int value;
};

using ChoiceTable = std::vector<Choice>;

const ChoiceTable kTrueFalse{{"TRUE", 1}, {"FALSE", 0}};

// prefix + first .. prefix + (first + count - 1) set the values 0 .. count - 1.
ChoiceTable Numbered(const std::string& prefix, int first, int count) {
  ChoiceTable table;
  for (int i = 0; i < count; ++i) table.push_back({prefix + std::to_string(first + i), i});
  return table;
}

enum class ChoiceKind { Table, Number, ProductMap };

struct SetOption {
  const char* name;
  int optionId;
  ChoiceKind kind;
  ChoiceTable choices;
};

const std::vector<SetOption>& SetOptions() {
  static const std::vector<SetOption> options{
      {"comm_protocol", OPTION_COMM_PROTOCOL, ChoiceKind::Table, {{"RS232", 0}, {"USB", 1}}},
      {"serial_port", OPTION_SERIAL_PORT, ChoiceKind::Table, Numbered("COM", 1, 18)},
      {"data_rate", OPTION_DATA_RATE, ChoiceKind::Table, {{"115200", 0}, {"230400", 1}, {"460800", 2}}},
      {"remote_port", OPTION_REMOTE_PORT, ChoiceKind::Number, {}},
      {"override_cksum", OPTION_OVERRIDE_CHECKSUM, ChoiceKind::Table, kTrueFalse},
      {"auto_erase_flash", OPTION_AUTO_ERASE_FLASH, ChoiceKind::Table, kTrueFalse},
      {"auto_program_magic_key", OPTION_AUTO_PROGRAM_MAGIC_KEY, ChoiceKind::Table, kTrueFalse},
      {"enable_remote_control", OPTION_ENABLE_REMOTE_CONTROL, ChoiceKind::Table, kTrueFalse},
      {"enable_smart_flashing", OPTION_ENABLE_SMART_FLASHING, ChoiceKind::Table, kTrueFalse},
      {"data_rate_divisor", OPTION_DATA_RATE_DIVISOR, ChoiceKind::Table, {{"1", 0}, {"2", 1}, {"4", 2}}},
      {"flash_product_map", OPTION_PRODUCT_TAG, ChoiceKind::ProductMap, {}},
      {"orvix_enable_chip_selection", OPTION_ORVIX_ENABLE_CHIP_SELECTION, ChoiceKind::Table, kTrueFalse},
      {"orvix_chip_select", OPTION_ORVIX_CHIP_SELECT, ChoiceKind::Table, Numbered("CSN", 0, 8)},
      {"orvix_chip_offset", OPTION_ORVIX_CHIP_OFFSET, ChoiceKind::Number, {}},
      {"orvix_programming_option", OPTION_ORVIX_PROGRAMMING_OPTION, ChoiceKind::Table,
       {{"ERASE_RELEVANT_SECTORS", 0}, {"ERASE_WHOLE_CHIP", 1}, {"UPDATE_CHIP", 2}}},
  };
  return options;
}

const SetOption* FindOption(const std::string& name) {
  for (const SetOption& option : SetOptions()) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

// Walks the product tags of every product file of the working directory;
// the first file that declares the tag becomes the selected product.
bool SelectProductMap(const std::string& tag, SetOptionContext& context) {
  for (const platform::FoundFile& file : platform::FindFiles(context.workingDirectory + "*.qlp")) {
    if (file.isDirectory) continue;
    ProductFileParser parser;
    std::string name;
    int ampersand = 0;
    int more = parser.ReadFirstProductName(context.workingDirectory + file.name, name, ampersand);
    while (more != 0) {
      if (name == tag) {
        const std::string previousFile = context.settings.GetStringParam(OPTION_PRODUCT_FILE);
        const std::string previousTag = context.settings.GetStringParam(OPTION_PRODUCT_TAG);
        context.settings.SetStringParam(OPTION_PRODUCT_FILE, file.name);
        context.settings.SetStringParam(OPTION_PRODUCT_TAG, tag);
        try {
          if (context.readProductFile) context.readProductFile();
        } catch (...) {
          // A product that cannot be loaded is not selected: the program
          // keeps working with the one it had, and no later write of the
          // configuration saves the broken one.
          context.settings.SetStringParam(OPTION_PRODUCT_FILE, previousFile);
          context.settings.SetStringParam(OPTION_PRODUCT_TAG, previousTag);
          throw;
        }
        PostToTarget<WM_SELECT_PRODUCT>(PT_MAIN_WINDOW, std::make_unique<ProductSelection>(ProductSelection{file.name, tag}));
        return true;
      }
      more = parser.ReadNextProductName(name, ampersand);
    }
  }
  PostLogLine("Error> Product map '" + tag + "' was not found");
  return false;
}

bool ApplyPair(const std::string& name, const std::string& choice, SetOptionContext& context) {
  const SetOption* option = FindOption(name);
  if (option == nullptr) {
    PostLogLine("Error> " + name + " option not supported");
    return false;
  }
  switch (option->kind) {
    case ChoiceKind::Number:
      context.settings.SetIntParam(option->optionId, ParseDecimal(choice));
      return true;
    case ChoiceKind::ProductMap:
      return SelectProductMap(choice, context);
    case ChoiceKind::Table:
      break;
  }
  const std::string upper = UpperCase(choice);
  for (const Choice& c : option->choices) {
    if (upper == c.text) {
      context.settings.SetIntParam(option->optionId, c.value);
      return true;
    }
  }
  PostLogLine("Error> choice " + upper + " not supported for option " + name);
  return false;
}

}  // namespace

bool ApplySetOption(const SetOptionTokens& tokens, SetOptionContext& context) {
  try {
    for (std::size_t i = 0; i < tokens.size(); i += 2) {
      if (i + 1 >= tokens.size()) {
        PostLogLine("Error> option " + tokens[i] + " has no corresponding choice");
        return false;
      }
      if (!ApplyPair(tokens[i], tokens[i + 1], context)) return false;
    }
    if (context.writeConfiguration) context.writeConfiguration();
    return true;
  } catch (QUILLON_EXCEPTION) {
    return false;
  }
}
