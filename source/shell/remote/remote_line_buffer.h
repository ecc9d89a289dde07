#pragma once
// Cuts the byte stream of the remote-control connection into lines.
//
// Received bytes are text: a NUL byte is dropped on its own (the rest of
// that receive is kept). Every line feed ends one line (without it; an
// empty line is a line too); text after the last line feed waits for the
// next receive. A client that sends more than the cap without a line feed
// has its pending text dropped, and the rest of that overlong line up to
// its line feed with it, so no piece of it ever runs as a command.

#include <cstddef>
#include <string>
#include <vector>

// The received bytes as text: every NUL byte dropped.
std::string RemoteTextOfBytes(const char* bytes, std::size_t count);

class RemoteLineBuffer {
 public:
  static constexpr std::size_t kCapacity = 64 * 1024;

  struct Result {
    std::vector<std::string> lines;  // complete lines, in order
    bool overflowed = false;         // pending text was dropped
  };

  Result Append(const std::string& text);
  // Forgets the pending text (at the end of a connection).
  void Clear();
  const std::string& Pending() const { return pending_; }

 private:
  std::string pending_;
  bool discarding_ = false;  // dropping an overlong line up to its line feed
};
