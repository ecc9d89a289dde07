#include "link_poster.h"

#include <memory>

#include "gantrel/gantrel.h"
#include "library_state.h"
#include "platform/target_registry.h"

namespace gantrel {

bool PostLinkData(std::int32_t window, std::uint16_t id, const std::uint8_t* data, std::size_t length) {
  if (window <= 0) return false;
  auto copy = std::make_unique<std::vector<std::uint8_t>>(data, data + length);
  const auto address = reinterpret_cast<platform::LParam>(copy->data());
  platform::Message message(WM_LINK_DATA, (static_cast<platform::WParam>(length) << 16) | id, address);
  message.payload = platform::OwnedPayload(std::move(copy));
  return platform::PostWindowMessage(static_cast<platform::WindowHandle>(window), std::move(message));
}

bool PostLineStatus(std::int32_t window, std::uint16_t id, std::uint8_t state) {
  const std::uint8_t status[3] = {LINK_STATUS_MARK, LINK_STATUS_MARK, state};
  return PostLinkData(window, id, status, sizeof status);
}

std::int32_t MessageWindowOf(std::uint16_t id) {
  auto& lib = Library();
  const std::int32_t overriding = lib.messageWindow.load();
  if (overriding > 0) return overriding;
  return id < kMaxApps ? lib.slots[id].window.load() : 0;
}

}  // namespace gantrel
