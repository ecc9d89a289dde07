#include "engine/core/kernel_error_text.h"

#include <gtest/gtest.h>

#include "engine/core/device_event.h"

#include "engine/core/error_record.h"

namespace {

ErrorRecord WithCode(std::int32_t code) {
  ErrorRecord record;
  record.device = 130;
  record.eventCode = EVENT_FLASH_FAILED;
  record.errorCode = code;
  record.details = ErrorDetails{0x0001F000, 5, 6, 0x8C, 17, 0x89, 0x8817, 0x2201, 0x0F, {}};
  return record;
}

TEST(KernelErrorText, TextsAndTheirValues) {
  struct Case {
    std::int32_t code;
    const char* text;
  } cases[] = {
      {1, "Unknown CKernel error!"},
      {2, "Ralix Error - See log file for output"},
      {3, "The CKernel object is busy for device ID 130"},
      {13, "Unable to get kernel error details"},
      {19, "RS232 capable phone not detected"},
      {20, "RS232 capable phone not detected"},
      {25, "Flash device not supported: ManID 0x0089, DevID 0x8817, 0x2201, 0x000F"},
      {26, "Verification failed while programming address 0x0001F000"},
      {27, "Verification failed while programming address 0x0001F000"},
      {28, "Device protect error while programming address 0x0001F000"},
      {29, "Write flash failed while programming address 0x0001F000"},
      {30, "Write flash failed while programming address 0x0001F000"},
      {31, "Vpp Range Error, Status register read 0x8C"},
      {32, "Device protect error while erasing sector 17"},
      {33, "An invalid comand sequence was sent to the kernel"},
      {34, "Erase failed on sector 17"},
      {35, "Sector 17 does not exist"},
      {36, "Locked register program aborted, Status register read 0x8C"},
      {37, "Invalid address : 0x0001F000 is not on a sector boundary"},
      {38, "Read flash error at address 0x0001F000"},
      {45, "Unsupported BAUD rate"},
      {46, "Serial bus reply timeout"},
      {61, "Timeout waiting for ACK/NAK from target device"},
      {74, "Unknown USB error"},
      {78, "Orvix failure"},
      {89, "No allocation for FLASHPACK in .qlp file"},
      {90, "For this product, ThemePacks cannot be added with the FlashPack Manager. Please close "
           "FlashPack Manager and drag/drop the files onto the main Quillon window instead"},
      {91, "Address 0x1F000 out of range for the selected product"},
      {200, "File mode not supported"},
      {211, "Invalid checksum detected"},
      {214, "Insufficient buffer size"},
  };
  for (const auto& c : cases) {
    const ErrorRecord record = WithCode(c.code);
    EXPECT_EQ(GetKernelErrorText(&record), c.text) << c.code;
  }
}

TEST(KernelErrorText, CodesWithoutText) {
  for (std::int32_t code : {0, 4, 75, 76, 77, 92, 199, 215, -1, 1000}) {
    const ErrorRecord record = WithCode(code);
    EXPECT_EQ(GetKernelErrorText(&record), "Undefined Error Code : " + std::to_string(code));
  }
}

TEST(KernelErrorText, NullRecordAndZeroDetails) {
  EXPECT_EQ(GetKernelErrorText(nullptr), "");
  auto record = MakeErrorRecord(127, 12, 26, nullptr);
  EXPECT_EQ(GetKernelErrorText(record.get()), "Verification failed while programming address 0x00000000");
  record->errorCode = 25;
  EXPECT_EQ(GetKernelErrorText(record.get()),
            "Flash device not supported: ManID 0x0000, DevID 0x0000, 0x0000, 0x0000");
  record->errorCode = 34;
  EXPECT_EQ(GetKernelErrorText(record.get()), "Erase failed on sector 0");
}

// Extreme values fit the texts' widths.
TEST(KernelErrorText, WidestValues) {
  ErrorRecord record = WithCode(3);
  record.device = -2147483647 - 1;
  EXPECT_EQ(GetKernelErrorText(&record), "The CKernel object is busy for device ID -2147483648");
  record.errorCode = 31;
  record.details.statusRegister = 0xFFFFFFFF;
  EXPECT_EQ(GetKernelErrorText(&record), "Vpp Range Error, Status register read 0xFFFFFFFF");
  record.errorCode = 35;
  record.details.sector = 0xFFFF;
  EXPECT_EQ(GetKernelErrorText(&record), "Sector 65535 does not exist");
}

// The reason a user acts on: the code's text, and the cause when the
// record names one; the code's text alone stays as it is.
TEST(KernelErrorText, TheReasonAddsTheCauseToTheCodesText) {
  ErrorRecord record = WithCode(202);
  EXPECT_EQ(GetErrorReason(&record), "Error opening file");
  record.details.cause = "/images/gone.s19";
  EXPECT_EQ(GetErrorReason(&record), "Error opening file: /images/gone.s19");
  EXPECT_EQ(GetKernelErrorText(&record), "Error opening file");
  EXPECT_EQ(GetErrorReason(nullptr), "");
}

}  // namespace
