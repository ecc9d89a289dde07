#pragma once
// A simulated radio on a pseudo-terminal, linked as COMn into a temporary
// folder that the COM map is pointed at while it lives.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/temp_folder.h"
#include "radiosim/pty_front_end.h"
#include "radiosim/radio_simulator.h"

namespace test_support {

class RadioOnPty {
 public:
  RadioOnPty(radiosim::RadioConfig config, int comNumber) : radio_(std::move(config)), front_(radio_) {
    folder_ = platform::MakeTemporaryFolder("quillon-engine-radio-");
    ::setenv("QUILLON_COM_DIR", folder_.c_str(), 1);
    started_ = !folder_.empty() && front_.Start() && front_.LinkAs(folder_, comNumber);
  }
  ~RadioOnPty() {
    front_.Stop();
    ::unsetenv("QUILLON_COM_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  RadioOnPty(const RadioOnPty&) = delete;
  RadioOnPty& operator=(const RadioOnPty&) = delete;

  bool started() const { return started_; }
  radiosim::RadioSimulator& radio() { return radio_; }

 private:
  radiosim::RadioSimulator radio_;
  radiosim::PtyFrontEnd front_;
  std::string folder_;
  bool started_ = false;
};

}  // namespace test_support
