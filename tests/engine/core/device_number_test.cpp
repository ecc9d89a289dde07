#include "engine/core/device_number.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/core/messages.h"

namespace {

struct NameCase {
  DeviceNumber device;
  const char* name;
};

TEST(DeviceNumber, PrintedNames) {
  const NameCase cases[] = {
      {0, "USB0"},          {3, "USB3"},          {126, "USB126"},
      {127, "COM1"},        {128, "COM2"},        {145, "COM19"},
      {146, "Smartphone"},  {-3, "Device Independent"},
      {147, "UnknownDevice"}, {-2, "UnknownDevice"}, {-1, "UnknownDevice"},
      {-4, "UnknownDevice"}, {0x7FFFFFFF, "UnknownDevice"},
      {static_cast<DeviceNumber>(0x80000000u), "UnknownDevice"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetDeviceName(c.device), c.name) << "device " << c.device;
  }
}

TEST(DeviceNumber, Classification) {
  EXPECT_TRUE(IsUsbDevice(0));
  EXPECT_TRUE(IsUsbDevice(126));
  EXPECT_FALSE(IsUsbDevice(127));
  EXPECT_FALSE(IsUsbDevice(DEVICE_UNASSIGNED));
  EXPECT_TRUE(IsSerialDevice(127));
  EXPECT_TRUE(IsSerialDevice(145));
  EXPECT_FALSE(IsSerialDevice(DEVICE_SMARTPHONE));
  EXPECT_EQ(DEVICE_SLOT_COUNT, DEVICE_SMARTPHONE + 1);
}

TEST(ThreadMessages, EveryNumberOfTheBlockHasOneNameExceptTheGap) {
  std::set<std::string> names;
  for (std::uint32_t n = WM_FIRST_THREAD_MESSAGE; n <= WM_LAST_THREAD_MESSAGE; ++n) {
    const std::string name = GetMessageName(n);
    if (n == WM_APP + 0xAC) {
      EXPECT_TRUE(name.empty());
      continue;
    }
    EXPECT_FALSE(name.empty()) << std::hex << n;
    EXPECT_TRUE(names.insert(name).second) << name << " twice";
  }
  EXPECT_EQ(names.size(), 74u);
  EXPECT_STREQ(GetMessageName(WM_FIRST_THREAD_MESSAGE - 1), "");
  EXPECT_STREQ(GetMessageName(WM_LAST_THREAD_MESSAGE + 1), "");
}

TEST(ThreadMessages, NumbersThatOtherPartsRelyOn) {
  EXPECT_EQ(WM_FLASH, 0x8064u);
  EXPECT_EQ(WM_QUEUE_JOB, 0x8075u);
  EXPECT_EQ(WM_PROMPT_REPLY, 0x8077u);
  EXPECT_EQ(WM_QUIT_THREAD, 0x8081u);
  EXPECT_EQ(WM_LOG_LINE, 0x8082u);
  EXPECT_EQ(WM_RAM_DUMP, 0x808Du);
  EXPECT_EQ(WM_DEVICE_STATUS, 0x809Bu);
  EXPECT_EQ(WM_FLASHPACK_EXTRACT_ADD_FLASH, 0x80A2u);
  EXPECT_EQ(WM_RALIX_FLASH_FILE, 0x80ABu);
  EXPECT_EQ(WM_RALIX_DISCONNECT, 0x80ADu);
  EXPECT_EQ(WM_RALIX_PROGRESS, 0x80AEu);
  EXPECT_EQ(WM_USB_DEVICE_EVENT, 0x800Bu);
  EXPECT_EQ(WM_RALIX_PERCENT, 0x464u);
  EXPECT_STREQ(GetMessageName(0x800B), "WM_USB_DEVICE_EVENT");
  EXPECT_STREQ(GetMessageName(0x464), "WM_RALIX_PERCENT");
  EXPECT_STREQ(GetMessageName(0x8097), "WM_JOB_FINISHED");
}

}  // namespace
