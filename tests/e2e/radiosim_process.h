#pragma once
// The radiosim command as a user starts it: a process of its own serving a
// simulated radio on COMn of a COM map folder. Stopped with SIGTERM (as
// Ctrl-C or a service manager stops it), so it ends its own way and writes
// what it writes at its end; the destructor kills whatever still runs.

#include <QProcess>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

class RadiosimProcess {
 public:
  RadiosimProcess() = default;
  ~RadiosimProcess();
  RadiosimProcess(const RadiosimProcess&) = delete;
  RadiosimProcess& operator=(const RadiosimProcess&) = delete;

  // Starts radiosim with --dir FOLDER --com N and the arguments, and waits
  // until it has linked COMn into the folder; false (with why as a test
  // failure) when it does not come up.
  bool Start(const std::string& comFolder, int com, const std::vector<std::string>& arguments);
  // Asks it to end and waits; its exit code, or nullopt when it crashed or
  // still ran at the deadline.
  std::optional<int> Stop(std::chrono::milliseconds timeout);
  // What it wrote to its standard output and error.
  std::string Output() const;

 private:
  std::unique_ptr<QProcess> process_;
};

}  // namespace e2e
