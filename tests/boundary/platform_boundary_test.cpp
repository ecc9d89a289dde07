// The platform boundary: only platform/ includes Linux system headers. Every
// other source file of the tree (tests and benchmarks aside, which may drive
// the system directly) reaches the system through the platform layer; the
// few files that a deliverable lets call a system library themselves are
// named in a table with their reason.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The Linux system headers: a name, or a folder of headers when it ends in '/'.
constexpr std::string_view kLinuxHeaders[] = {
    "termios.h", "sys/",  "unistd.h",    "fcntl.h",     "dlfcn.h",  "linux/",    "asm/",       "poll.h",
    "pthread.h", "pty.h", "dirent.h",    "semaphore.h", "spawn.h",  "syslog.h",  "netinet/",   "arpa/",
    "netdb.h",   "net/",  "libudev.h",   "libusb.h",    "libusb-1.0/",
};

// Where a system header may be included outside platform/, and why.
struct AllowedInclude {
  std::string_view folder;  // relative to the source tree, ending in '/'
  std::string_view header;  // as in kLinuxHeaders
  std::string_view reason;
};
constexpr AllowedInclude kAllowed[] = {
    {"usbdriver/", "libusb.h", "the USB driver library for real radios is built over libusb and is its only caller"},
    {"usbdriver/", "libusb-1.0/", "the USB driver library for real radios is built over libusb and is its only caller"},
};

// Top-level folders that are not checked.
constexpr std::string_view kUncheckedFolders[] = {"platform", "tests", "bench"};

constexpr std::string_view kSourceExtensions[] = {".h", ".hpp", ".c", ".cc", ".cpp"};

// The header that a line includes, null when the line includes nothing.
std::optional<std::string> IncludedHeader(std::string_view line) {
  const auto hash = line.find_first_not_of(" \t");
  if (hash == std::string_view::npos || line[hash] != '#') return std::nullopt;
  line.remove_prefix(hash + 1);
  line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
  if (!line.starts_with("include")) return std::nullopt;
  line.remove_prefix(7);
  line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
  if (line.empty() || (line[0] != '<' && line[0] != '"')) return std::nullopt;
  const char close = line[0] == '<' ? '>' : '"';
  const auto end = line.find(close, 1);
  if (end == std::string_view::npos) return std::nullopt;
  return std::string(line.substr(1, end - 1));
}

// The entry of kLinuxHeaders that the header matches; empty for none.
std::string_view LinuxHeaderEntry(std::string_view header) {
  for (std::string_view entry : kLinuxHeaders) {
    if (entry.ends_with('/') ? header.starts_with(entry) : header == entry) return entry;
  }
  return {};
}

bool IsAllowed(std::string_view relativePath, std::string_view entry) {
  return std::any_of(std::begin(kAllowed), std::end(kAllowed), [&](const AllowedInclude& allowed) {
    return relativePath.starts_with(allowed.folder) && allowed.header == entry;
  });
}

bool IsSourceFile(const fs::path& path) {
  const std::string extension = path.extension().string();
  return std::find(std::begin(kSourceExtensions), std::end(kSourceExtensions), extension) != std::end(kSourceExtensions);
}

// A folder left out of the walk: a checked-out tree's hidden folders and
// any build folder (it holds a CMake cache).
bool IsSkippedFolder(const fs::path& folder) {
  const std::string name = folder.filename().string();
  return name.starts_with('.') || fs::exists(folder / "CMakeCache.txt");
}

// "path:line: #include <header>" for every system header that a file of the
// folder includes without being allowed to.
std::vector<std::string> ForbiddenIncludesUnder(const fs::path& top, const fs::path& folder) {
  std::vector<std::string> found;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_directory() && IsSkippedFolder(it->path())) {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() || !IsSourceFile(it->path())) continue;
    const std::string relative = fs::relative(it->path(), top).generic_string();
    std::ifstream in(it->path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const auto header = IncludedHeader(line);
      if (!header) continue;
      const std::string_view entry = LinuxHeaderEntry(*header);
      if (!entry.empty() && !IsAllowed(relative, entry)) {
        found.push_back(relative + ":" + std::to_string(number) + ": #include <" + *header + ">");
      }
    }
  }
  return found;
}

std::vector<std::string> ForbiddenIncludesInTree(const fs::path& top) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(top)) {
    if (!entry.is_directory() || IsSkippedFolder(entry.path())) continue;
    const std::string name = entry.path().filename().string();
    if (std::find(std::begin(kUncheckedFolders), std::end(kUncheckedFolders), name) != std::end(kUncheckedFolders)) {
      continue;
    }
    const auto more = ForbiddenIncludesUnder(top, entry.path());
    found.insert(found.end(), more.begin(), more.end());
  }
  return found;
}

struct IncludeCase {
  const char* name;
  const char* line;
  const char* header;  // nullptr: the line includes nothing
  bool linux;
};

void PrintTo(const IncludeCase& c, std::ostream* os) { *os << c.name; }

class IncludeLineTable : public ::testing::TestWithParam<IncludeCase> {};

TEST_P(IncludeLineTable, NamesTheHeaderAndWhetherItIsLinuxOwn) {
  const IncludeCase& c = GetParam();
  const auto header = IncludedHeader(c.line);
  if (c.header == nullptr) {
    EXPECT_FALSE(header.has_value()) << c.line;
    return;
  }
  ASSERT_TRUE(header.has_value()) << c.line;
  EXPECT_EQ(*header, c.header);
  EXPECT_EQ(!LinuxHeaderEntry(*header).empty(), c.linux) << *header;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IncludeLineTable,
    ::testing::Values(IncludeCase{"Termios", "#include <termios.h>", "termios.h", true},
                      IncludeCase{"SpacedWithComment", "  #  include <sys/ioctl.h>  // the modem lines", "sys/ioctl.h", true},
                      IncludeCase{"Quoted", "#include \"unistd.h\"", "unistd.h", true},
                      IncludeCase{"LinuxFolder", "#include <linux/serial.h>", "linux/serial.h", true},
                      IncludeCase{"LibusbFolder", "#include <libusb-1.0/libusb.h>", "libusb-1.0/libusb.h", true},
                      IncludeCase{"Libudev", "#include <libudev.h>", "libudev.h", true},
                      IncludeCase{"LocalLibusbHeader", "#include \"libusb_devices.h\"", "libusb_devices.h", false},
                      IncludeCase{"PlatformHeader", "#include \"platform/serial/sys_port.h\"", "platform/serial/sys_port.h", false},
                      IncludeCase{"Cstdio", "#include <cstdio>", "cstdio", false},
                      IncludeCase{"SystemError", "#include <system_error>", "system_error", false},
                      IncludeCase{"CommentedOut", "// #include <termios.h>", nullptr, false},
                      IncludeCase{"NotAnInclude", "#define USES_POLL_H <poll.h>", nullptr, false}),
    [](const ::testing::TestParamInfo<IncludeCase>& info) { return std::string(info.param.name); });

TEST(PlatformBoundary, AllowedIncludesAreKeptToTheirFolder) {
  EXPECT_TRUE(IsAllowed("usbdriver/src/usb_context.h", "libusb.h"));
  EXPECT_FALSE(IsAllowed("usbdriver/src/usb_context.h", "termios.h"));
  EXPECT_FALSE(IsAllowed("usbcomm/src/device.cpp", "libusb.h"));
  for (const AllowedInclude& allowed : kAllowed) {
    EXPECT_FALSE(allowed.reason.empty());
    EXPECT_EQ(LinuxHeaderEntry(allowed.header), allowed.header);
  }
}

// A file that reaches the system past the platform layer is found, with its
// place; one in platform/ is not.
TEST(PlatformBoundary, FindsAnIncludeOutsideThePlatformLayer) {
  const fs::path top = fs::path(::testing::TempDir()) / "boundary_tree";
  fs::remove_all(top);
  fs::create_directories(top / "source/engine");
  fs::create_directories(top / "platform/serial");
  std::ofstream(top / "source/engine/port.cpp") << "#include <string>\n#include <termios.h>\n";
  std::ofstream(top / "platform/serial/port.cpp") << "#include <termios.h>\n";
  EXPECT_EQ(ForbiddenIncludesInTree(top), std::vector<std::string>{"source/engine/port.cpp:2: #include <termios.h>"});
  fs::remove_all(top);
}

TEST(PlatformBoundary, NoFileOutsideThePlatformLayerIncludesALinuxHeader) {
  const fs::path top = QUILLON_SOURCE_DIR;
  ASSERT_TRUE(fs::exists(top / "platform")) << top;
  const std::vector<std::string> found = ForbiddenIncludesInTree(top);
  std::string list;
  for (const auto& line : found) list += line + "\n";
  EXPECT_TRUE(found.empty()) << "Linux headers outside platform/ (move the call behind the platform layer):\n"
                             << list;
}

}  // namespace
