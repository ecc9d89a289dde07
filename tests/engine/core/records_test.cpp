#include <gtest/gtest.h>

#include "engine/core/device_event.h"

#include "engine/core/device_status_record.h"
#include "engine/core/error_record.h"

namespace {

TEST(ErrorRecord, WithoutDetailsCarriesZeros) {
  auto record = MakeErrorRecord(3, 12, 47, nullptr);
  EXPECT_EQ(record->device, 3);
  EXPECT_EQ(record->eventCode, EVENT_FLASH_FAILED);
  EXPECT_EQ(record->errorCode, 47);
  EXPECT_EQ(record->details, ErrorDetails{});
}

// The record passed on to the main dialog is a copy: the main dialog frees
// its own and the queued one stays intact.
TEST(DeviceStatusRecord, CarriesItsOwnCopyOfTheError) {
  ErrorDetails details{0x1000, 1, 2, 3, 4, 5, 6, 7, 8, {}};
  auto queued = MakeErrorRecord(9, 22, 38, &details);
  auto status = MakeDeviceStatusRecord(EVENT_REVERSE_FLASH_FAILED, 9, 1, 2, 50, queued.get());
  ASSERT_TRUE(status->error);
  EXPECT_NE(status->error.get(), queued.get());
  EXPECT_EQ(*status->error, *queued);
  status.reset();  // the main dialog frees its record
  EXPECT_EQ(queued->details.address, 0x1000u);

  auto plain = MakeDeviceStatusRecord(EVENT_STATUS_ITEM_QUEUED, 9, 0, 1, 0);
  EXPECT_EQ(plain->error, nullptr);
  EXPECT_EQ(plain->itemsQueued, 1);
  EXPECT_EQ(CloneErrorRecord(nullptr), nullptr);
}

}  // namespace
