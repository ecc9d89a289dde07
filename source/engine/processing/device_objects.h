#pragma once
// The per-device objects that the starters set up: one CKernel and one
// CFlashpack per device number, each created on first use and kept until
// the dispatcher goes, with the kernel buffers each one holds a registry
// reference on.

#include <array>
#include <cstdint>
#include <memory>

#include "engine/core/device_number.h"
#include "engine/core/job_options.h"
#include "engine/flashpack/flashpack.h"
#include "engine/link/kernel.h"
#include "engine/orvix/orvix.h"
#include "engine/processing/kernel_image_slots.h"

class CDeviceObjects {
 public:
  CDeviceObjects() = default;
  CDeviceObjects(const CDeviceObjects&) = delete;
  CDeviceObjects& operator=(const CDeviceObjects&) = delete;
  // Ends the objects (their workers are joined) and releases their kernels.
  ~CDeviceObjects();

  // Sets up the device's CKernel from the options and the current kernels
  // (creating it on first use). A failed set-up is logged and reported to
  // the user; the object keeps its earlier settings and kernels.
  CKernel* PrepareKernel(const CJobOptions& options, DeviceNumber device, const CKernelImageSlots& kernels);
  CFlashpack* PrepareFlashpack(const CJobOptions& options, DeviceNumber device,
                               const CKernelImageSlots& kernels);

  // Sets up the one GPS-chip object that serves every device; null only
  // when it is busy with another device's operation (nothing changes then).
  COrvix* PrepareOrvix(const CJobOptions& options, DeviceNumber device, const CKernelImageSlots& kernels);

  CKernel* KernelOf(DeviceNumber device) const;
  CFlashpack* FlashpackOf(DeviceNumber device) const;

 private:
  using HeldKernels = std::array<std::uint8_t*, kKernelSlotCount>;
  template <class T>
  struct Held {
    std::unique_ptr<T> object;
    HeldKernels kernels{};
  };

  template <class T>
  T* Prepare(Held<T>& held, const CJobOptions& options, DeviceNumber device, const CKernelImageSlots& kernels,
             const char* objectName);

  std::array<Held<CKernel>, DEVICE_SLOT_COUNT> kernels_{};
  std::array<Held<CFlashpack>, DEVICE_SLOT_COUNT> flashpacks_{};
  std::unique_ptr<COrvix> orvix_;
  std::uint8_t* orvixKernel_ = nullptr;
};

// The settings record of a device from a job's options and the kernels.
KernelSettingsRecord MakeKernelSettings(const CJobOptions& options, DeviceNumber device,
                                        const CKernelImageSlots& kernels);
