// The grid's tables: event x prior state -> state, event -> text, labels.
#include <gtest/gtest.h>

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
        StateCase{14, 1, 1, GRID_ROW_BUSY, GRID_ROW_FINISHED}, StateCase{14, 1, 2, GRID_ROW_BUSY, GRID_ROW_WAITING},
        StateCase{0, 3, 3, GRID_ROW_READY, GRID_ROW_FINISHED}, StateCase{24, 1, 1, GRID_ROW_BUSY, GRID_ROW_FINISHED},
        StateCase{56, 2, 2, GRID_ROW_BUSY, GRID_ROW_FINISHED},
        // The read-back's file saved: the same rule.
        StateCase{58, 1, 1, GRID_ROW_FINISHED, GRID_ROW_FINISHED}, StateCase{58, 1, 2, GRID_ROW_FINISHED, GRID_ROW_WAITING},
        // Errors: 3, or 4 when the device went away while busy.
        StateCase{12, 1, 1, GRID_ROW_BUSY, GRID_ROW_ERROR}, StateCase{12, 1, 1, GRID_ROW_REMOVED_BUSY, GRID_ROW_ERROR_REMOVED},
        StateCase{60, 0, 1, GRID_ROW_SCANNING, GRID_ROW_ERROR}, StateCase{1, 0, 0, GRID_ROW_READY, GRID_ROW_ERROR},
        StateCase{59, 1, 1, GRID_ROW_FINISHED, GRID_ROW_ERROR},
        // A row in state 4 keeps it whatever comes.
        StateCase{11, 1, 1, GRID_ROW_ERROR_REMOVED, GRID_ROW_ERROR_REMOVED},
        StateCase{14, 1, 1, GRID_ROW_ERROR_REMOVED, GRID_ROW_ERROR_REMOVED},
        // Waiting, busy, cancelled, scanning.
        StateCase{7, 0, 1, GRID_ROW_READY, GRID_ROW_WAITING}, StateCase{45, 0, 1, GRID_ROW_BUSY, GRID_ROW_WAITING},
        StateCase{11, 1, 1, GRID_ROW_WAITING, GRID_ROW_BUSY}, StateCase{48, 1, 1, GRID_ROW_READY, GRID_ROW_BUSY},
        StateCase{13, 1, 1, GRID_ROW_BUSY, GRID_ROW_FINISHED}, StateCase{50, 1, 2, GRID_ROW_BUSY, GRID_ROW_FINISHED},
        StateCase{52, 0, 1, GRID_ROW_READY, GRID_ROW_SCANNING},
        // Anything else: ready.
        StateCase{3, 1, 1, GRID_ROW_BUSY, GRID_ROW_READY}, StateCase{53, 1, 1, GRID_ROW_BUSY, GRID_ROW_READY},
        StateCase{61, 0, 0, GRID_ROW_ERROR, GRID_ROW_READY}, StateCase{99, 0, 0, GRID_ROW_BUSY, GRID_ROW_READY}));

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
    ::testing::Values(TextCase{14, 100, "Complete"}, TextCase{54, 0, "Complete"}, TextCase{12, 40, "Error"},
                      TextCase{60, 0, "Error"}, TextCase{4, 7, "Formating 7%"}, TextCase{7, 12, "Bootloading 12%"},
                      TextCase{10, 3, "Erasing 3%"}, TextCase{11, 50, "Flashing 50%"}, TextCase{17, 51, "Flashing 51%"},
                      TextCase{45, 99, "Flashing 99%"}, TextCase{13, 0, "Cancelled"}, TextCase{50, 0, "Cancelled"},
                      TextCase{15, 30, "Erasing..."}, TextCase{42, 30, "Erasing..."},
                      TextCase{16, 64, "Streaming 64%"}, TextCase{21, 5, "Rev Flashing 5%"},
                      TextCase{39, 6, "Rev Flashing 6%"}, TextCase{48, 7, "Rev Flashing 7%"},
                      TextCase{58, 100, "Rev Flashing 100%"}, TextCase{29, 8, "Dumping Ram 8%"},
                      TextCase{52, 0, "Scanning File..."}, TextCase{53, 0, "Saving File..."}, TextCase{3, 10, ""},
                      TextCase{25, 10, ""}, TextCase{61, 0, ""}, TextCase{63, 0, ""}, TextCase{200, 0, ""}));

TEST(GridRowLabel, NamesUsbComAndSmartphoneRows) {
  EXPECT_EQ(GridRowLabel(0), "USB0");
  EXPECT_EQ(GridRowLabel(126), "USB126");
  EXPECT_EQ(GridRowLabel(127), "COM1");
  EXPECT_EQ(GridRowLabel(145), "COM19");
  EXPECT_EQ(GridRowLabel(146), "Ralix");
  EXPECT_EQ(GridRowLabel(150), "Ralix");
}

}  // namespace
