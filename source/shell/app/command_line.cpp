#include "shell/app/command_line.h"

namespace {

constexpr const char* kTitleSwitch = "id";
constexpr const char* kRemoteAddressSwitch = "remote_address";
constexpr const char* kUserFolderSwitch = "user_folder";

}  // namespace

void CFlashCommandLineInfo::ParseParam(const std::string& parameter, bool isSwitch, bool) {
  if (isSwitch) {
    // Other switches are ignored and leave the remembered one.
    if (parameter == kTitleSwitch) lastSwitch_ = kTitleSwitch;
    if (parameter == kRemoteAddressSwitch) awaitingRemoteAddress_ = true;
    if (parameter == kUserFolderSwitch) userFolder_ = true;
    return;
  }
  // The address takes exactly the argument after its switch.
  if (awaitingRemoteAddress_) {
    if (parameter.empty()) return;  // names no address: still missing
    remoteAddress_ = parameter;
    hasRemoteAddress_ = true;
    awaitingRemoteAddress_ = false;
    return;
  }
  // With "id" given, every later plain argument replaces the title in turn.
  if (lastSwitch_ == kTitleSwitch) {
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
