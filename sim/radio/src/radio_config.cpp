#include "radiosim/radio_config.h"

namespace radiosim {

std::optional<BootLoaderType> ParseBootLoaderType(const std::string& text) {
  if (text == "harrow") return BootLoaderType::Harrow;
  if (text == "calder") return BootLoaderType::Calder;
  if (text == "bisel") return BootLoaderType::Bisel;
  return std::nullopt;
}

std::optional<PowerOnState> ParsePowerOnState(const std::string& text) {
  if (text == "boot") return PowerOnState::BootLoader;
  if (text == "kernel") return PowerOnState::Kernel;
  return std::nullopt;
}

const char* BootLoaderTypeName(BootLoaderType type) {
  switch (type) {
    case BootLoaderType::Harrow: return "harrow";
    case BootLoaderType::Calder: return "calder";
    case BootLoaderType::Bisel: return "bisel";
  }
  return "unknown";
}

}  // namespace radiosim
