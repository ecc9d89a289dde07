#include "shell/config/config_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/core/app_settings.h"
#include "engine/quillon_exception.h"
#include "platform/file_finder.h"
#include "platform/file_io.h"
#include "shell/config/config_ranges.h"
#include "shell/config/decimal_text.h"
#include "shell/log/post_log_line.h"

namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
  return text;
}

std::string KeyOf(std::string_view part) {
  std::string key;
  for (char c : part) {
    if (c != ' ') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return std::string(Trim(key));
}

// One key of the file and what its value does.
struct ConfigKey {
  const char* name;
  void (*apply)(CAppSettings&, const std::string&);
};

template <int Id>
void SetNumber(CAppSettings& s, const std::string& v) { s.SetIntParam(Id, ParseDecimal(v)); }
template <int Id>
void SetFlag(CAppSettings& s, const std::string& v) { s.SetIntParam(Id, ParseDecimal(v) != 0 ? 1 : 0); }
template <int Id>
void SetText(CAppSettings& s, const std::string& v) { s.SetStringParam(Id, v); }
// Values outside their option's table keep the value already set.
template <int Id, ConfigRange Range>
void SetBounded(CAppSettings& s, const std::string& v) {
  const int value = ParseDecimal(v);
  if (Range.Holds(value)) s.SetIntParam(Id, value);
}

const std::array<ConfigKey, 20> kConfigKeys{{
    {"comm_protocol", SetBounded<OPTION_COMM_PROTOCOL, kCommProtocolRange>},
    {"serial_port", SetBounded<OPTION_SERIAL_PORT, kSerialPortRange>},
    {"data_rate", SetBounded<OPTION_DATA_RATE, kDataRateRange>},
    {"data_rate_divisor", SetBounded<OPTION_DATA_RATE_DIVISOR, kDataRateDivisorRange>},
    {"remote_port", SetBounded<OPTION_REMOTE_PORT, kRemotePortRange>},
    {"override_cksum", SetFlag<OPTION_OVERRIDE_CHECKSUM>},
    {"auto_erase_flash", SetFlag<OPTION_AUTO_ERASE_FLASH>},
    {"auto_program_magic_key", SetFlag<OPTION_AUTO_PROGRAM_MAGIC_KEY>},
    {"enable_remote_control", SetFlag<OPTION_ENABLE_REMOTE_CONTROL>},
    {"flash_product_file", SetText<OPTION_PRODUCT_FILE>},
    {"flash_product_tag", SetText<OPTION_PRODUCT_TAG>},
    {"quillon_server", SetText<OPTION_SERVER>},
    {"product_filter", SetNumber<OPTION_PRODUCT_FILTER>},
    {"orvix_enable_chip_selection", SetFlag<OPTION_ORVIX_ENABLE_CHIP_SELECTION>},
    {"orvix_chip_select", SetNumber<OPTION_ORVIX_CHIP_SELECT>},
    {"orvix_chip_offset", SetNumber<OPTION_ORVIX_CHIP_OFFSET>},
    {"orvix_programming_option", SetNumber<OPTION_ORVIX_PROGRAMMING_OPTION>},
    {"always_on_top", SetFlag<OPTION_ALWAYS_ON_TOP>},
    {"enable_smart_flashing", SetFlag<OPTION_ENABLE_SMART_FLASHING>},
    {"max_recent_files", [](CAppSettings& s, const std::string& v) { s.SetAppInt(APP_INT_MAX_RECENT_FILES, ParseDecimal(v)); }},
}};

void ApplyLine(std::string_view raw, CAppSettings& settings, const ChangeDirectoryFunction& changeDirectory) {
  const std::string_view line = Trim(raw);
  if (line.empty() || line.front() == '#') return;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return;
  const std::string key = KeyOf(line.substr(0, equals));
  const std::string value(Trim(line.substr(equals + 1)));
  if (key == "recent_files") {
    settings.SetAppString(APP_STRING_RECENT_FILE, value);
    return;
  }
  if (key == "current_working_directory") {
    if (changeDirectory) changeDirectory(value);
    return;
  }
  for (const ConfigKey& entry : kConfigKeys) {
    if (key == entry.name) {
      entry.apply(settings, value);
      return;
    }
  }
}

std::string CurrentDirectory() {
  std::error_code ec;
  const auto path = std::filesystem::current_path(ec);
  return ec ? std::string() : path.string();
}

}  // namespace

void SetConfigDefaults(CAppSettings& s) {
  s.SetIntParam(OPTION_SERIAL_PORT, 0);
  s.SetIntParam(OPTION_DATA_RATE, 0);
  s.SetIntParam(OPTION_DATA_RATE_DIVISOR, 0);
  s.SetIntParam(OPTION_COMM_PROTOCOL, 1);
  s.SetIntParam(OPTION_REMOTE_PORT, 4000);
  s.SetIntParam(OPTION_OVERRIDE_CHECKSUM, 0);
  s.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
  s.SetIntParam(OPTION_AUTO_PROGRAM_MAGIC_KEY, 0);
  s.SetIntParam(OPTION_ENABLE_REMOTE_CONTROL, 0);
  s.SetStringParam(OPTION_PRODUCT_FILE, "Quor_Plover.qlp");
  s.SetStringParam(OPTION_PRODUCT_TAG, "Vexa_Series");
  s.SetStringParam(OPTION_SERVER, kDefaultServerAddress);
  s.SetIntParam(OPTION_PRODUCT_FILTER, 0);
  s.SetIntParam(OPTION_ORVIX_ENABLE_CHIP_SELECTION, 0);
  s.SetIntParam(OPTION_ORVIX_CHIP_SELECT, 0);
  s.SetIntParam(OPTION_ORVIX_CHIP_OFFSET, 0);
  s.SetIntParam(OPTION_ORVIX_PROGRAMMING_OPTION, 0);
  s.SetIntParam(OPTION_ALWAYS_ON_TOP, 1);
  s.SetIntParam(OPTION_ENABLE_SMART_FLASHING, 1);
}

void ChangeCurrentDirectory(const std::string& path) {
  std::error_code ignored;
  std::filesystem::current_path(path, ignored);
}

void ApplyConfigText(std::string_view text, CAppSettings& settings, const ChangeDirectoryFunction& changeDirectory) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    ApplyLine(text.substr(0, end), settings, changeDirectory);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool ReadConfigFile(const std::string& path, CAppSettings& settings) {
  PostLogLine("Reading configuration file " + path);
  { std::ofstream create(path, std::ios::binary | std::ios::app); }
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return false;
  ApplyConfigText(text, settings);
  return true;
}

std::string ConfigFileText(const CAppSettings& s, const std::string& currentDirectory) {
  std::ostringstream out;
  const auto number = [&](const char* key, int id) { out << key << '=' << s.GetIntParam(id) << '\n'; };
  number("comm_protocol", OPTION_COMM_PROTOCOL);
  number("serial_port", OPTION_SERIAL_PORT);
  number("data_rate", OPTION_DATA_RATE);
  number("data_rate_divisor", OPTION_DATA_RATE_DIVISOR);
  number("remote_port", OPTION_REMOTE_PORT);
  number("override_cksum", OPTION_OVERRIDE_CHECKSUM);
  number("auto_erase_flash", OPTION_AUTO_ERASE_FLASH);
  number("auto_program_magic_key", OPTION_AUTO_PROGRAM_MAGIC_KEY);
  number("enable_remote_control", OPTION_ENABLE_REMOTE_CONTROL);
  out << "flash_product_file=" << s.GetStringParam(OPTION_PRODUCT_FILE) << '\n';
  out << "flash_product_tag=" << s.GetStringParam(OPTION_PRODUCT_TAG) << '\n';
  number("product_filter", OPTION_PRODUCT_FILTER);
  number("orvix_enable_chip_selection", OPTION_ORVIX_ENABLE_CHIP_SELECTION);
  number("orvix_chip_select", OPTION_ORVIX_CHIP_SELECT);
  number("orvix_chip_offset", OPTION_ORVIX_CHIP_OFFSET);
  number("orvix_programming_option", OPTION_ORVIX_PROGRAMMING_OPTION);
  number("always_on_top", OPTION_ALWAYS_ON_TOP);
  number("enable_smart_flashing", OPTION_ENABLE_SMART_FLASHING);
  out << "current_working_directory=" << currentDirectory << '\n';
  return out.str();
}

ConfigWriteResult WriteConfigFile(const std::string& path, const CAppSettings& settings) {
  PostLogLine("Writing configuration file " + path);
  if (platform::IsReadOnlyFile(path)) {
    PostLogLine("Error> Configuration file is read only. Settings changes will not be saved.");
    PostErrorPrompt();
    return ConfigWriteResult::ReadOnly;
  }
  if (!platform::WriteFileAtomically(path, ConfigFileText(settings, CurrentDirectory()))) {
    PostLogLine("Error> Unable to write configuration file " + path);
    return ConfigWriteResult::Failed;
  }
  return ConfigWriteResult::Written;
}

void SyncConfigFile(int mode, const std::string& path, CAppSettings& settings) {
  PostLogLine("Updating configuration parameters");
  if (mode == 0) {
    ReadConfigFile(path, settings);
  } else if (mode == 1) {
    if (WriteConfigFile(path, settings) == ConfigWriteResult::Failed) throw QUILLON_ERROR;
  }
}
