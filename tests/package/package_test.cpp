// The Debian package as a user installs it: unpacked into a fresh root
// (CTest's package fixtures build it with the build's package target and
// unpack it with dpkg-deb), it holds exactly the program's files and never
// the USB driver stand-in, its control fields name what it needs, its
// documents say what the installed files do, and the
// program started through /usr/bin/vexaload runs from the installed folder
// with the libraries there: it flashes a simulated radio on COM1 and ends on
// TERMINATE_APP.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <fnmatch.h>
#include <sys/stat.h>
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
      "usr/share/icons/hicolor/48x48/apps/vexaload.png",
      "usr/share/icons/hicolor/256x256/apps/vexaload.png",
      "usr/share/icons/hicolor/scalable/apps/vexaload.svg",
      "usr/share/metainfo/invalid.quillon.vexaload.metainfo.xml",
      "usr/share/doc/quillon/copyright",
      "usr/share/doc/quillon/changelog.gz",
      "usr/share/doc/quillon/README.md.gz",
      "usr/share/man/man1/vexaload.1.gz",
      "usr/share/man/man1/Crypt.1.gz",
      "usr/share/lintian/overrides/quillon",
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

// The lines of a text.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Found(const std::string& tool) { return !tool.empty() && tool.find("NOTFOUND") == std::string::npos; }

// Every ELF file the package installs: the two programs and the libraries.
std::vector<std::string> InstalledElfFiles() {
  std::vector<std::string> files = {"vexaload", "Crypt"};
  files.insert(files.end(), kLibraries.begin(), kLibraries.end());
  if (kHasUsbDriver) files.push_back("libQuor_PST.so");
  return files;
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
  // udev applies the rule; xdg-open opens the working folder (File -> Open
  // Working Folder) on a system that has no file manager's opener of its own.
  const std::string recommends = ControlField("Recommends");
  for (const char* package : {"udev", "xdg-utils"}) {
    EXPECT_NE(recommends.find(package), std::string::npos) << "Recommends lacks " << package << ": " << recommends;
  }
}

TEST(InstalledPackage, DesktopEntryIsValidAndNamesTheProgramAndIcon) {
  const fs::path entry = kRoot / "usr/share/applications/vexaload.desktop";
  const std::string text = ReadFile(entry);
  EXPECT_NE(text.find("\nExec=vexaload -user_folder\n"), std::string::npos);
  EXPECT_NE(text.find("\nIcon=vexaload\n"), std::string::npos);
  // The menu leaves the entry out when the program is gone.
  EXPECT_NE(text.find("\nTryExec=vexaload\n"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(kRoot / "usr/bin/vexaload")) << "TryExec names a program the package lacks";
  const std::string validator = QUILLON_DESKTOP_FILE_VALIDATE;
  if (validator.empty() || validator.find("NOTFOUND") != std::string::npos) {
    GTEST_SKIP() << "desktop-file-validate is not installed";
  }
  int status = 0;
  const std::string output = RunCommand(validator + " " + entry.string(), &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "");
}

namespace {

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

}  // namespace

// The icon as menus and panels draw it (48x48) and as the window shows it
// (256x256), each a PNG of its folder's size.
TEST(InstalledPackage, PngIconsHaveTheirFoldersSize) {
  for (const std::uint32_t size : {48u, 256u}) {
    const std::string folder = std::to_string(size) + "x" + std::to_string(size);
    const std::string png = ReadFile(kRoot / "usr/share/icons/hicolor" / folder / "apps/vexaload.png");
    ASSERT_GE(png.size(), 24u) << folder;
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << folder;
    EXPECT_EQ(BigEndian32(png, 16), size) << folder;
    EXPECT_EQ(BigEndian32(png, 20), size) << folder;
  }
}

// The scalable icon is an SVG drawing that says its square drawing area.
TEST(InstalledPackage, ScalableIconIsASquareSvg) {
  const std::string svg = ReadFile(kRoot / "usr/share/icons/hicolor/scalable/apps/vexaload.svg");
  EXPECT_EQ(svg.rfind("<?xml ", 0), 0u);
  EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
  EXPECT_NE(svg.find("viewBox=\"0 0 256 256\""), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

// The AppStream metainfo names the desktop entry the package installs and
// the maker's USB devices, and appstreamcli (when installed) accepts it.
TEST(InstalledPackage, AppStreamMetainfoIsValidAndNamesTheDesktopEntry) {
  const fs::path metainfo = kRoot / "usr/share/metainfo/invalid.quillon.vexaload.metainfo.xml";
  const std::string text = ReadFile(metainfo);
  EXPECT_NE(text.find("<id>invalid.quillon.vexaload</id>"), std::string::npos);
  EXPECT_NE(text.find("<launchable type=\"desktop-id\">vexaload.desktop</launchable>"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(kRoot / "usr/share/applications/vexaload.desktop"));
  for (const char* modalias : {"<modalias>usb:v1D07p*</modalias>", "<modalias>usb:v3E61p*</modalias>"}) {
    EXPECT_NE(text.find(modalias), std::string::npos) << modalias;
  }
  const std::string validator = QUILLON_APPSTREAMCLI;
  if (!Found(validator)) GTEST_SKIP() << "appstreamcli is not installed";
  int status = 0;
  const std::string output = RunCommand(validator + " validate --no-net " + metainfo.string(), &status);
  EXPECT_EQ(status, 0) << output;
  for (const auto& line : Lines(output)) {
    EXPECT_NE(line.rfind("E: ", 0), 0u) << output;
    EXPECT_NE(line.rfind("W: ", 0), 0u) << output;
  }
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

// ---- what a Debian user and maintainer look for ------------------------------

namespace {

struct CompressedDocument {
  const char* installed;  // relative to the root
  const char* source;     // relative to the source folder
  bool whole;             // the source's text as it is (else a part of it)
};

constexpr CompressedDocument kCompressedDocuments[] = {
    {"usr/share/doc/quillon/changelog.gz", "packaging/changelog", true},
    {"usr/share/doc/quillon/README.md.gz", "README.md", false},
    {"usr/share/man/man1/vexaload.1.gz", "packaging/vexaload.1", true},
    {"usr/share/man/man1/Crypt.1.gz", "packaging/Crypt.1", true},
};

// The text of an installed compressed document.
std::string Decompressed(const fs::path& installed) {
  int status = 0;
  std::string text = RunCommand("gzip -dc " + installed.string(), &status);
  EXPECT_EQ(status, 0) << installed;
  return text;
}

}  // namespace

// The changelog, the README and the manual pages are the texts of the
// source (the README the user's part of it), compressed as gzip -9n does: the
// best compression, no file name and no time stamp in the header.
TEST(InstalledPackage, DocumentsAreTheSourcesTextsCompressedWithoutNameOrTime) {
  for (const auto& document : kCompressedDocuments) {
    const fs::path installed = kRoot / document.installed;
    const std::string bytes = ReadFile(installed);
    ASSERT_GE(bytes.size(), 18u) << installed;
    EXPECT_EQ(bytes.substr(0, 3), std::string("\x1f\x8b\x08", 3)) << installed << " is no gzip file";
    EXPECT_EQ(bytes[3] & 0x08, 0) << installed << " names its file";
    EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0')) << installed << " has a time stamp";
    EXPECT_EQ(bytes[8], 2) << installed << " is not compressed at the best level";
    if (document.whole) {
      EXPECT_EQ(Decompressed(installed), ReadFile(fs::path(QUILLON_SOURCE_DIR) / document.source)) << installed;
    }
  }
}

// The installed README is the user's part of the checkout's README: its
// lines, kept whole and in their order, about installing, using the program
// with real radios, the window and remote control, and nothing about
// building or testing from the checkout.
TEST(InstalledPackage, InstalledReadmeIsTheUsersPart) {
  const std::vector<std::string> installed = Lines(Decompressed(kRoot / "usr/share/doc/quillon/README.md.gz"));
  const std::vector<std::string> source = Lines(ReadFile(fs::path(QUILLON_SOURCE_DIR) / "README.md"));
  ASSERT_FALSE(installed.empty());
  auto from = source.begin();
  for (const auto& line : installed) {
    const auto found = std::find(from, source.end(), line);
    ASSERT_NE(found, source.end()) << "not a line of the README, or out of its order: " << line;
    from = found + 1;
  }
  const std::string text = Decompressed(kRoot / "usr/share/doc/quillon/README.md.gz");
  for (const char* heading : {"# Quillon\n", "\n### What the package does to the machine\n",
                              "\n## Using the program with a real radio\n", "\n### On a USB cable\n",
                              "\n## Using the window\n", "\n## Scripts and remote control\n"}) {
    EXPECT_NE(text.find(heading), std::string::npos) << "the user's README lacks " << heading;
  }
  for (const char* checkout : {"setup.sh", "build/", "cmake", "scripts/", "packaging/", "docs/", "tests/",
                               "<!--", "## What the tests need", "## Layout"}) {
    EXPECT_EQ(text.find(checkout), std::string::npos) << "the user's README speaks of the checkout: " << checkout;
  }
}

TEST(InstalledPackage, CopyrightIsMachineReadableAndCarriesTheLicence) {
  const std::string copyright = ReadFile(kRoot / "usr/share/doc/quillon/copyright");
  EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0), 0u);
  EXPECT_NE(copyright.find("\nFiles: *\nCopyright: 2026 the Quillon developers\nLicense: Expat\n"), std::string::npos);
  EXPECT_NE(copyright.find("\nLicense: Expat\n Permission is hereby granted"), std::string::npos);
  const std::string licence = ReadFile(fs::path(QUILLON_SOURCE_DIR) / "LICENSE");
  EXPECT_EQ(licence.rfind("MIT License\n\nCopyright (c) 2026 the Quillon developers\n", 0), 0u);
}

// Every shipped ELF file is linked with relocations read-only and resolved
// at start (RELRO, BIND_NOW) and built with stack protection; the program
// and the platform library, which read what the remote port and the files
// bring, call the checked C library functions.
TEST(InstalledPackage, ShippedFilesAreHardened) {
  const std::string readelf = QUILLON_READELF;
  ASSERT_TRUE(Found(readelf)) << "readelf is not installed";
  for (const auto& file : InstalledElfFiles()) {
    const std::string path = (kRoot / kInstallDir / file).string();
    int status = 0;
    const std::string dynamic = RunCommand(readelf + " -dW " + path, &status);
    ASSERT_EQ(status, 0) << dynamic;
    const bool bindNow = dynamic.find("BIND_NOW") != std::string::npos ||
                         dynamic.find("Flags: NOW") != std::string::npos;
    EXPECT_TRUE(bindNow) << file << " is not linked with -z now:\n" << dynamic;
    const std::string segments = RunCommand(readelf + " -lW " + path, &status);
    EXPECT_NE(segments.find("GNU_RELRO"), std::string::npos) << file << " has no RELRO segment";
    const std::string symbols = RunCommand(readelf + " --dyn-syms -W " + path, &status);
    EXPECT_NE(symbols.find(" __stack_chk_fail"), std::string::npos) << file << " has no stack protection";
    if (file == "vexaload" || file == "libquillon_platform.so") {
      EXPECT_NE(symbols.find("_chk@"), std::string::npos) << file << " calls no checked C library function";
    }
  }
}

// ldd, as a user runs it on the command, finds every library through the
// links in /usr/bin, in the installed folder.
TEST(InstalledPackage, LddFindsEveryLibraryThroughTheLinks) {
  const fs::path folder = fs::canonical(kRoot / kInstallDir);
  for (const char* program : {"vexaload", "Crypt"}) {
    int status = 0;
    const std::string output = RunCommand("ldd " + (kRoot / "usr/bin" / program).string(), &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("not found"), std::string::npos) << program << ":\n" << output;
    std::size_t ours = 0;
    for (const auto& line : Lines(output)) {
      const bool named = std::any_of(kLibraries.begin(), kLibraries.end(), [&](const std::string& library) {
        return line.find(library + " => ") != std::string::npos;
      });
      if (!named) continue;
      ++ours;
      const auto from = line.find(" => ") + 4;
      const fs::path found = line.substr(from, line.find(" (", from) - from);
      std::error_code ec;
      EXPECT_EQ(fs::canonical(found, ec).parent_path(), folder) << program << ": " << line;
    }
    EXPECT_GT(ours, 0u) << program << ":\n" << output;
  }
}

// Installed-Size counts as dpkg does: each file and link in KiB rounded up,
// each folder 1.
TEST(InstalledPackage, InstalledSizeMatchesTheFiles) {
  std::uintmax_t kib = 0;
  for (auto it = fs::recursive_directory_iterator(kRoot); it != fs::recursive_directory_iterator(); ++it) {
    struct stat st {};
    ASSERT_EQ(::lstat(it->path().c_str(), &st), 0) << it->path();
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
      kib += (static_cast<std::uintmax_t>(st.st_size) + 1023) / 1024;
    } else {
      kib += 1;
    }
  }
  EXPECT_EQ(ControlField("Installed-Size"), std::to_string(kib));
}

// lintian, when it is installed, finds no error and no warning: what the
// layout and the program's own texts make is overridden in the package,
// each override with its reason.
TEST(InstalledPackage, LintianFindsNoErrorAndNoWarning) {
  const std::string lintian = QUILLON_LINTIAN;
  if (!Found(lintian)) GTEST_SKIP() << "lintian is not installed";
  int status = 0;
  const std::string output = RunCommand(lintian + " -I --pedantic " + QUILLON_PACKAGE_FILE, &status);
  std::vector<std::string> complaints;
  for (const auto& line : Lines(output)) {
    if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) complaints.push_back(line);
  }
  EXPECT_TRUE(complaints.empty()) << output;
  EXPECT_NE(status, 2) << "lintian did not run:\n" << output;
}

namespace {

// The values of one key of the udev rule's lines that set `wanted`.
std::vector<std::string> RuleMatches(const std::string& rule, const std::string& key, const std::string& wanted) {
  std::vector<std::string> values;
  for (const auto& line : Lines(rule)) {
    if (line.empty() || line[0] == '#' || line.find(wanted) == std::string::npos) continue;
    const std::string start = key + "==\"";
    const auto at = line.find(start);
    if (at == std::string::npos) continue;
    const auto end = line.find('"', at + start.size());
    values.push_back(line.substr(at + start.size(), end - at - start.size()));
  }
  return values;
}

// Whether a udev match value (patterns separated by '|') matches the name.
bool UdevMatches(const std::string& value, const std::string& name) {
  std::istringstream patterns(value);
  for (std::string pattern; std::getline(patterns, pattern, '|');) {
    if (::fnmatch(pattern.c_str(), name.c_str(), 0) == 0) return true;
  }
  return false;
}

}  // namespace

// The rule links ttyUSB0 to ttyUSB18 (COM1 to COM19, what the program
// addresses) and no other adapter, and sets FTDI adapters' latency timer to
// 1 ms.
TEST(InstalledPackage, UdevRuleLinksOnlyTheComPortsTheProgramAddresses) {
  const std::string rule = ReadFile(kRoot / "usr/lib/udev/rules.d/70-quillon.rules");
  const auto linking = RuleMatches(rule, "KERNEL", "SYMLINK+=\"quillon/COM%c\"");
  ASSERT_EQ(linking.size(), 1u) << rule;
  for (int n = 0; n < 40; ++n) {
    EXPECT_EQ(UdevMatches(linking[0], "ttyUSB" + std::to_string(n)), n <= 18) << "ttyUSB" << n;
  }
  EXPECT_FALSE(UdevMatches(linking[0], "ttyUSB"));
  EXPECT_FALSE(UdevMatches(linking[0], "ttyACM0"));
  EXPECT_EQ(RuleMatches(rule, "DRIVER", "ATTR{latency_timer}=\"1\""), std::vector<std::string>{"ftdi_sio"});
}

// The maintainer scripts tell only the devices the rule is about, with a
// change event: the maker's USB radios by vendor id and the USB serial
// adapters. postinst does so when the package is configured, postrm when it
// has been removed.
TEST(InstalledPackage, MaintainerScriptsTriggerOnlyTheRulesDevices) {
  const fs::path control = fs::path(QUILLON_BINARY_DIR) / "tests/package/control";
  fs::remove_all(control);
  int status = 0;
  const std::string output =
      RunCommand(std::string(QUILLON_DPKG_DEB) + " -e " + QUILLON_PACKAGE_FILE + " " + control.string(), &status);
  ASSERT_EQ(status, 0) << output;
  for (const char* script : {"postinst", "postrm"}) {
    const std::string text = ReadFile(control / script);
    ASSERT_FALSE(text.empty()) << "the package has no " << script;
    EXPECT_TRUE((fs::status(control / script).permissions() & fs::perms::owner_exec) != fs::perms::none) << script;
    EXPECT_NE(text.find("udevadm control --reload-rules"), std::string::npos) << script;
    std::size_t triggers = 0;
    for (const auto& line : Lines(text)) {
      if (line.find("udevadm trigger") == std::string::npos) continue;
      ++triggers;
      EXPECT_NE(line.find("--action=change"), std::string::npos) << script << ": " << line;
      const bool matched = line.find("--attr-match=idVendor=") != std::string::npos ||
                           line.find("--sysname-match='ttyUSB*'") != std::string::npos;
      EXPECT_TRUE(matched) << script << " triggers more than the rule's devices: " << line;
    }
    EXPECT_GE(triggers, 2u) << script;
  }
  EXPECT_NE(ReadFile(control / "postinst").find("\"$1\" = configure"), std::string::npos);
  EXPECT_NE(ReadFile(control / "postrm").find("remove|"), std::string::npos);
}

// The maker's USB devices: the seat's user and plugdev may open them, every
// user may read their descriptors (lsusb -v), and a modem manager leaves
// them alone.
TEST(InstalledPackage, UdevRuleOpensTheMakersDevicesAndKeepsModemManagersOff) {
  const std::string rule = ReadFile(kRoot / "usr/lib/udev/rules.d/70-quillon.rules");
  std::vector<std::string> vendors;
  for (const auto& line : Lines(rule)) {
    if (line.empty() || line[0] == '#' || line.find("ATTR{idVendor}==") == std::string::npos) continue;
    const auto at = line.find("ATTR{idVendor}==\"") + 17;
    vendors.push_back(line.substr(at, line.find('"', at) - at));
    for (const char* assignment : {"MODE=\"0664\"", "GROUP=\"plugdev\"", "TAG+=\"uaccess\"",
                                   "ENV{ID_MM_DEVICE_IGNORE}=\"1\""}) {
      EXPECT_NE(line.find(assignment), std::string::npos) << "lacks " << assignment << ": " << line;
    }
  }
  EXPECT_EQ(vendors, (std::vector<std::string>{"1d07", "3e61"}));
}

namespace {

// The items of a manual page's section that are lists of tagged paragraphs
// (.TP, then the tag's line, then the text up to the next macro that ends
// the item): tag -> text.
std::vector<std::pair<std::string, std::string>> ManualItems(const std::string& page, const std::string& section) {
  std::vector<std::pair<std::string, std::string>> items;
  bool inSection = false;
  bool tagNext = false;
  for (const auto& line : Lines(page)) {
    if (line.rfind(".SH ", 0) == 0) {
      inSection = line == ".SH " + section;
      continue;
    }
    if (!inSection) continue;
    if (line == ".TP") {
      tagNext = true;
    } else if (tagNext) {
      items.emplace_back(line, "");
      tagNext = false;
    } else if (!items.empty()) {
      items.back().second += line + "\n";
    }
  }
  return items;
}

struct CryptCall {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  const char* manual;  // what the manual page says of this call under its status
};

}  // namespace

// Each call of the installed Crypt ends with the status its manual page
// lists for it, and the page says which call gives which.
TEST(InstalledPackage, CryptEndsAsItsManualPageSays) {
  const std::string page = Decompressed(kRoot / "usr/share/man/man1/Crypt.1.gz");
  const auto items = ManualItems(page, "EXIT STATUS");
  const std::vector<CryptCall> calls = {
      {"LongHelp", {"--help"}, 0, "\\-\\-help"},
      {"ShortHelp", {"-h"}, 0, "\\-h"},
      {"SlashQuestionMark", {"/?"}, 0, "/?"},
      {"NoArguments", {}, 2, "another number of arguments"},
      {"OtherSwitch", {"/x", "in", "out"}, 2, "another switch"},
      {"MissingSource", {"/d", "no-such-file", "out"}, 1, "could not be read"},
  };
  const fs::path crypt = kRoot / "usr/bin/Crypt";
  for (const auto& call : calls) {
    std::string command = crypt.string();
    for (const auto& argument : call.arguments) command += " '" + argument + "'";
    int status = 0;
    const std::string output = RunCommand("cd " + ::testing::TempDir() + " && " + command, &status);
    EXPECT_EQ(status, call.status) << call.name << ":\n" << output;
    const std::string tag = ".B " + std::to_string(call.status);
    const auto item = std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.first == tag; });
    ASSERT_NE(item, items.end()) << "the manual page lists no status " << call.status;
    EXPECT_NE(item->second.find(call.manual), std::string::npos)
        << call.name << ": the manual's status " << call.status << " does not say \"" << call.manual
        << "\":\n" << item->second;
  }
}

namespace {

bool IsNameCharacter(char c) {
  return std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_';
}

// Whether the name at `at` is a type's name as the run-time type information
// and mangled symbols write it: its length in decimal right before it.
bool IsTypeName(const std::string& bytes, std::size_t at, std::size_t length) {
  const std::string digits = std::to_string(length);
  return at >= digits.size() && bytes.compare(at - digits.size(), digits.size(), digits) == 0;
}

// The names QUILLON_... that a text holds. In a binary file, only those that
// end as C strings end, as a name given to getenv does, and no type's name.
std::set<std::string> QuillonVariables(const std::string& bytes, bool binary) {
  static const std::string kPrefix = "QUILLON_";
  std::set<std::string> names;
  for (auto at = bytes.find(kPrefix); at != std::string::npos; at = bytes.find(kPrefix, at + 1)) {
    auto end = at + kPrefix.size();
    while (end < bytes.size() && IsNameCharacter(bytes[end])) ++end;
    if (end == at + kPrefix.size()) continue;
    if (binary && (end == bytes.size() || bytes[end] != '\0' || IsTypeName(bytes, at, end - at))) continue;
    names.insert(bytes.substr(at, end - at));
  }
  return names;
}

}  // namespace

// Every QUILLON_ variable that the installed programs and libraries name is
// one the program's manual page explains under ENVIRONMENT.
TEST(InstalledPackage, EveryEnvironmentVariableTheProgramReadsIsInItsManualPage) {
  std::set<std::string> documented;
  for (const auto& [tag, text] : ManualItems(Decompressed(kRoot / "usr/share/man/man1/vexaload.1.gz"), "ENVIRONMENT")) {
    for (const auto& name : QuillonVariables(tag, false)) documented.insert(name);
  }
  std::set<std::string> read;
  for (const auto& file : InstalledElfFiles()) {
    for (const auto& name : QuillonVariables(ReadFile(kRoot / kInstallDir / file), true)) read.insert(name);
  }
  ASSERT_FALSE(read.empty()) << "no installed file names a QUILLON_ variable";
  std::vector<std::string> missing;
  std::set_difference(read.begin(), read.end(), documented.begin(), documented.end(), std::back_inserter(missing));
  EXPECT_TRUE(missing.empty()) << "read but not in vexaload(1): " << ::testing::PrintToString(missing);
}
