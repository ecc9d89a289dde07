#pragma once
// A simulated GPS chip served on a pseudo-terminal, linked into a COM folder
// as COMn so that the host opens it by its COM name.

#include <memory>
#include <string>
#include <thread>

#include "gps_sim/gps_chip.h"
#include "platform/pseudo_terminal.h"

namespace gps_sim {

class ChipServer {
 public:
  explicit ChipServer(ChipOptions options = {});
  ~ChipServer();
  ChipServer(const ChipServer&) = delete;
  ChipServer& operator=(const ChipServer&) = delete;

  // Opens the pseudo-terminal, links it as COMn in the folder and starts
  // serving. False when the terminal or the link cannot be made.
  bool Start(const std::string& comFolder, int comNumber);
  void Stop();

  GpsChip& Chip() { return chip_; }
  const std::string& SlavePath() const { return terminal_.SlavePath(); }

 private:
  GpsChip chip_;
  platform::PseudoTerminal terminal_;
  std::unique_ptr<ByteLink> link_;
  std::thread thread_;
};

}  // namespace gps_sim
