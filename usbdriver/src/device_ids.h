#pragma once
// Which device id a newly served device gets. A served device keeps its id
// until it goes, whatever a hub plugged in before it does to the port
// numbers; a new device gets its port number when no served device holds
// that id, else the lowest id no served device holds. A pure function.

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace usb_driver {

// portNumbers: the new devices' port numbers, in walk order; taken: the ids
// of the devices served already. One id per new device, in the same order;
// none when every id is held.
std::vector<std::optional<std::uint16_t>> ChooseDeviceIds(const std::vector<int>& portNumbers,
                                                          std::set<std::uint16_t> taken);

}  // namespace usb_driver
