#pragma once
// Serves one simulated radio on a pseudo-terminal: the host opens the slave
// (through the COM map when it is linked as COMn) as its serial port. The
// front end keeps its own slave open, so the host may close and reopen the
// port as often as it likes; the radio's state stays with the simulator.
// Every chunk the host sends is handed to the radio with the bit rate the
// host set on the slave at that moment. With line timing on, bytes move
// both ways no faster than a line at the host's bit rate carries them.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

  // What serving costs beside the line's own time, in microseconds, for a
  // benchmark that attributes its losses (line timing only).
  struct Timings {
    // From handing the radio the piece that completed a request to handing
    // the line the first byte of its answer.
    std::vector<double> turnaroundUs;
    // How late the pacer let a piece go after the line had carried it, for
    // every piece in either direction.
    std::vector<double> latenessUs;
    // The same for the last piece of each answer, the one the host waits for.
    std::vector<double> lastPieceLatenessUs;
    // When a read took bytes the host had written, and when the last byte
    // of an answer had been written for the host.
    std::vector<LinePacer::Clock::time_point> readsAt;
    std::vector<LinePacer::Clock::time_point> answersSentAt;
  };
  // Starts gathering afresh; TakeTimings hands over what was gathered and
  // stops.
  void StartTimings();
  Timings TakeTimings();

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

  void NoteLateness(LinePacer::Clock::duration late);
  void NoteRead(LinePacer::Clock::time_point at);
  void NoteAnswerSent(LinePacer::Clock::duration lastPieceLate);
  std::atomic<bool> timing_{false};
  std::mutex timingsMutex_;
  Timings timings_;
  LinePacer::Clock::time_point handedAt_{};  // the last piece handed to the radio
  bool answered_ = true;  // the radio sent since that piece
};

}  // namespace radiosim
