#pragma once
// Serves one simulated radio on a pseudo-terminal: the host opens the slave
// (through the COM map when it is linked as COMn) as its serial port. The
// front end keeps its own slave open, so the host may close and reopen the
// port as often as it likes; the radio's state stays with the simulator.
// Every chunk the host sends is handed to the radio with the bit rate the
// host set on the slave at that moment. With line timing on, bytes move
// both ways no faster than a line at the host's bit rate carries them.

#include <atomic>
#include <string>
#include <thread>

#include "platform/pseudo_terminal.h"
#include "radiosim/host_link.h"
#include "radiosim/line_pacer.h"
#include "radiosim/radio_simulator.h"

namespace radiosim {

class PtyFrontEnd : public HostLink {
 public:
  explicit PtyFrontEnd(RadioSimulator& radio);
  ~PtyFrontEnd() override;
  PtyFrontEnd(const PtyFrontEnd&) = delete;
  PtyFrontEnd& operator=(const PtyFrontEnd&) = delete;

  // Opens the pseudo-terminal and starts serving; false when it cannot.
  bool Start();
  // Links the slave into the folder as COMn.
  bool LinkAs(const std::string& folder, int comNumber);
  void Stop();

  const std::string& SlavePath() const { return pty_.SlavePath(); }
  const std::string& LinkPath() const { return pty_.LinkPath(); }

  void SendToHost(std::span<const std::uint8_t> bytes) override;

 private:
  void Serve();
  void ServeTimed();
  void Deliver(std::span<const std::uint8_t> bytes, std::uint32_t rate, LinePacer::Clock::time_point written);

  RadioSimulator& radio_;
  platform::PseudoTerminal pty_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  bool sentSinceRead_ = false;  // line timing: the radio sent since the last read
  LinePacer::Clock::time_point seenEmpty_{};  // line timing: the host's side last held no byte
  LinePacer toRadio_;
  LinePacer toHost_;
};

}  // namespace radiosim
