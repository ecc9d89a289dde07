#include "engine/processing/device_objects.h"

#include <cstdio>
#include <string>

#include "engine/core/buffer_registry.h"
#include "engine/core/log_line.h"
#include "engine/core/messages.h"
#include "engine/core/on_device_event.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"

namespace {

bool IsSlotDevice(DeviceNumber device) { return device >= 0 && device < DEVICE_SLOT_COUNT; }

void ReleaseKernels(std::array<std::uint8_t*, kKernelSlotCount>& held) {
  for (auto*& buffer : held) {
    GetBufferRegistry().Release(buffer);
    buffer = nullptr;
  }
}

std::array<std::uint8_t*, kKernelSlotCount> ReferenceKernels(const CKernelImageSlots& kernels) {
  std::array<std::uint8_t*, kKernelSlotCount> held{};
  for (std::size_t i = 0; i < kKernelSlotCount; ++i) {
    held[i] = kernels[static_cast<KernelSlotIndex>(i)].buffer;
    GetBufferRegistry().AddRef(held[i]);
  }
  return held;
}

KernelImageSlot SlotOf(const CKernelImageSlots& kernels, KernelSlotIndex index) {
  const KernelSlot& slot = kernels[index];
  return KernelImageSlot{slot.buffer, slot.length, slot.entryAddress};
}

void ReportSetUpFailure(const char* objectName, DeviceNumber device) {
  char line[96];
  std::snprintf(line, sizeof line, "Error> Fatal error setting up %s object for device %d", objectName, device);
  PostLogLine(line);
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = PROMPT_ERROR;
  prompt->replyTarget = PT_CORE;
  prompt->wantReply = 0;
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
}

}  // namespace

KernelSettingsRecord MakeKernelSettings(const CJobOptions& options, DeviceNumber device,
                                        const CKernelImageSlots& kernels) {
  KernelSettingsRecord record;
  record.device = device;
  record.linkMode = options.GetIntParam(OPTION_COMM_PROTOCOL);
  record.chipFamily = options.ChipFamilyFromName();
  record.usbDeviceId = static_cast<std::uint16_t>(device);
  record.baudRate = options.GetIntParam(OPTION_BAUD_RATE);
  record.baudDivisor = options.GetIntParam(OPTION_DIVISOR_VALUE);
  record.comPort = options.GetIntParam(OPTION_SERIAL_PORT) + 1;
  record.images[KernelImage::Calder] = SlotOf(kernels, KERNEL_SLOT_CALDER);
  record.images[KernelImage::HarrowU] = SlotOf(kernels, KERNEL_SLOT_HARROW_USB);
  record.images[KernelImage::Harrow] = SlotOf(kernels, KERNEL_SLOT_HARROW);
  record.images[KernelImage::Bisel] = SlotOf(kernels, KERNEL_SLOT_BISEL);
  record.callback = &OnDeviceEvent;
  return record;
}

CDeviceObjects::~CDeviceObjects() {
  orvix_.reset();
  GetBufferRegistry().Release(orvixKernel_);
  for (auto& held : flashpacks_) {
    held.object.reset();
    ReleaseKernels(held.kernels);
  }
  for (auto& held : kernels_) {
    held.object.reset();
    ReleaseKernels(held.kernels);
  }
}

template <class T>
T* CDeviceObjects::Prepare(Held<T>& held, const CJobOptions& options, DeviceNumber device,
                           const CKernelImageSlots& kernels, const char* objectName) {
  const KernelSettingsRecord record = MakeKernelSettings(options, device, kernels);
  auto fresh = ReferenceKernels(kernels);
  if (!held.object) {
    held.object = std::make_unique<T>(record);
    held.kernels = fresh;
    return held.object.get();
  }
  if (held.object->LoadDeviceSettings(record) == KERNEL_OK) {
    // The object now uses the new kernels; the old ones may go.
    ReleaseKernels(held.kernels);
    held.kernels = fresh;
  } else {
    ReleaseKernels(fresh);
    ReportSetUpFailure(objectName, device);
  }
  return held.object.get();
}

CKernel* CDeviceObjects::PrepareKernel(const CJobOptions& options, DeviceNumber device,
                                       const CKernelImageSlots& kernels) {
  if (!IsSlotDevice(device)) return nullptr;
  return Prepare(kernels_[device], options, device, kernels, "CKernel");
}

CFlashpack* CDeviceObjects::PrepareFlashpack(const CJobOptions& options, DeviceNumber device,
                                             const CKernelImageSlots& kernels) {
  if (!IsSlotDevice(device)) return nullptr;
  return Prepare(flashpacks_[device], options, device, kernels, "CFlashpack");
}

COrvix* CDeviceObjects::PrepareOrvix(const CJobOptions& options, DeviceNumber device,
                                     const CKernelImageSlots& kernels) {
  if (!orvix_) orvix_ = std::make_unique<COrvix>();
  OrvixSettingsRecord record;
  record.device = device;
  record.baudRate = options.GetIntParam(OPTION_BAUD_RATE);
  record.baudDivisor = options.GetIntParam(OPTION_DIVISOR_VALUE);
  record.comPort = options.GetIntParam(OPTION_SERIAL_PORT) + 1;
  record.harrowKernel = SlotOf(kernels, KERNEL_SLOT_HARROW_USB);
  record.callback = &OnDeviceEvent;
  record.chipSelect = static_cast<std::uint32_t>(options.GetIntParam(OPTION_ORVIX_CHIP_SELECT));
  record.chipOffset = static_cast<std::uint32_t>(options.GetIntParam(OPTION_ORVIX_CHIP_OFFSET));
  record.programmingOption = static_cast<std::uint32_t>(options.GetIntParam(OPTION_ORVIX_PROGRAMMING_OPTION));
  record.chipSelectionEnabled = options.GetIntParam(OPTION_ORVIX_ENABLE_CHIP_SELECTION);
  std::uint8_t* fresh = kernels[KERNEL_SLOT_HARROW_USB].buffer;
  GetBufferRegistry().AddRef(fresh);
  const int result = orvix_->LoadSettings(record);
  if (result == KERNEL_ERROR_BUSY) {
    // One object serves every device: while it works for one, another
    // device's set-up must not touch it.
    GetBufferRegistry().Release(fresh);
    return nullptr;
  }
  if (result != KERNEL_OK) {
    GetBufferRegistry().Release(fresh);
    ReportSetUpFailure("COrvix", device);
    return orvix_.get();
  }
  GetBufferRegistry().Release(orvixKernel_);
  orvixKernel_ = fresh;
  return orvix_.get();
}

CKernel* CDeviceObjects::KernelOf(DeviceNumber device) const {
  return IsSlotDevice(device) ? kernels_[device].object.get() : nullptr;
}

CFlashpack* CDeviceObjects::FlashpackOf(DeviceNumber device) const {
  return IsSlotDevice(device) ? flashpacks_[device].object.get() : nullptr;
}
