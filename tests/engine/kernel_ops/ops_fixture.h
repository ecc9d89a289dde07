#pragma once
// A CKernel of a Harrow radio on COM5 served by the radio simulator, with a
// recorder for its events and helpers that read the radio's transcript.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "../link_kernel/kernel_fixture.h"

inline std::vector<std::int32_t> CodesOf(const std::vector<RecordedEvent>& events) {
  std::vector<std::int32_t> codes;
  for (const auto& e : events) codes.push_back(e.code);
  return codes;
}

inline std::vector<RecordedEvent> EventsWithCode(const std::vector<RecordedEvent>& events, std::int32_t code) {
  std::vector<RecordedEvent> out;
  std::copy_if(events.begin(), events.end(), std::back_inserter(out), [&](const auto& e) { return e.code == code; });
  return out;
}

// A CKernel whose smart-flash waits a test may shorten.
class PacedKernel : public CKernel {
 public:
  using CKernel::CKernel;
  using CKernel::SetSmartFlashPacing;
};

inline SmartFlashPacing QuickPacing(std::uint32_t stallLimitMs = 30000) {
  SmartFlashPacing pacing;
  pacing.fullWaitMs = 20;
  pacing.drainWaitMs = 5;
  pacing.completionWaitMs = 5;
  pacing.idleWaitMs = 5;
  pacing.stallLimitMs = stallLimitMs;
  return pacing;
}

// Image bytes: a pseudo-random pattern with runs of 0xFF in it (erased
// pairs at block starts, and run-coded reads), the same for a seed.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<std::uint8_t>(x >> 16);
  }
  for (std::size_t at = 0; at + 700 < size; at += 5000) std::fill_n(bytes.begin() + at, 300 + (at % 7) * 50, 0xFF);
  return bytes;
}

class KernelOpsSerial : public ::testing::Test {
 protected:
  void Serve(radiosim::RadioConfig config, int baudRate = 115200) {
    config.link = radiosim::LinkKind::Serial;
    kernel_.reset();
    radio_.reset();  // the old radio lets go of the COM map before the new one takes it
    radio_ = std::make_unique<RadioOnCom>(std::move(config));
    ASSERT_TRUE(radio_->started());
    kernel_ = std::make_unique<PacedKernel>(SerialSettings(kChipHarrow, baudRate, 1, images_, recorder_));
  }
  void ServeRunningKernel(int baudRate = 115200) {
    radiosim::RadioConfig config;
    config.powerOn = radiosim::PowerOnState::Kernel;
    Serve(config, baudRate);
  }
  void TearDown() override {
    kernel_.reset();
    radio_.reset();
  }
  // The kernel requests the radio took, each as its hex text.
  std::vector<std::string> Requests() const {
    std::vector<std::string> out;
    for (const auto& line : radio_->transcript().LinesStartingWith("kernel request "))
      out.push_back(line.substr(std::string("kernel request ").size()));
    return out;
  }
  std::size_t RequestsStartingWith(const std::string& hex) const {
    const auto all = Requests();
    return static_cast<std::size_t>(
        std::count_if(all.begin(), all.end(), [&](const std::string& r) { return r.rfind(hex, 0) == 0; }));
  }
  // Answers "abort" to the first event the predicate picks.
  template <class Predicate>
  void CancelAt(Predicate pick) {
    kernel_->SetCallback([this, pick, fired = false](const DeviceEvent& event) mutable {
      recorder_(event);
      if (fired || !pick(event)) return 0;
      fired = true;
      return 1;
    });
  }
  const RecordedEvent& Closing() {
    events_ = recorder_.Events();
    EXPECT_FALSE(events_.empty());
    static const RecordedEvent none{-1, 0, 0, nullptr};
    return events_.empty() ? none : events_.back();
  }

  KernelImages images_;
  EventRecorder recorder_;
  std::unique_ptr<RadioOnCom> radio_;
  std::unique_ptr<PacedKernel> kernel_;
  std::vector<RecordedEvent> events_;
};
