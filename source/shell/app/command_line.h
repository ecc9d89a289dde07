#pragma once
// The program's command line. The switch "id" makes the plain arguments
// after it name the window title (and with it the configuration and log
// files). The switch "remote_address" takes the next plain argument as the
// one local address the remote-control port listens on; without it the
// port listens on every address. The switch "user_folder" makes the user's
// own ~/Quillon the working folder instead of the current one (the desktop
// menu starts the program so).

#include <string>
#include <vector>

class CFlashCommandLineInfo {
 public:
  // One argument, in order. A switch arrives without its "/" or "-".
  void ParseParam(const std::string& parameter, bool isSwitch, bool isLast);
  // Splits each argument (program name excluded) into switch or plain.
  void ParseArguments(const std::vector<std::string>& arguments);

  // The title the "id" switch gave, empty when none.
  const std::string& Title() const { return title_; }
  bool HasTitle() const { return hasTitle_; }

  // The address after "remote_address", when one was given.
  const std::string& RemoteAddress() const { return remoteAddress_; }
  bool HasRemoteAddress() const { return hasRemoteAddress_; }
  // "remote_address" came without an address after it.
  bool RemoteAddressMissing() const { return awaitingRemoteAddress_; }

  // "user_folder" was given.
  bool UsesUserFolder() const { return userFolder_; }

 private:
  std::string lastSwitch_;
  std::string title_;
  bool hasTitle_ = false;
  std::string remoteAddress_;
  bool hasRemoteAddress_ = false;
  bool awaitingRemoteAddress_ = false;
  bool userFolder_ = false;
};
