// radiosim: serves one simulated radio on a pseudo-terminal, linked as COMn
// into a folder, until it is interrupted (or for a given time).
//
//   radiosim --dir FOLDER --com N [--boot harrow|calder|bisel]
//            [--power-on boot|kernel] [--divisor N] [--strict]
//            [--fault KIND[:COUNT][@REQUEST]]... [--transcript FILE]
//            [--name TARGET] [--seconds N]
//            [--flash-base ADDR] [--sectors LAYOUT] [--flash-image FILE]
//            [--protect N,N...] [--ram START:SIZE,...] [--smart-buffer N]
//            [--smart-rate BYTES_PER_S] [--line-timing] [--custom HEX=TEXT]...
//            [--gps-chip PART [--gps-flash-out FILE]]
//
// With --gps-chip a simulated GPS chip of that flash part sits behind the
// radio's second serial port, as in a real radio; --gps-flash-out writes
// the chip's flash to a file when radiosim ends.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gps_sim/flash_geometry.h"
#include "radio_gps_sim/gps_chip_behind_radio.h"
#include "radiosim/pty_front_end.h"
#include "radiosim/radio_simulator.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

struct Options {
  radiosim::RadioConfig config;
  std::vector<radiosim::Fault> faults;
  std::string folder;
  int com = 0;
  std::string transcript;
  long seconds = -1;
  std::string flashImage;
  std::string gpsPart;
  std::string gpsFlashOut;
};

const char kUsage[] =
    "usage: radiosim --dir FOLDER --com N [--boot harrow|calder|bisel] [--power-on boot|kernel]\n"
    "                [--divisor N] [--strict] [--fault KIND[:COUNT][@REQUEST]]...\n"
    "                [--transcript FILE] [--name TARGET] [--seconds N]\n"
    "                [--flash-base ADDR] [--sectors LAYOUT] [--flash-image FILE]\n"
    "                [--protect N,N...] [--ram START:SIZE,...] [--smart-buffer N]\n"
    "                [--smart-rate BYTES_PER_S] [--line-timing] [--custom HEX=TEXT]...\n"
    "                [--gps-chip PART [--gps-flash-out FILE]]\n";

std::optional<long> Number(const std::string& text) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return std::nullopt;
  return value;
}

// A 32-bit number in decimal or 0x hex.
std::optional<std::uint32_t> Address(const std::string& text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || text[0] == '-' || *end != '\0' || value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

bool KnownGpsPart(const std::string& name) {
  try {
    gps_sim::FlashPartNamed(name);
    return true;
  } catch (const std::out_of_range&) {
    return false;
  }
}

// Takes the flash option arguments; false with why for a bad one.
bool ParseFlashOption(const std::string& arg, const std::string& text, Options& options, std::string& why) {
  auto& config = options.config;
  if (arg == "--flash-base") {
    auto base = Address(text);
    if (!base) return why = "bad flash base " + text, false;
    config.flashBase = *base;
  } else if (arg == "--sectors") {
    auto layout = radiosim::ParseSectorLayout(text);
    if (!layout) return why = "bad sector layout " + text, false;
    config.sectorLayout = *layout;
  } else if (arg == "--flash-image") {
    options.flashImage = text;
  } else if (arg == "--protect") {
    auto sectors = radiosim::ParseSectorList(text);
    if (!sectors) return why = "bad sector list " + text, false;
    config.protectedSectors = *sectors;
  } else if (arg == "--ram") {
    auto regions = radiosim::ParseRamRegions(text);
    if (!regions) return why = "bad RAM regions " + text, false;
    config.ramRegions = *regions;
  } else if (arg == "--smart-buffer" || arg == "--smart-rate") {
    auto n = Address(text);
    if (!n) return why = "bad number " + text, false;
    (arg == "--smart-buffer" ? config.smartBufferSize : config.smartWriteRate) = *n;
  } else if (arg == "--gps-chip") {
    if (!KnownGpsPart(text)) return why = "unknown GPS flash part " + text, false;
    options.gpsPart = text;
  } else if (arg == "--gps-flash-out") {
    options.gpsFlashOut = text;
  } else if (arg == "--custom") {
    const auto equals = text.find('=');
    auto request = radiosim::ParseHexBytes(text.substr(0, equals));
    if (equals == std::string::npos || !request) return why = "bad custom reply " + text, false;
    config.customReplies[*request] = radiosim::TextReply(text.substr(equals + 1));
  } else {
    return why = "unknown option " + arg, false;
  }
  return true;
}

// Loads the initial flash image at the flash base; false with a message.
bool LoadFlashImage(const std::string& path, radiosim::RadioSimulator& radio) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "radiosim: cannot read the flash image %s\n", path.c_str());
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!radio.SetFlash(radio.FlashBase(), bytes)) {
    std::fprintf(stderr, "radiosim: the flash image %s (%zu bytes) is larger than the flash\n", path.c_str(),
                 bytes.size());
    return false;
  }
  return true;
}

// Fills the options; a message on stderr and false for anything wrong.
bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    auto bad = [&](const std::string& why) {
      std::fprintf(stderr, "radiosim: %s\n%s", why.c_str(), kUsage);
      return false;
    };
    if (arg == "--strict") {
      options.config.strictRate = true;
      continue;
    }
    if (arg == "--line-timing") {
      options.config.lineTiming = true;
      continue;
    }
    auto text = value();
    if (!text) return bad(arg + " needs a value");
    if (arg == "--dir") {
      options.folder = *text;
    } else if (arg == "--com") {
      auto n = Number(*text);
      if (!n || *n < 1 || *n > 255) return bad("bad COM number " + *text);
      options.com = static_cast<int>(*n);
    } else if (arg == "--boot") {
      auto type = radiosim::ParseBootLoaderType(*text);
      if (!type) return bad("unknown boot loader type " + *text);
      options.config.bootLoader = *type;
    } else if (arg == "--power-on") {
      auto state = radiosim::ParsePowerOnState(*text);
      if (!state) return bad("unknown power-on state " + *text);
      options.config.powerOn = *state;
    } else if (arg == "--divisor") {
      auto n = Number(*text);
      if (!n || *n < 1 || *n > 64) return bad("bad divisor " + *text);
      options.config.divisor = static_cast<std::uint32_t>(*n);
    } else if (arg == "--fault") {
      auto fault = radiosim::ParseFault(*text);
      if (!fault) return bad("bad fault " + *text);
      options.faults.push_back(*fault);
    } else if (arg == "--transcript") {
      options.transcript = *text;
    } else if (arg == "--name") {
      options.config.targetName = *text;
    } else if (arg == "--seconds") {
      auto n = Number(*text);
      if (!n || *n < 0) return bad("bad time " + *text);
      options.seconds = *n;
    } else {
      std::string why;
      if (!ParseFlashOption(arg, *text, options, why)) return bad(why);
    }
  }
  if (auto problem = radiosim::CheckConfig(options.config); !problem.empty()) {
    std::fprintf(stderr, "radiosim: %s\n%s", problem.c_str(), kUsage);
    return false;
  }
  if (!options.gpsFlashOut.empty() && options.gpsPart.empty()) {
    std::fprintf(stderr, "radiosim: --gps-flash-out needs --gps-chip\n%s", kUsage);
    return false;
  }
  if (options.folder.empty() || options.com == 0) {
    std::fprintf(stderr, "radiosim: --dir and --com are needed\n%s", kUsage);
    return false;
  }
  return true;
}

bool AsksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return true;
  }
  return false;
}

// Writes the GPS chip's flash to the file through a temporary file, so the
// file is whole or absent.
bool SaveGpsFlash(const std::string& path, const std::vector<std::uint8_t>& flash) {
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(flash.data()), static_cast<std::streamsize>(flash.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "radiosim: cannot write the GPS chip's flash to %s\n", path.c_str());
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "radiosim: cannot write the GPS chip's flash to %s\n", path.c_str());
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;

  options.config.transcriptFile = options.transcript;
  radiosim::RadioSimulator radio(options.config);
  if (!radio.TranscriptFileOpen()) {
    std::fprintf(stderr, "radiosim: cannot write the transcript %s\n", options.transcript.c_str());
    return 1;
  }
  for (const auto& fault : options.faults) radio.AddFault(fault);
  if (!options.flashImage.empty() && !LoadFlashImage(options.flashImage, radio)) return 1;

  std::unique_ptr<radio_gps_sim::GpsChipBehindRadio> gpsChip;
  if (!options.gpsPart.empty()) {
    gps_sim::ChipOptions chipOptions;
    chipOptions.part = options.gpsPart;
    gpsChip = std::make_unique<radio_gps_sim::GpsChipBehindRadio>(radio, chipOptions);
  }

  radiosim::PtyFrontEnd front(radio);
  if (!front.Start()) {
    std::fprintf(stderr, "radiosim: cannot open a pseudo-terminal\n");
    return 1;
  }
  if (!front.LinkAs(options.folder, options.com)) {
    std::fprintf(stderr, "radiosim: cannot link COM%d into %s\n", options.com, options.folder.c_str());
    return 1;
  }
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::printf("radiosim: %s boot loader on %s as %s\n", radiosim::BootLoaderTypeName(options.config.bootLoader),
              front.SlavePath().c_str(), front.LinkPath().c_str());
  if (gpsChip) std::printf("radiosim: GPS chip %s behind the second serial port\n", options.gpsPart.c_str());
  std::fflush(stdout);

  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
  while (!stopRequested && (options.seconds < 0 || std::chrono::steady_clock::now() < end))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  front.Stop();
  if (!gpsChip) return 0;
  const auto gpsFlash = gpsChip->Chip().Flash();
  gpsChip.reset();
  if (!options.gpsFlashOut.empty() && !SaveGpsFlash(options.gpsFlashOut, gpsFlash)) return 1;
  return 0;
}
