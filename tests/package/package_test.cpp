// The Debian package as a user installs it: unpacked into a fresh root
// (CTest's package fixtures build it with the build's package target and
// unpack it with dpkg-deb), it holds exactly the program's files and never
// the USB driver stand-in, its control fields name what it needs, and the
// program started through /usr/bin/vexaload runs from the installed folder
// with the libraries there: it flashes a simulated radio on COM1 and ends on
// TERMINATE_APP.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "program_fixture.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = QUILLON_PACKAGE_ROOT;
const std::string kInstallDir = QUILLON_INSTALL_DIR;  // usr/lib/quillon
constexpr bool kHasUsbDriver = QUILLON_PACKAGE_HAS_USB_DRIVER != 0;

// The libraries the installed program links or loads by name.
const std::vector<std::string> kLibraries = {
    "libquillon_platform.so", "libpellwick.so", "libambrel.so",  "libKovrin.so",
    "libgantrel.so",          "liblumbrapack.so", "libRalix_DLL.so", "libWRTdev.so"};
// The ones a freshly started program holds: those it links, and the USB
// driver that the USB communication library loads at start-up.
std::vector<std::string> StartupLibraries() {
  std::vector<std::string> libraries = {"libquillon_platform.so", "libpellwick.so", "libambrel.so",
                                        "liblumbrapack.so", "libRalix_DLL.so"};
  if (QUILLON_PACKAGE_HAS_USB_DRIVER != 0) libraries.push_back("libQuor_PST.so");
  return libraries;
}

// Every file and link the package holds, relative to the root.
std::set<std::string> ExpectedFiles() {
  std::set<std::string> files = {
      "usr/bin/vexaload",
      "usr/bin/Crypt",
      kInstallDir + "/vexaload",
      kInstallDir + "/Crypt",
      "usr/lib/udev/rules.d/70-quillon.rules",
      "usr/share/applications/vexaload.desktop",
      "usr/share/icons/hicolor/256x256/apps/vexaload.png",
  };
  for (const auto& library : kLibraries) files.insert(kInstallDir + "/" + library);
  if (kHasUsbDriver) files.insert(kInstallDir + "/libQuor_PST.so");
  return files;
}

std::set<std::string> InstalledFiles() {
  std::set<std::string> files;
  for (auto it = fs::recursive_directory_iterator(kRoot); it != fs::recursive_directory_iterator(); ++it) {
    if (!it->is_directory() || it->is_symlink()) files.insert(it->path().lexically_relative(kRoot).string());
  }
  return files;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a command; its standard output, and its exit status in *status.
std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    *status = -1;
    return output;
  }
  std::array<char, 4096> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), got);
  const int result = pclose(pipe);
  *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

std::string ControlField(const std::string& field) {
  int status = 0;
  std::string value = RunCommand(std::string(QUILLON_DPKG_DEB) + " -f " + QUILLON_PACKAGE_FILE + " " + field, &status);
  EXPECT_EQ(status, 0) << value;
  while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
  return value;
}

}  // namespace

TEST(InstalledPackage, HoldsExactlyTheProgramsFiles) {
  const auto installed = InstalledFiles();
  const auto expected = ExpectedFiles();
  std::vector<std::string> missing, extra;
  std::set_difference(expected.begin(), expected.end(), installed.begin(), installed.end(),
                      std::back_inserter(missing));
  std::set_difference(installed.begin(), installed.end(), expected.begin(), expected.end(),
                      std::back_inserter(extra));
  EXPECT_TRUE(missing.empty()) << "missing: " << ::testing::PrintToString(missing);
  EXPECT_TRUE(extra.empty()) << "not expected: " << ::testing::PrintToString(extra);
}

TEST(InstalledPackage, ProgramsAreRelativeLinksIntoTheInstalledFolder) {
  for (const char* program : {"vexaload", "Crypt"}) {
    const fs::path link = kRoot / "usr/bin" / program;
    ASSERT_TRUE(fs::is_symlink(link)) << link;
    EXPECT_EQ(fs::read_symlink(link), fs::path("../lib/quillon") / program);
    EXPECT_TRUE(fs::is_regular_file(kRoot / kInstallDir / program));
  }
}

// The stand-in serves simulated radios over a Unix socket; the installed
// driver library is the one over libusb, or none at all.
TEST(InstalledPackage, UsbDriverIsTheLibusbOneNeverTheStandIn) {
  const fs::path driver = kRoot / kInstallDir / "libQuor_PST.so";
  if (!kHasUsbDriver) {
    EXPECT_FALSE(fs::exists(driver)) << "the package holds the USB driver stand-in";
    return;
  }
  ASSERT_TRUE(fs::is_regular_file(driver));
  const std::string bytes = ReadFile(driver);
  EXPECT_NE(bytes.find("libusb-1.0.so"), std::string::npos) << "the installed driver does not link libusb";
  EXPECT_EQ(bytes.find("QUOR_PST_SOCKET"), std::string::npos) << "the installed driver is the stand-in";
}

// Every installed program and library finds each library it links: the
// suite's own in the installed folder (RUNPATH $ORIGIN), none missing.
TEST(InstalledPackage, EachFileFindsItsLibrariesInTheInstalledFolder) {
  const fs::path folder = kRoot / kInstallDir;
  std::vector<std::string> files = {"vexaload", "Crypt"};
  files.insert(files.end(), kLibraries.begin(), kLibraries.end());
  if (kHasUsbDriver) files.push_back("libQuor_PST.so");
  for (const auto& file : files) {
    int status = 0;
    const std::string output = RunCommand("ldd " + (folder / file).string(), &status);
    EXPECT_EQ(status, 0) << file << ":\n" << output;
    EXPECT_EQ(output.find("not found"), std::string::npos) << file << ":\n" << output;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
      const auto arrow = line.find(" => ");
      if (arrow == std::string::npos) continue;
      const std::string name = line.substr(0, arrow);
      const bool ours = std::any_of(kLibraries.begin(), kLibraries.end(),
                                    [&](const std::string& library) { return name.find(library) != std::string::npos; });
      if (!ours) continue;
      EXPECT_NE(line.find(fs::canonical(folder).string() + "/"), std::string::npos) << file << ": " << line;
    }
  }
}

TEST(InstalledPackage, ControlFieldsNameThePackageAndWhatItNeeds) {
  EXPECT_EQ(ControlField("Package"), "quillon");
  EXPECT_FALSE(ControlField("Version").empty());
  EXPECT_FALSE(ControlField("Maintainer").empty());
  const std::string depends = ControlField("Depends");
  std::vector<std::string> needed = {"libqt6widgets6", "libcurl4", "libudev1", "libstdc++6"};
  if (kHasUsbDriver) needed.push_back("libusb-1.0-0");
  for (const auto& package : needed) {
    EXPECT_NE(depends.find(package), std::string::npos) << "Depends lacks " << package << ": " << depends;
  }
}

TEST(InstalledPackage, DesktopEntryIsValidAndNamesTheProgramAndIcon) {
  const fs::path entry = kRoot / "usr/share/applications/vexaload.desktop";
  const std::string text = ReadFile(entry);
  EXPECT_NE(text.find("\nExec=vexaload\n"), std::string::npos);
  EXPECT_NE(text.find("\nIcon=vexaload\n"), std::string::npos);
  const std::string validator = QUILLON_DESKTOP_FILE_VALIDATE;
  if (validator.empty() || validator.find("NOTFOUND") != std::string::npos) {
    GTEST_SKIP() << "desktop-file-validate is not installed";
  }
  int status = 0;
  const std::string output = RunCommand(validator + " " + entry.string(), &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "");
}

TEST(InstalledPackage, IconIsA256PixelPng) {
  const std::string png = ReadFile(kRoot / "usr/share/icons/hicolor/256x256/apps/vexaload.png");
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  auto be32 = [&](std::size_t at) {
    return (std::uint32_t{static_cast<std::uint8_t>(png[at])} << 24) |
           (std::uint32_t{static_cast<std::uint8_t>(png[at + 1])} << 16) |
           (std::uint32_t{static_cast<std::uint8_t>(png[at + 2])} << 8) | std::uint32_t{static_cast<std::uint8_t>(png[at + 3])};
  };
  EXPECT_EQ(be32(16), 256u);
  EXPECT_EQ(be32(20), 256u);
}

namespace {

// The process of the installed program whose working folder is the
// program fixture's, or 0.
int InstalledProgramProcess(const std::string& folder) {
  const fs::path executable = fs::canonical(kRoot / kInstallDir / "vexaload");
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::error_code ec;
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (fs::read_symlink(entry.path() / "exe", ec) != executable || ec) continue;
    const auto cwd = fs::read_symlink(entry.path() / "cwd", ec);
    if (!ec && fs::equivalent(cwd, folder, ec)) return std::stoi(name);
  }
  return 0;
}

// The files of the process's mapped shared objects.
std::set<std::string> MappedLibraries(int pid) {
  std::set<std::string> files;
  std::istringstream maps(ReadFile("/proc/" + std::to_string(pid) + "/maps"));
  std::string line;
  while (std::getline(maps, line)) {
    const auto slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash);
    if (path.find(".so") != std::string::npos) files.insert(path);
  }
  return files;
}

}  // namespace

// Started through the link in /usr/bin from a working folder, the program
// reads NAME.cfg and writes NAME.log there, runs with the libraries of the
// installed folder (none from the build), the USB driver among them,
// flashes a simulated radio on COM1 and ends with status 0 on TERMINATE_APP.
TEST(InstalledProgram, RunsFromTheInstalledFolderFlashesAndEnds) {
  e2e::Program program;
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(e2e::ProductRadio());
  constexpr std::uint32_t kAddress = 0x10000;
  const auto image = test_support::Pattern(e2e::kSectorSize, 0x5A);
  test_support::WriteSRecordFile(program.File("image.s19"), {{kAddress, image}}, kAddress);
  ASSERT_TRUE(program.Start());
  // The USB driver is loaded at start-up: the one over libusb from the
  // installed folder; a package without it says the driver did not start.
  EXPECT_TRUE(program.WaitLog(kHasUsbDriver ? "USB> Driver successfully intialized on Windows XP"
                                            : "USB> Driver unsuccessfully initialized on Windows XP"));

  const int pid = InstalledProgramProcess(program.Dir());
  ASSERT_NE(pid, 0) << "no process runs " << (kRoot / kInstallDir / "vexaload") << " in " << program.Dir();
  const fs::path installed = fs::canonical(kRoot / kInstallDir);
  const std::set<std::string> mapped = MappedLibraries(pid);
  for (const auto& library : StartupLibraries()) {
    EXPECT_EQ(mapped.count((installed / library).string()), 1u) << library << " is not mapped from " << installed;
  }
  for (const auto& file : mapped) {
    EXPECT_EQ(file.rfind(QUILLON_BINARY_DIR "/bin/", 0), std::string::npos) << "loaded from the build: " << file;
  }

  e2e::LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());
  ASSERT_TRUE(client.Send("FLASH image.s19"));
  ASSERT_TRUE(client.Send("TERMINATE_APP"));
  EXPECT_EQ(program.WaitForExit(std::chrono::seconds(120)), 0);
  EXPECT_EQ(radio.GetFlash(kAddress, e2e::kSectorSize), image);
  EXPECT_TRUE(program.Exists(std::string(e2e::kTitle) + ".log"));
}
