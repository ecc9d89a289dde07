#pragma once
// A simulated radio served on a pseudo-terminal and linked as COMn into a
// temporary folder that the COM map points at, for as long as it lives.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/temp_folder.h"
#include "radiosim/pty_front_end.h"
#include "radiosim/radio_simulator.h"

// Polls the condition until it holds or the deadline passes (the radio
// works on its own thread, a little behind the host's last write).
template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds deadline = std::chrono::milliseconds(5000)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class RadioOnCom {
 public:
  static constexpr int kComNumber = 5;

  explicit RadioOnCom(radiosim::RadioConfig config) : radio_(std::move(config)), front_(radio_) {
    folder_ = platform::MakeTemporaryFolder("quillon-radio-");
    ::setenv("QUILLON_COM_DIR", folder_.c_str(), 1);
    started_ = !folder_.empty() && front_.Start() && front_.LinkAs(folder_, kComNumber);
  }
  ~RadioOnCom() {
    front_.Stop();
    // A radio that replaces this one may already have pointed the COM map at
    // its own folder; only take back what is still ours.
    const char* current = std::getenv("QUILLON_COM_DIR");
    if (current != nullptr && folder_ == current) ::unsetenv("QUILLON_COM_DIR");
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  RadioOnCom(const RadioOnCom&) = delete;
  RadioOnCom& operator=(const RadioOnCom&) = delete;

  bool started() const { return started_; }
  radiosim::RadioSimulator& radio() { return radio_; }
  radiosim::Transcript& transcript() { return radio_.GetTranscript(); }
  static std::string PortPath() { return "\\\\.\\COM" + std::to_string(kComNumber); }

 private:
  radiosim::RadioSimulator radio_;
  radiosim::PtyFrontEnd front_;
  std::string folder_;
  bool started_ = false;
};
