#pragma once
// A debug trace that an environment variable switches on: the variable names
// the sink ("stderr", or a file to append to), and an unset or empty variable
// turns the trace off. The sink follows the variable: a changed value opens
// the new sink on the next line. Lines are written whole, under a lock, so
// threads may trace at once.

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace platform {

class EnvTrace {
 public:
  // `variable` names the sink; `prefix` starts every line ("" for none).
  // Both must outlive the trace (string literals do).
  EnvTrace(const char* variable, const char* prefix);
  ~EnvTrace();
  EnvTrace(const EnvTrace&) = delete;
  EnvTrace& operator=(const EnvTrace&) = delete;

  // Formats like printf into a 1024-byte line and writes it with a line end.
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void VPrintf(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

 private:
  bool On();
  void Write(const char* line);
  void Follow();
  void Close();

  const char* variable_;
  const char* prefix_;
  std::mutex mutex_;
  std::string target_;
  std::FILE* out_ = nullptr;
};

}  // namespace platform
