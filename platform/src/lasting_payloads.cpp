#include "platform/lasting_payloads.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

OwnedPayload LastingText(std::string text) { return OwnedPayload(std::make_unique<std::string>(std::move(text))); }

OwnedPayload LastingCopy(const void* bytes, std::size_t size, LParam& address) {
  auto copy = std::make_unique<std::vector<std::uint8_t>>(size);
  if (size > 0) std::memcpy(copy->data(), bytes, size);
  address = reinterpret_cast<LParam>(copy->data());
  return OwnedPayload(std::move(copy));
}

}  // namespace platform
