#pragma once
// The configuration file: the options of the shared settings kept between
// runs, one "key=value" line each. The user-I/O thread sets the defaults,
// reads the file over them at start-up and rewrites it whenever options
// change and when the program ends.

#include <functional>
#include <string>
#include <string_view>

class CAppSettings;

// The base address of the update server until the configuration names one.
inline constexpr const char* kDefaultServerAddress = "http://updates.quillon.invalid/products/";

void SetConfigDefaults(CAppSettings& settings);

// Changes the process's current directory (a failure is ignored); the
// reader calls it for current_working_directory.
using ChangeDirectoryFunction = std::function<void(const std::string&)>;
void ChangeCurrentDirectory(const std::string& path);

// Applies the lines of a configuration file (LF or CR LF) over the settings.
// Unknown keys, comments, lines without "=" and values outside an option's
// range are skipped without a message.
void ApplyConfigText(std::string_view text, CAppSettings& settings,
                     const ChangeDirectoryFunction& changeDirectory = ChangeCurrentDirectory);

// Logs "Reading configuration file <path>", creates a missing file empty and
// applies it. False when the file can be neither read nor created.
bool ReadConfigFile(const std::string& path, CAppSettings& settings);

// The 19 lines the writer puts in the file, in their order.
std::string ConfigFileText(const CAppSettings& settings, const std::string& currentDirectory);

enum class ConfigWriteResult { Written, ReadOnly, Failed };

// Logs "Writing configuration file <path>". A read-only file is never
// written: its error line is logged and the error box posted. Otherwise the
// file is replaced as a whole (temporary file and rename); a failed write
// leaves the old file and logs an error line.
ConfigWriteResult WriteConfigFile(const std::string& path, const CAppSettings& settings);

// Logs "Updating configuration parameters", then mode 0 reads and mode 1
// writes; other modes do nothing more. A write that fails throws the
// application's exception after its error line.
void SyncConfigFile(int mode, const std::string& path, CAppSettings& settings);
