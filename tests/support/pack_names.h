#pragma once
// The names of the packs in a FLASHPACK partition image, in the set's
// order, as the flashpack library reads them (UTF-16, big-endian, up to the
// first zero unit).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lumbrapack/pack_manager.h"

namespace test_support {

inline std::vector<std::u16string> PackNames(const std::vector<std::uint8_t>& partition) {
  CPackManager set(partition.data(), static_cast<unsigned long>(partition.size()));
  std::vector<std::u16string> names;
  for (std::uint16_t index = 1; index <= set.m_packCount.load(); ++index) {
    lumbrapack::PackRecord record{};
    if (set.PackInfo(index, &record) != lumbrapack::kPackOk) break;
    std::u16string name;
    for (std::size_t i = 0; i + 1 < sizeof record.name; i += 2) {
      const auto unit = static_cast<char16_t>(record.name[i] << 8 | record.name[i + 1]);
      if (unit == 0) break;
      name += unit;
    }
    names.push_back(name);
  }
  return names;
}

}  // namespace test_support
