#pragma once
// The line a device process sends when it attaches to the data plane:
//   ATTACH <device id> <interface>[,<interface>...] [<out ep size> <in ep size>]

#include <cstdint>
#include <optional>
#include <string>

namespace quor_pst {

struct AttachRequest {
  std::uint16_t device = 0;
  unsigned interfaces = 0;  // QUOR_SIM_* bits
  std::int16_t outEpSize = 64;
  std::int16_t inEpSize = 64;
};

struct AttachParse {
  std::optional<AttachRequest> request;
  std::string error;  // the reason word of the ERROR answer when request is empty
};

AttachParse ParseAttachLine(const std::string& line);

// The interface bit of an interface name; 0 for an unknown name.
unsigned InterfaceBitOf(const std::string& name);

}  // namespace quor_pst
