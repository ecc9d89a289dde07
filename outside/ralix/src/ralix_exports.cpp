// The three exported functions of the terminal library stand-in.

#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/unix_socket.h"
#include "ralix/ralix.h"
#include "terminal_link.h"

namespace {

std::mutex linkMutex;
std::unique_ptr<ralix::TerminalLink> currentLink;

}  // namespace

extern "C" int Func095(RalixOutputCallback callback, unsigned long, std::string*, std::uint32_t window) {
  const char* path = std::getenv(kRalixSocketVariable);
  if (path == nullptr || *path == '\0') return 0;
  std::lock_guard lock(linkMutex);
  currentLink.reset();
  platform::Socket socket = platform::ConnectUnix(path);
  if (!socket.Valid()) return 0;
  currentLink = std::make_unique<ralix::TerminalLink>(std::move(socket), callback, window);
  return 1;
}

extern "C" int Func789(const char* line, unsigned long length) {
  std::lock_guard lock(linkMutex);
  if (!currentLink || line == nullptr) return 0;
  return currentLink->SendLine(std::string(line, length)) ? 1 : 0;
}

extern "C" int Func356() {
  std::lock_guard lock(linkMutex);
  if (!currentLink) return 0;
  currentLink.reset();
  return 1;
}
