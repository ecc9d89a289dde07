#pragma once
// A CKernel wired to a simulated radio on COM5, with four kernel images
// whose contents tell them apart and a recorder for its events.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "engine/link/kernel.h"
#include "radio_on_com.h"

struct RecordedEvent {
  std::int32_t code;
  std::int32_t argument;
  std::int32_t total;
  const ErrorDetails* details;
};

class EventRecorder {
 public:
  int operator()(const DeviceEvent& event) {
    std::lock_guard lock(mutex_);
    events_.push_back({event.eventCode, event.argument, event.total, event.errorDetails});
    return 0;
  }
  std::vector<RecordedEvent> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<RecordedEvent> events_;
};

struct KernelImages {
  KernelImages() {
    const std::pair<KernelImage, std::size_t> sizes[] = {
        {KernelImage::Calder, 3100}, {KernelImage::Harrow, 3000}, {KernelImage::HarrowU, 2900}, {KernelImage::Bisel, 2500}};
    for (auto [image, size] : sizes) {
      auto& bytes = data[static_cast<std::size_t>(image)];
      bytes.resize(size);
      for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + size);
    }
  }
  const std::vector<std::uint8_t>& Of(KernelImage image) const { return data[static_cast<std::size_t>(image)]; }
  KernelImageSet Slots() const {
    KernelImageSet set;
    for (auto image : {KernelImage::Calder, KernelImage::Harrow, KernelImage::HarrowU, KernelImage::Bisel})
      set[image] = {Of(image).data(), static_cast<std::uint32_t>(Of(image).size()), 0x00200000};
    return set;
  }
  std::vector<std::uint8_t> data[kKernelImageCount];
};

inline KernelSettingsRecord SerialSettings(int chipFamily, int baudRate, int divisor, const KernelImages& images,
                                           EventRecorder& recorder) {
  KernelSettingsRecord settings;
  settings.device = 126 + RadioOnCom::kComNumber;
  settings.linkMode = kLinkRs232;
  settings.chipFamily = chipFamily;
  settings.baudRate = baudRate;
  settings.baudDivisor = divisor;
  settings.comPort = RadioOnCom::kComNumber;
  settings.images = images.Slots();
  settings.callback = [&recorder](const DeviceEvent& event) { return recorder(event); };
  return settings;
}
