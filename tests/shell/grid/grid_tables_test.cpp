// The grid's tables: event x prior state -> state, event -> text, labels.
#include <gtest/gtest.h>

#include "engine/core/device_event.h"

#include "shell/grid/grid_tables.h"

namespace {

struct StateCase {
  int event;
  int started;
  int queued;
  GridRowStateCode prior;
  GridRowStateCode expected;
};

class GridRowStateTable : public ::testing::TestWithParam<StateCase> {};

TEST_P(GridRowStateTable, GivesTheNewState) {
  const auto& c = GetParam();
  EXPECT_EQ(GridRowState(c.event, c.started, c.queued, c.prior), c.expected)
      << "event " << c.event << " prior " << c.prior;
}

INSTANTIATE_TEST_SUITE_P(
    Events, GridRowStateTable,
    ::testing::Values(
        // Done events: finished when every queued item has started, else waiting.
        StateCase{EVENT_FLASH_DONE, 1, 1, GRID_ROW_BUSY, GRID_ROW_FINISHED}, StateCase{EVENT_FLASH_DONE, 1, 2, GRID_ROW_BUSY, GRID_ROW_WAITING},
        StateCase{EVENT_PHONE_COMMAND_SENT, 3, 3, GRID_ROW_READY, GRID_ROW_FINISHED}, StateCase{EVENT_REVERSE_FLASH_DONE, 1, 1, GRID_ROW_BUSY, GRID_ROW_FINISHED},
        StateCase{EVENT_STATUS_FLASHPACKS_REMOVED, 2, 2, GRID_ROW_BUSY, GRID_ROW_FINISHED},
        // The read-back's file saved: the same rule.
        StateCase{EVENT_STATUS_READ_FILE_SAVED, 1, 1, GRID_ROW_FINISHED, GRID_ROW_FINISHED}, StateCase{EVENT_STATUS_READ_FILE_SAVED, 1, 2, GRID_ROW_FINISHED, GRID_ROW_WAITING},
        // Errors: 3, or 4 when the device went away while busy.
        StateCase{EVENT_FLASH_FAILED, 1, 1, GRID_ROW_BUSY, GRID_ROW_ERROR}, StateCase{EVENT_FLASH_FAILED, 1, 1, GRID_ROW_REMOVED_BUSY, GRID_ROW_ERROR_REMOVED},
        StateCase{EVENT_STATUS_FILE_OPEN_FAILED, 0, 1, GRID_ROW_SCANNING, GRID_ROW_ERROR}, StateCase{EVENT_PHONE_SEND_FAILED, 0, 0, GRID_ROW_READY, GRID_ROW_ERROR},
        StateCase{EVENT_STATUS_READ_FILE_SAVE_FAILED, 1, 1, GRID_ROW_FINISHED, GRID_ROW_ERROR},
        // A row in state 4 keeps it whatever comes.
        StateCase{EVENT_FLASH_PROGRESS, 1, 1, GRID_ROW_ERROR_REMOVED, GRID_ROW_ERROR_REMOVED},
        StateCase{EVENT_FLASH_DONE, 1, 1, GRID_ROW_ERROR_REMOVED, GRID_ROW_ERROR_REMOVED},
        // Waiting, busy, cancelled, scanning.
        StateCase{EVENT_BOOTLOAD_PROGRESS, 0, 1, GRID_ROW_READY, GRID_ROW_WAITING}, StateCase{EVENT_ORVIX_PROGRAM_PROGRESS, 0, 1, GRID_ROW_BUSY, GRID_ROW_WAITING},
        StateCase{EVENT_FLASH_PROGRESS, 1, 1, GRID_ROW_WAITING, GRID_ROW_BUSY}, StateCase{EVENT_FLASHPACK_EXTRACT_PROGRESS, 1, 1, GRID_ROW_READY, GRID_ROW_BUSY},
        StateCase{EVENT_FLASH_CANCELLED, 1, 1, GRID_ROW_BUSY, GRID_ROW_FINISHED}, StateCase{EVENT_FLASHPACK_EXTRACT_CANCELLED, 1, 2, GRID_ROW_BUSY, GRID_ROW_FINISHED},
        StateCase{EVENT_STATUS_SCANNING_FILE, 0, 1, GRID_ROW_READY, GRID_ROW_SCANNING},
        // Anything else: ready.
        StateCase{EVENT_PHONE_CANCELLED, 1, 1, GRID_ROW_BUSY, GRID_ROW_READY}, StateCase{EVENT_STATUS_SAVING_FILE, 1, 1, GRID_ROW_BUSY, GRID_ROW_READY},
        StateCase{EVENT_STATUS_FILE_DELETED, 0, 0, GRID_ROW_ERROR, GRID_ROW_READY}, StateCase{99, 0, 0, GRID_ROW_BUSY, GRID_ROW_READY}));

struct TextCase {
  int event;
  int percent;
  const char* text;
};

class GridStatusTextTable : public ::testing::TestWithParam<TextCase> {};

TEST_P(GridStatusTextTable, GivesTheRowText) {
  EXPECT_EQ(GridStatusText(GetParam().event, GetParam().percent), GetParam().text) << "event " << GetParam().event;
}

INSTANTIATE_TEST_SUITE_P(
    Events, GridStatusTextTable,
    ::testing::Values(TextCase{EVENT_FLASH_DONE, 100, "Complete"}, TextCase{EVENT_STATUS_FLASHPACK_ADDED, 0, "Complete"}, TextCase{EVENT_FLASH_FAILED, 40, "Error"},
                      TextCase{EVENT_STATUS_FILE_OPEN_FAILED, 0, "Error"}, TextCase{EVENT_PHONE_FORMAT_PROGRESS, 7, "Formating 7%"}, TextCase{EVENT_BOOTLOAD_PROGRESS, 12, "Bootloading 12%"},
                      TextCase{EVENT_FLASH_ERASE_PROGRESS, 3, "Erasing 3%"}, TextCase{EVENT_FLASH_PROGRESS, 50, "Flashing 50%"}, TextCase{EVENT_SMART_FLASH_PROGRESS, 51, "Flashing 51%"},
                      TextCase{EVENT_ORVIX_PROGRAM_PROGRESS, 99, "Flashing 99%"}, TextCase{EVENT_FLASH_CANCELLED, 0, "Cancelled"}, TextCase{EVENT_FLASHPACK_EXTRACT_CANCELLED, 0, "Cancelled"},
                      TextCase{EVENT_SMART_FLASH_ERASING, 30, "Erasing..."}, TextCase{EVENT_ORVIX_ERASING, 30, "Erasing..."},
                      TextCase{EVENT_SMART_FLASH_STREAMING, 64, "Streaming 64%"}, TextCase{EVENT_REVERSE_FLASH_PROGRESS, 5, "Rev Flashing 5%"},
                      TextCase{EVENT_ORVIX_READ_PROGRESS, 6, "Rev Flashing 6%"}, TextCase{EVENT_FLASHPACK_EXTRACT_PROGRESS, 7, "Rev Flashing 7%"},
                      TextCase{EVENT_STATUS_READ_FILE_SAVED, 100, "Rev Flashing 100%"}, TextCase{EVENT_RAM_DUMP_PROGRESS, 8, "Dumping Ram 8%"},
                      TextCase{EVENT_STATUS_SCANNING_FILE, 0, "Scanning File..."}, TextCase{EVENT_STATUS_SAVING_FILE, 0, "Saving File..."}, TextCase{EVENT_PHONE_CANCELLED, 10, ""},
                      TextCase{EVENT_READ_BACK_PROGRESS, 10, ""}, TextCase{EVENT_STATUS_FILE_DELETED, 0, ""}, TextCase{EVENT_STATUS_ITEM_QUEUED, 0, ""}, TextCase{200, 0, ""}));

TEST(GridRowLabel, NamesUsbComAndSmartphoneRows) {
  EXPECT_EQ(GridRowLabel(0), "USB0");
  EXPECT_EQ(GridRowLabel(126), "USB126");
  EXPECT_EQ(GridRowLabel(127), "COM1");
  EXPECT_EQ(GridRowLabel(145), "COM19");
  EXPECT_EQ(GridRowLabel(146), "Ralix");
  EXPECT_EQ(GridRowLabel(150), "Ralix");
}

}  // namespace
