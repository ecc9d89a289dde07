#pragma once
// The program's command line: one switch, "id", whose plain arguments name
// the window title (and with it the configuration and log files).

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

 private:
  std::string lastSwitch_;
  std::string title_;
  bool hasTitle_ = false;
};
