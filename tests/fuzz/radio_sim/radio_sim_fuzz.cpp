// The simulated radio takes whatever a host sends: the first bytes choose
// the radio (boot loader type, link, power-on state, faults), the rest
// arrive in chunks at varying bit rates. Nothing may crash or grow without
// bound.

#include <cstddef>
#include <cstdint>
#include <span>

#include "radiosim/fault_plan.h"
#include "radiosim/radio_config.h"
#include "radiosim/radio_simulator.h"

namespace {

class DiscardLink : public radiosim::HostLink {
 public:
  void SendToHost(std::span<const std::uint8_t> bytes) override { sent += bytes.size(); }
  std::size_t sent = 0;
};

constexpr std::uint32_t kRates[] = {0, 19200, 115200, 230400, 460800, 9600};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  radiosim::RadioConfig config;
  config.bootLoader = static_cast<radiosim::BootLoaderType>(data[0] % radiosim::kBootLoaderTypeCount);
  config.link = (data[0] & 0x04) ? radiosim::LinkKind::Usb : radiosim::LinkKind::Serial;
  config.powerOn = (data[0] & 0x08) ? radiosim::PowerOnState::Kernel : radiosim::PowerOnState::BootLoader;
  if ((data[0] & 0x28) == 0x20) config.powerOn = radiosim::PowerOnState::Firmware;
  config.sectorLayout = {{0x400, 8}, {0x1000, 6}};
  config.protectedSectors = {3};
  config.ramRegions = {{0x1000, 0x200}, {0x8000, 0x40}};
  config.smartBufferSize = 0x2000;
  config.strictRate = (data[0] & 0x10) != 0 && (data[0] & 0x20) == 0;
  config.divisor = 1u + (data[0] >> 6);
  config.ramSize = 1u << 16;
  radiosim::RadioSimulator radio(config);
  if (data[1] & 0x80) {
    const auto kind = static_cast<radiosim::FaultKind>(data[1] % radiosim::kFaultKindCount);
    radio.AddFault({kind, 1 + (data[1] & 0x03)});
  }
  DiscardLink link;
  radio.AttachHost(&link);

  std::size_t at = 2;
  while (at < size) {
    const std::uint8_t control = data[at++];
    const std::size_t chunk = 1 + (control & 0x3F);
    const std::size_t take = chunk < size - at ? chunk : size - at;
    radio.Receive(std::span<const std::uint8_t>(data + at, take), kRates[(control >> 6) % std::size(kRates)]);
    at += take;
  }
  return 0;
}
