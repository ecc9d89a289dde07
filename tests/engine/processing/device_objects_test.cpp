// The per-device objects and the kernel buffers they hold.

#include <gtest/gtest.h>

#include "engine/core/buffer_registry.h"
#include "engine/processing/device_objects.h"
#include "shell_stand_in.h"

using namespace test_support;

namespace {

TEST(DeviceObjects, ANewSetUpTakesTheNewKernelsAndLetsTheOldOnesGo) {
  TempFolder folder;
  WriteKernelFiles(folder, 1024);
  CKernelImageSlots first;
  ASSERT_EQ(first.Load(folder.Path().string()), "");
  const std::uint8_t* oldHarrow = first[KERNEL_SLOT_HARROW].buffer;

  CDeviceObjects objects;
  CJobOptions options;
  CKernel* kernel = objects.PrepareKernel(options, 130, first);
  ASSERT_NE(kernel, nullptr);
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(oldHarrow), 2);
  EXPECT_EQ(kernel->GetKernelImage(1).image, oldHarrow);  // type 1: harrowkrnl

  WriteKernelFiles(folder, 2048);
  CKernelImageSlots second;
  ASSERT_EQ(second.Load(folder.Path().string()), "");
  first.Clear();  // the core thread has moved on; the object still holds the old kernel
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(oldHarrow), 1);

  EXPECT_EQ(objects.PrepareKernel(options, 130, second), kernel) << "the object is kept";
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(oldHarrow), 0);
  EXPECT_EQ(kernel->GetKernelImage(1).image, second[KERNEL_SLOT_HARROW].buffer);
  EXPECT_EQ(kernel->GetKernelImage(1).length, 2048u);
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(second[KERNEL_SLOT_HARROW].buffer), 2);
}

TEST(DeviceObjects, SettingsComeFromTheJobsOptions) {
  CJobOptions options;
  options.SetIntParam(OPTION_COMM_PROTOCOL, 1);
  options.SetIntParam(OPTION_SERIAL_PORT, 4);
  options.SetIntParam(OPTION_DATA_RATE, 1);
  SectorList list;
  list.processorName = "CALDER";
  options.SetSectorList(list);
  CKernelImageSlots kernels;
  const KernelSettingsRecord record = MakeKernelSettings(options, 12, kernels);
  EXPECT_EQ(record.device, 12);
  EXPECT_EQ(record.linkMode, 1);
  EXPECT_EQ(record.usbDeviceId, 12);
  EXPECT_EQ(record.comPort, 5);
  EXPECT_EQ(record.baudRate, 230400);
  EXPECT_EQ(record.chipFamily, CHIP_FAMILY_CALDER);
  EXPECT_TRUE(static_cast<bool>(record.callback));
}

}  // namespace
