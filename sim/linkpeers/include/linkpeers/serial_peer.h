#pragma once
// A serial peer on a pseudo-terminal, linked into a COM folder as COMn. It
// echoes, answers after a set delay, sends bursts, speaks the radio's side of
// the bisync framing (BisyncPeer), or stays silent; Hangup closes its side as
// an unplugged device does. Everything the host sent is kept for tests.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "linkpeers/bisync_peer.h"
#include "platform/pseudo_terminal.h"

namespace linkpeers {

class SerialPeer {
 public:
  enum class Mode { Silent, Echo, Answer, Bisync };

  SerialPeer();
  ~SerialPeer();
  SerialPeer(const SerialPeer&) = delete;
  SerialPeer& operator=(const SerialPeer&) = delete;

  // Opens the pseudo-terminal, links it as COMn in the folder and serves.
  bool Start(const std::string& folder, int comNumber);
  void Stop();
  // Closes the peer's side: the host sees its device go.
  void Hangup();
  const std::string& SlavePath() const { return pty_.SlavePath(); }
  const std::string& LinkPath() const { return pty_.LinkPath(); }

  void SetMode(Mode mode);
  // Answer mode: after the host's bytes (a quiet gap of 20 ms ends them), wait
  // delay, then send the reply; with echoFirst the request is echoed first,
  // as on a half-duplex line.
  void SetAnswer(std::vector<std::uint8_t> reply, int delayMs, bool echoFirst = false);
  // Bisync mode: the knobs of the radio's side.
  void SetBisyncKnobs(const BisyncKnobs& knobs);

  // Sends bytes to the host now.
  void Send(const std::vector<std::uint8_t>& bytes);
  // Bisync: a frame from the radio to the host.
  void SendFrame(const std::vector<std::uint8_t>& message, bool corrupt = false);

  // What the host sent, in order.
  std::vector<std::uint8_t> Received();
  // Bisync: the messages accepted and the transcript.
  std::vector<std::vector<std::uint8_t>> Accepted();
  std::vector<std::string> Transcript();
  // Waits until the condition holds; it is checked whenever the peer has
  // taken bytes or answered.
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  // The host's bit rate.
  std::uint32_t HostRate() const { return pty_.HostBaudRate(); }

 private:
  void Serve();
  void OnBytes(const std::uint8_t* data, std::size_t n);
  void Flush(std::unique_lock<std::mutex>& lock);

  platform::PseudoTerminal pty_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::mutex lock_;
  std::condition_variable changed_;
  std::uint64_t changes_ = 0;
  Mode mode_ = Mode::Silent;
  std::vector<std::uint8_t> received_;
  std::vector<std::uint8_t> pendingRequest_;
  std::vector<std::uint8_t> answer_;
  int answerDelayMs_ = 0;
  bool echoFirst_ = false;
  BisyncPeer bisync_;
};

}  // namespace linkpeers
