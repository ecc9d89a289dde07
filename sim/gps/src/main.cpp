// gps_sim_serve: serves one simulated GPS chip on a pseudo-terminal.
//   gps_sim_serve [--part NAME] [--com-dir FOLDER --com N]
// Prints the terminal's path, serves until standard input closes, and then
// prints the chip's transcript.

#include <cstdlib>
#include <iostream>
#include <string>

#include "gps_sim/chip_server.h"

namespace {
const char kUsage[] = "usage: gps_sim_serve [--part NAME] [--com-dir FOLDER --com N]\n";
}  // namespace

int main(int argc, char** argv) {
  gps_sim::ChipOptions options;
  std::string folder;
  int com = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--help" || word == "-h") {
      std::cout << kUsage;
      return 0;
    }
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--part") {
      options.part = argv[i + 1];
    } else if (key == "--com-dir") {
      folder = argv[i + 1];
    } else if (key == "--com") {
      com = std::atoi(argv[i + 1]);
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  try {
    gps_sim::FlashPartNamed(options.part);
  } catch (const std::out_of_range&) {
    std::cerr << "gps_sim_serve: unknown flash part " << options.part << "\n";
    return 2;
  }
  if (folder.empty()) folder = std::getenv("QUILLON_COM_DIR") ? std::getenv("QUILLON_COM_DIR") : ".";
  gps_sim::ChipServer server(options);
  if (!server.Start(folder, com)) {
    std::cerr << "gps_sim_serve: cannot open a pseudo-terminal as COM" << com << " in " << folder << "\n";
    return 1;
  }
  std::cout << server.SlavePath() << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  server.Stop();
  for (const std::string& entry : server.Chip().Transcript()) std::cout << entry << "\n";
  return 0;
}
