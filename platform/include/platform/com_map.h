#pragma once
// The one map from COM port numbers to devices, shared by every subsystem.
//
// COMn is the device or symbolic link named "COMn" in the COM folder (the
// environment variable QUILLON_COM_DIR, default /dev/quillon, which a udev
// rule can fill), else /dev/ttyS<n-1>. The reverse look-up (device to COM
// number) reads the same map, so a test points COMn at a simulator's
// pseudo-terminal by linking it into a folder of its own.

#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr const char* kComDirVariable = "QUILLON_COM_DIR";
inline constexpr const char* kDefaultComDir = "/dev/quillon";

std::string ComDirectory();
// The device path of COMn (n >= 1).
std::string ComDevicePath(int n);
// The COM number in a port name: "COM3", "com3", "\\.\COM3" give 3; any
// other text gives nullopt.
std::optional<int> ParseComName(const std::string& name);
// A COM name resolved to its device path; any other name is a path already.
std::string ResolvePortName(const std::string& name);
// For a COM name whose link is not in the COM map folder, the link's path
// ("/dev/quillon/COM3"): the entry the user has to make. Nothing for other
// names and for links that are there.
std::optional<std::string> MissingComLink(const std::string& name);
// The COM number whose map entry is the device (compared after resolving
// links), or nullopt.
std::optional<int> ComNumberOfDevice(const std::string& devicePath);
// Every COM number the map knows, ascending: the COMn entries of the COM
// folder and the /dev/ttyS devices.
std::vector<int> EnumerateComPorts();

}  // namespace platform
