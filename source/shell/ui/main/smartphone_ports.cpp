#include "shell/ui/main/smartphone_ports.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/dynamic_library.h"

namespace {

using SmartphoneListFunction = int (*)(std::uint16_t, int*, std::int16_t*);
constexpr int kMaxPorts = 127;

// The radio protocol library, loaded by name on first use and kept.
SmartphoneListFunction SmartphoneList() {
  static std::once_flag once;
  static std::unique_ptr<platform::DynamicLibrary> library;
  static SmartphoneListFunction function = nullptr;
  std::call_once(once, [] {
    library = platform::DynamicLibrary::Load("gantrel");
    if (library) function = library->Function<SmartphoneListFunction>("QuorGetUSBSmartphoneList");
  });
  return function;
}

}  // namespace

std::vector<int> SmartphoneUsbPorts() {
  const SmartphoneListFunction list = SmartphoneList();
  if (list == nullptr) return {};
  std::array<std::int16_t, kMaxPorts> ports{};
  int count = 0;
  if (list(0, &count, ports.data()) != 0) return {};
  std::vector<int> result;
  for (int i = 0; i < count && i < kMaxPorts; ++i) result.push_back(ports[static_cast<std::size_t>(i)]);
  return result;
}
