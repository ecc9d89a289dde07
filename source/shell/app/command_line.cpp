#include "shell/app/command_line.h"

void CFlashCommandLineInfo::ParseParam(const std::string& parameter, bool isSwitch, bool) {
  if (isSwitch) {
    // Other switches are ignored and leave the remembered one.
    if (parameter == "id") lastSwitch_ = "id";
    return;
  }
  // With "id" given, every later plain argument replaces the title in turn.
  if (lastSwitch_ == "id") {
    title_ = parameter;
    hasTitle_ = true;
  }
}

void CFlashCommandLineInfo::ParseArguments(const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool isSwitch = !argument.empty() && (argument[0] == '/' || argument[0] == '-');
    ParseParam(isSwitch ? argument.substr(1) : argument, isSwitch, i + 1 == arguments.size());
  }
}
