// Feeds arbitrary bytes to the configuration reader and the SET command:
// the bytes up to the first zero byte are a configuration file, the rest are
// SET tokens, one per line. Nothing may crash or read out of bounds, the
// reader must keep every option inside its table, and what the writer
// writes must read back to the same file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/app_settings.h"
#include "shell/config/config_file.h"
#include "shell/config/config_ranges.h"
#include "shell/config/set_option.h"
#include "../fuzz_file.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// A folder with one product file, for the product-map choice; removed when
// the process ends.
const std::string& ProductFolder() {
  static const fuzz_support::ScratchFile product(".qlp");
  static const std::string folder = [] {
    const char text[] = "product RADIO_A, RADIO_B { processor Harrow; }\n";
    const std::string& path = const_cast<fuzz_support::ScratchFile&>(product).Hold(
        reinterpret_cast<const std::uint8_t*>(text), sizeof text - 1);
    return path.substr(0, path.rfind('/') + 1);
  }();
  return folder;
}

// The options the reader keeps inside a range, with the reader's own ranges.
struct BoundedOption {
  int optionId;
  ConfigRange range;
  const char* name;
};

constexpr BoundedOption kBoundedOptions[] = {
    {OPTION_COMM_PROTOCOL, kCommProtocolRange, "comm_protocol"},
    {OPTION_SERIAL_PORT, kSerialPortRange, "serial_port"},
    {OPTION_DATA_RATE, kDataRateRange, "data_rate"},
    {OPTION_DATA_RATE_DIVISOR, kDataRateDivisorRange, "data_rate_divisor"},
    {OPTION_REMOTE_PORT, kRemotePortRange, "remote_port"},
};

void CheckTables(const CAppSettings& s) {
  for (const BoundedOption& option : kBoundedOptions) {
    Require(option.range.Holds(s.GetIntParam(option.optionId)), option.name);
  }
}

std::vector<std::string> Tokens(std::string_view text) {
  std::vector<std::string> tokens;
  while (!text.empty()) {
    const auto end = text.find('\n');
    tokens.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto split = input.find('\0');
  const std::string_view config = input.substr(0, split);
  const std::string_view set = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  const auto noDirectoryChange = [](const std::string&) {};

  CAppSettings settings;
  SetConfigDefaults(settings);
  ApplyConfigText(config, settings, noDirectoryChange);
  CheckTables(settings);

  const std::string written = ConfigFileText(settings, "/fuzz");
  CAppSettings reread;
  SetConfigDefaults(reread);
  ApplyConfigText(written, reread, noDirectoryChange);
  Require(ConfigFileText(reread, "/fuzz") == written, "written file reads back the same");

  int writes = 0;
  SetOptionContext context{settings, ProductFolder(), nullptr, [&writes] { ++writes; }};
  const bool done = ApplySetOption(Tokens(set), context);
  Require(writes == (done ? 1 : 0), "the file is written exactly when SET succeeds");
  return 0;
}
