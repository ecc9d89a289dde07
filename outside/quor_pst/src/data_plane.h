#pragma once
// The data plane's listener: accepts device processes, reads their attach
// line, and then carries the bytes they send to their DevicePeer until they
// go away. It runs on one thread of its own.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "attach_line.h"
#include "device_peer.h"
#include "platform/socket.h"
#include "platform/unix_socket.h"

namespace quor_pst {

class AttachHandler {
 public:
  virtual ~AttachHandler() = default;
  // Plugs the device behind the peer; an empty text on success, else the
  // reason word of the ERROR answer. `accepted` runs once the attach is
  // sure and before the device becomes visible, so the OK answer precedes
  // every byte the host writes.
  virtual std::string Attach(const AttachRequest& request, const std::shared_ptr<DevicePeer>& peer,
                             const std::function<void()>& accepted) = 0;
  // The device process went away.
  virtual void Detached(const std::shared_ptr<DevicePeer>& peer) = 0;
};

class DataPlane {
 public:
  explicit DataPlane(AttachHandler& handler);
  ~DataPlane();
  DataPlane(const DataPlane&) = delete;
  DataPlane& operator=(const DataPlane&) = delete;

  // Listens at the socket path (from QUOR_PST_SOCKET or a fresh temporary
  // folder) and starts the thread; true when it listens.
  bool Start();
  const std::string& SocketPath() const { return path_; }

 private:
  struct Pending {
    platform::Socket socket;
    std::string line;
  };
  void Run();
  void AcceptNew();
  // false when the pending connection is done with (answered or gone).
  bool ReadAttachLine(Pending& pending);
  // false when the peer has gone.
  bool CarryBytes(const std::shared_ptr<DevicePeer>& peer);

  AttachHandler& handler_;
  platform::UnixListener listener_;
  platform::SocketWaitSet waitSet_;
  std::vector<Pending> pending_;
  std::vector<std::shared_ptr<DevicePeer>> peers_;
  std::vector<std::shared_ptr<DevicePeer>> attached_;  // joins peers_ after a pass
  std::string path_;
  std::string ownFolder_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace quor_pst
