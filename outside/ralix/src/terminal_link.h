#pragma once
// One connection of the terminal library to a phone.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "ralix/ralix.h"

namespace ralix {

class TerminalLink {
 public:
  TerminalLink(platform::Socket socket, RalixOutputCallback callback, std::uint32_t window);
  ~TerminalLink();
  TerminalLink(const TerminalLink&) = delete;
  TerminalLink& operator=(const TerminalLink&) = delete;

  // Sends a command line; a file load line is followed by the file itself.
  bool SendLine(const std::string& line);

 private:
  void ReadOutput();
  void HandleFrame(char type, const std::vector<std::uint8_t>& data);
  void Output(const std::string& text);
  void DeliverLocalOutput();
  bool SendFrame(char type, const std::vector<std::uint8_t>& data);

  platform::Socket socket_;
  platform::SocketWaitSet waits_;
  std::mutex localMutex_;
  std::string localOutput_;  // what the library itself says, delivered by the reader
  RalixOutputCallback callback_;
  std::uint32_t window_;
  std::atomic<bool> stopping_{false};
  std::thread reader_;
};

}  // namespace ralix
