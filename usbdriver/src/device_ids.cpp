#include "device_ids.h"

#include "device_inventory.h"

namespace usb_driver {
namespace {

std::optional<std::uint16_t> LowestFree(const std::set<std::uint16_t>& taken) {
  for (int id = 0; id <= kHighestDeviceId; ++id) {
    if (!taken.count(static_cast<std::uint16_t>(id))) return static_cast<std::uint16_t>(id);
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::optional<std::uint16_t>> ChooseDeviceIds(const std::vector<int>& portNumbers,
                                                          std::set<std::uint16_t> taken) {
  std::vector<std::optional<std::uint16_t>> ids(portNumbers.size());
  // Own port numbers first, so that a device whose number is free never
  // loses it to one that needs another id.
  for (std::size_t i = 0; i < portNumbers.size(); ++i) {
    const int number = portNumbers[i];
    if (number < 0 || number > kHighestDeviceId) continue;
    const auto id = static_cast<std::uint16_t>(number);
    if (taken.insert(id).second) ids[i] = id;
  }
  for (auto& id : ids) {
    if (id) continue;
    id = LowestFree(taken);
    if (id) taken.insert(*id);
  }
  return ids;
}

}  // namespace usb_driver
