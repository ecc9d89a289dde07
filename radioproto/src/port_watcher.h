#pragma once
// The watcher of a link on a USB virtual port. The monitor sets its removal
// event whenever any USB device goes; the watcher then closes the link only
// when the link's own device is gone, stopping and joining its readers first
// and closing under the slot's close-port lock.

#include <cstdint>
#include <thread>

#include "platform/event.h"

namespace gantrel {

class PortWatcher {
 public:
  explicit PortWatcher(std::uint16_t id);
  ~PortWatcher();
  PortWatcher(const PortWatcher&) = delete;
  PortWatcher& operator=(const PortWatcher&) = delete;

  void Stop();

 private:
  void Run();
  bool OwnDeviceGone();

  std::uint16_t id_;
  platform::Event stop_{platform::Event::Reset::Manual};
  platform::Event removal_{platform::Event::Reset::Manual};
  std::thread thread_;
};

// Closes a link whose device went away: readers stopped and joined, the port
// closed under the close-port lock, the link marked closed and its bus type
// reset. The slot stays registered.
void CloseRemovedLink(std::uint16_t id);

}  // namespace gantrel
