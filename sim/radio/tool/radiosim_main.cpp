// radiosim: serves one simulated radio on a pseudo-terminal, linked as COMn
// into a folder, until it is interrupted (or for a given time).
//
//   radiosim --dir FOLDER --com N [--boot harrow|calder|bisel]
//            [--power-on boot|kernel] [--divisor N] [--strict]
//            [--fault KIND[:COUNT][@REQUEST]]... [--transcript FILE]
//            [--name TARGET] [--seconds N]

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
};

const char kUsage[] =
    "usage: radiosim --dir FOLDER --com N [--boot harrow|calder|bisel] [--power-on boot|kernel]\n"
    "                [--divisor N] [--strict] [--fault KIND[:COUNT][@REQUEST]]...\n"
    "                [--transcript FILE] [--name TARGET] [--seconds N]\n";

std::optional<long> Number(const std::string& text) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return std::nullopt;
  return value;
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
      return bad("unknown option " + arg);
    }
  }
  if (options.folder.empty() || options.com == 0) {
    std::fprintf(stderr, "radiosim: --dir and --com are needed\n%s", kUsage);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;

  options.config.transcriptFile = options.transcript;
  radiosim::RadioSimulator radio(options.config);
  if (!radio.TranscriptFileOpen()) {
    std::fprintf(stderr, "radiosim: cannot write the transcript %s\n", options.transcript.c_str());
    return 1;
  }
  for (const auto& fault : options.faults) radio.AddFault(fault);

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
  std::fflush(stdout);

  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
  while (!stopRequested && (options.seconds < 0 || std::chrono::steady_clock::now() < end))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  front.Stop();
  return 0;
}
