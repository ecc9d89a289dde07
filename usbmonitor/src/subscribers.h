#pragma once
// Who hears of device changes: the distinct windows and threads that
// applications registered, each application's own window, thread and
// removal event. Application ids index 32 places; other ids are refused.

#include <array>
#include <cstdint>
#include <mutex>

#include "platform/event.h"
#include "platform/target_registry.h"

namespace kovrin {

inline constexpr int kSubscriberPlaces = 32;

class Subscribers {
 public:
  // The export results: 1 done, 0 refused (list full, bad id, or a window
  // query that does not hold).
  int SetWindow(std::uint16_t appId, platform::WindowHandle window);
  int ClearWindow(std::uint16_t appId, platform::WindowHandle window);
  int SubscribeThread(std::uint16_t appId, platform::ThreadId thread);
  int UnsubscribeThread(std::uint16_t appId);
  int SetEvent(std::uint16_t appId, platform::Event* event);
  // An application that no longer listens: its window (unlisted when no
  // other application shares it) and its event are cleared.
  void Forget(std::uint16_t appId);

  struct Lists {
    std::array<platform::WindowHandle, kSubscriberPlaces> windows{};
    std::array<platform::ThreadId, kSubscriberPlaces> threads{};
  };
  Lists Take() const;
  // Sets every registered event. Under the list's lock, so an event that
  // its owner has handed back is never touched again.
  void SetAllEvents();

  platform::WindowHandle WindowOf(std::uint16_t appId) const;
  platform::ThreadId ThreadOf(std::uint16_t appId) const;
  platform::Event* EventOf(std::uint16_t appId) const;

 private:
  static bool ValidId(std::uint16_t appId) { return appId < kSubscriberPlaces; }
  template <class Of>
  static bool SharedByOther(const Of& ofId, std::uint32_t handle, std::uint16_t except);
  template <class List>
  static bool AddToList(List& list, std::uint32_t handle);
  template <class List>
  static void RemoveFromList(List& list, std::uint32_t handle);
  void DropWindowLocked(std::uint16_t appId);

  mutable std::mutex mutex_;
  std::array<platform::WindowHandle, kSubscriberPlaces> windowList_{};
  std::array<platform::WindowHandle, kSubscriberPlaces> windowOf_{};
  std::array<platform::ThreadId, kSubscriberPlaces> threadList_{};
  std::array<platform::ThreadId, kSubscriberPlaces> threadOf_{};
  std::array<platform::Event*, kSubscriberPlaces> eventOf_{};
};

}  // namespace kovrin
