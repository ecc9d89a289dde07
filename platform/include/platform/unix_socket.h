#pragma once
// Unix-domain stream sockets: a listener bound to a path, and connecting to one.

#include <optional>
#include <string>

#include "platform/socket.h"

namespace platform {

class UnixListener : public Socket {
 public:
  UnixListener() = default;
  // Binds and listens at path (an old socket file there is replaced); an
  // invalid listener on failure, with *error saying why.
  static UnixListener Listen(const std::string& path, std::string* error = nullptr);
  // A pending connection, or nullopt when none is there.
  std::optional<Socket> Accept();
  const std::string& Path() const { return path_; }
  ~UnixListener();
  UnixListener(UnixListener&&) noexcept = default;
  UnixListener& operator=(UnixListener&&) noexcept = default;

 private:
  std::string path_;
};

// A connected socket, or an invalid one when nothing listens at path.
Socket ConnectUnix(const std::string& path);

}  // namespace platform
