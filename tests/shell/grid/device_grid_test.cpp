// The grid's row model: rows kept in device order, status records turned
// into row states, texts and buttons, the top row's status report, row
// buttons, and the read-back that Flash Software waits for.
#include <gtest/gtest.h>

#include "engine/core/device_event.h"

#include <string>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/grid/device_grid.h"

namespace {

class DeviceGridTest : public ::testing::Test {
 protected:
  GridEffects Attach(DeviceNumber device) {
    GridEffects e = grid.OnDeviceAttached(device);
    if (e.applyWanted) e.Merge(grid.ApplyGridRowChanges());
    return e;
  }
  GridEffects Remove(DeviceNumber device) {
    GridEffects e = grid.OnDeviceRemoved(device);
    if (e.applyWanted) e.Merge(grid.ApplyGridRowChanges());
    return e;
  }
  GridEffects Status(int event, DeviceNumber device, int started = 1, int queued = 1, int percent = 0,
                     int errorCode = 0) {
    return StatusOf(false, event, device, started, queued, percent, errorCode);
  }
  // A status record of Flash Software's own read-back.
  GridEffects UpdateReadBack(int event, DeviceNumber device, int started = 1, int queued = 1, int percent = 0,
                             int errorCode = 0) {
    return StatusOf(true, event, device, started, queued, percent, errorCode);
  }
  GridEffects StatusOf(bool startsUpdateFlash, int event, DeviceNumber device, int started, int queued,
                       int percent, int errorCode) {
    DeviceStatusRecord r;
    r.startsUpdateFlash = startsUpdateFlash;
    r.eventCode = event;
    r.device = device;
    r.itemsStarted = started;
    r.itemsQueued = queued;
    r.percent = percent;
    if (errorCode != 0) {
      r.error = std::make_unique<ErrorRecord>();
      r.error->device = device;
      r.error->eventCode = event;
      r.error->errorCode = errorCode;
    }
    return grid.OnGridStatus(r);
  }
  const DeviceRow& RowOf(DeviceNumber device) {
    const int i = grid.FindGridRow(device);
    EXPECT_GE(i, 0) << "no row for " << device;
    return grid.Row(i < 0 ? 0 : i);
  }
  // Labels of the rows in use, top to bottom.
  std::vector<std::string> Labels() const {
    std::vector<std::string> labels(static_cast<std::size_t>(grid.CountShownRows()));
    for (const auto& row : grid.Rows()) {
      if (!row.HasControls()) continue;
      EXPECT_LT(row.position, static_cast<int>(labels.size()));
      if (row.position < static_cast<int>(labels.size())) labels[static_cast<std::size_t>(row.position)] = row.label;
    }
    return labels;
  }
  // Brings a row into the given state through the events that lead there.
  void DriveTo(DeviceNumber device, GridRowStateCode state) {
    switch (state) {
      case GRID_ROW_READY: break;
      case GRID_ROW_BUSY: Status(EVENT_FLASH_PROGRESS, device, 1, 1, 10); break;
      case GRID_ROW_FINISHED: Status(EVENT_FLASH_DONE, device); break;
      case GRID_ROW_ERROR: Status(EVENT_FLASH_FAILED, device, 1, 1, 0, 60); break;
      case GRID_ROW_ERROR_REMOVED: Status(EVENT_FLASH_PROGRESS, device); grid.OnDeviceRemoved(device); Status(EVENT_FLASH_FAILED, device, 1, 1, 0, 60); break;
      case GRID_ROW_SCANNING: Status(EVENT_STATUS_SCANNING_FILE, device); break;
      case GRID_ROW_WAITING: Status(EVENT_BOOTLOAD_PROGRESS, device); break;
      case GRID_ROW_REMOVED_BUSY: Status(EVENT_FLASH_PROGRESS, device); grid.OnDeviceRemoved(device); break;
      case GRID_ROW_UNSUPPORTED: break;
    }
    ASSERT_EQ(RowOf(device).state, state);
  }

  DeviceGrid grid;
};

// A request refused before it ran (the user cancelled the missing-kernel
// box) leaves no row showing the previous job's "Complete" as its own; a
// row that ended otherwise, or a refused remote command, keeps its text.
TEST_F(DeviceGridTest, ARefusedRequestTakesThePreviousJobsCompleteOffTheRows) {
  Attach(4);
  Attach(5);
  DriveTo(4, GRID_ROW_FINISHED);
  ASSERT_EQ(RowOf(4).progressText, "Complete");
  Status(EVENT_FLASH_CANCELLED, 5);
  const std::string cancelled = RowOf(5).progressText;
  grid.OnRequestRefused(WM_FLASH, false);
  EXPECT_EQ(RowOf(4).progressText, "Complete");
  const GridEffects e = grid.OnRequestRefused(WM_FLASH, true);
  EXPECT_EQ(RowOf(4).state, GRID_ROW_READY);
  EXPECT_EQ(RowOf(4).progressText, "Ready");
  EXPECT_EQ(e.dirtyRows.count(grid.FindGridRow(4)), 1u);
  EXPECT_EQ(RowOf(5).progressText, cancelled);
}

struct OrderCase {
  std::vector<DeviceNumber> attach;
  std::vector<DeviceNumber> remove;
  std::vector<std::string> labels;
};

class GridOrder : public DeviceGridTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(GridOrder, RowsStaySortedWithComRowsLast) {
  for (DeviceNumber d : GetParam().attach) Attach(d);
  for (DeviceNumber d : GetParam().remove) Remove(d);
  EXPECT_EQ(Labels(), GetParam().labels);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, GridOrder,
    ::testing::Values(OrderCase{{128, 5, 3}, {}, {"USB3", "USB5", "COM2"}},
                      OrderCase{{3, 5, 128}, {}, {"USB3", "USB5", "COM2"}},
                      OrderCase{{127, 126, 0, 64}, {}, {"USB0", "USB64", "USB126", "COM1"}},
                      OrderCase{{9, 2, 127, 4}, {4}, {"USB2", "USB9", "COM1"}},
                      OrderCase{{9, 2, 127, 4}, {2, 127}, {"USB4", "USB9"}},
                      OrderCase{{9, 2, 127, 4}, {9, 4, 2}, {"COM1"}},
                      OrderCase{{9, 2, 127, 4}, {9, 4, 2, 127}, {}},
                      OrderCase{{6, 1}, {1}, {"USB6"}}));

TEST_F(DeviceGridTest, AnEleventhDeviceGetsNoRow) {
  for (int d = 0; d < 10; ++d) Attach(d * 2);
  EXPECT_EQ(grid.CountGridDevices(), 10);
  EXPECT_FALSE(grid.ReserveGridRow(50));
  Attach(1);
  EXPECT_EQ(grid.CountGridDevices(), 10);
  EXPECT_EQ(grid.FindGridRow(1), -1);
  // The row buttons of ten rows take every id of the pool, each once.
  std::set<int> ids;
  for (const auto& row : grid.Rows()) ids.insert({row.cancelId, row.retryId});
  EXPECT_EQ(ids.size(), 20u);
  EXPECT_EQ(*ids.begin(), 32828);
  EXPECT_EQ(*ids.rbegin(), 32847);
  // A removed row gives its ids back for the next device.
  Remove(0);
  Attach(1);
  EXPECT_GE(grid.FindGridRow(1), 0);
  EXPECT_NE(RowOf(1).cancelId, 0);
}

TEST_F(DeviceGridTest, ADeviceThatFindsTheGridFullIsNamedForTheLog) {
  for (int d = 0; d < 10; ++d) Attach(d * 2);
  GridEffects effects = grid.OnDeviceAttached(1);
  EXPECT_EQ(effects.withoutRow, std::vector<DeviceNumber>{1});
  // A device that has a row already starts afresh in it instead.
  EXPECT_TRUE(grid.OnDeviceAttached(4).withoutRow.empty());
  EXPECT_EQ(GridFullLogLine(1), "Warning> The status grid is full (10 devices): USB1 gets no row");
  EXPECT_EQ(GridFullLogLine(128), "Warning> The status grid is full (10 devices): COM2 gets no row");
}

TEST_F(DeviceGridTest, StartUpNamesTheDevicesBeyondTheTenthRow) {
  std::vector<DeviceNumber> devices;
  for (int d = 0; d < 12; ++d) devices.push_back(d);
  devices.push_back(3);  // listed twice: one row, not refused
  EXPECT_EQ(grid.ReserveDevices(devices), (std::vector<DeviceNumber>{10, 11}));
}

TEST_F(DeviceGridTest, NewRowsAreReadyOrUnsupported) {
  Attach(3);
  Attach(149);
  EXPECT_EQ(RowOf(3).state, GRID_ROW_READY);
  EXPECT_EQ(RowOf(3).progressText, "Ready");
  EXPECT_EQ(RowOf(3).counts, "(0/0)");
  EXPECT_FALSE(RowOf(3).cancelEnabled);
  EXPECT_FALSE(RowOf(3).errorColours);
  EXPECT_EQ(RowOf(149).state, GRID_ROW_UNSUPPORTED);
  EXPECT_EQ(RowOf(149).progressText, "UNSUPPORTED");
  EXPECT_EQ(RowOf(149).label, "Ralix");
  EXPECT_TRUE(RowOf(149).errorColours);
}

TEST_F(DeviceGridTest, AStatusForAnUnknownDeviceChangesNothing) {
  Attach(3);
  const DeviceRow before = RowOf(3);
  GridEffects e = Status(EVENT_FLASH_PROGRESS, 4, 1, 1, 50);
  EXPECT_TRUE(e.dirtyRows.empty());
  EXPECT_FALSE(e.report.has_value());
  EXPECT_EQ(RowOf(3).progressText, before.progressText);
  EXPECT_EQ(RowOf(3).state, before.state);
}

TEST_F(DeviceGridTest, AStatusForARowNotYetCreatedTouchesNoControl) {
  ASSERT_TRUE(grid.ReserveGridRow(3));
  GridEffects e = Status(EVENT_FLASH_PROGRESS, 3, 1, 1, 50);
  EXPECT_TRUE(e.dirtyRows.empty());
  EXPECT_FALSE(e.report.has_value());
  grid.ApplyGridRowChanges();
  EXPECT_EQ(RowOf(3).progressText, "Ready");
}

TEST_F(DeviceGridTest, Event63OnlyUpdatesTheCounts) {
  Attach(3);
  Status(EVENT_FLASH_PROGRESS, 3, 1, 1, 40);
  GridEffects e = Status(EVENT_STATUS_ITEM_QUEUED, 3, 1, 2, 0);
  EXPECT_EQ(RowOf(3).counts, "(1/2)");
  EXPECT_EQ(RowOf(3).state, GRID_ROW_BUSY);
  EXPECT_EQ(RowOf(3).progressText, "Flashing 40%");
  EXPECT_EQ(RowOf(3).percent, 40);
  EXPECT_FALSE(e.report.has_value());
}

// Event x prior state -> state, text and buttons.
struct RowCase {
  GridRowStateCode prior;
  int event;
  int started;
  int queued;
  GridRowStateCode state;
  const char* text;
  const char* cancelText;
  bool cancelEnabled;
  bool retryShown;
  bool errorColours;
};

class GridRowEvents : public DeviceGridTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(GridRowEvents, SetStateTextAndButtons) {
  const auto& c = GetParam();
  Attach(5);
  DriveTo(5, c.prior);
  Status(c.event, 5, c.started, c.queued, 42, 60);
  const DeviceRow& row = RowOf(5);
  EXPECT_EQ(row.state, c.state);
  EXPECT_EQ(row.progressText, c.text);
  EXPECT_EQ(row.cancelText, c.cancelText);
  EXPECT_EQ(row.cancelEnabled, c.cancelEnabled);
  EXPECT_EQ(row.retryShown, c.retryShown);
  EXPECT_EQ(row.errorColours, c.errorColours);
  EXPECT_EQ(row.counts, "(" + std::to_string(c.started) + "/" + std::to_string(c.queued) + ")");
}

INSTANTIATE_TEST_SUITE_P(
    Table, GridRowEvents,
    ::testing::Values(
        RowCase{GRID_ROW_READY, EVENT_FLASH_PROGRESS, 1, 1, GRID_ROW_BUSY, "Flashing 42%",
                "Cancel", true, false, false},
        RowCase{GRID_ROW_BUSY, EVENT_FLASH_DONE, 1, 1, GRID_ROW_FINISHED, "Complete", "Cancel", false, false, false},
        // Done while items are still queued: waiting, Cancel disabled.
        RowCase{GRID_ROW_BUSY, EVENT_FLASH_DONE, 1, 2, GRID_ROW_WAITING, "Complete", "Cancel", false, false, false},
        // A read-back ends with its file saved.
        RowCase{GRID_ROW_FINISHED, EVENT_STATUS_READ_FILE_SAVED, 1, 1, GRID_ROW_FINISHED, "Complete",
                "Cancel", false, false, false},
        RowCase{GRID_ROW_FINISHED, EVENT_STATUS_READ_FILE_SAVED, 1, 2, GRID_ROW_WAITING, "Complete",
                "Cancel", false, false, false},
        RowCase{GRID_ROW_BUSY, EVENT_FLASH_FAILED, 1, 1, GRID_ROW_ERROR, "Error", "Cancel", true, true, true},
        // An error after the device went away while busy: Close.
        RowCase{GRID_ROW_REMOVED_BUSY, EVENT_FLASH_FAILED, 1, 1, GRID_ROW_ERROR_REMOVED, "Error",
                "Close", true, true, true},
        RowCase{GRID_ROW_ERROR_REMOVED, EVENT_FLASH_PROGRESS, 1, 1, GRID_ROW_ERROR_REMOVED, "Flashing 42%",
                "Close", true, true, true},
        RowCase{GRID_ROW_ERROR, EVENT_FLASH_PROGRESS, 1, 1, GRID_ROW_BUSY, "Flashing 42%",
                "Cancel", true, false, false},
        RowCase{GRID_ROW_BUSY, EVENT_FLASH_CANCELLED, 1, 1, GRID_ROW_FINISHED, "Cancelled",
                "Cancel", false, false, false},
        RowCase{GRID_ROW_READY, EVENT_STATUS_SCANNING_FILE, 0, 1, GRID_ROW_SCANNING, "Scanning File...",
                "Cancel", false, false, false},
        RowCase{GRID_ROW_BUSY, EVENT_BOOTLOAD_PROGRESS, 1, 1, GRID_ROW_WAITING, "Bootloading 42%",
                "Cancel", false, false, false},
        RowCase{GRID_ROW_BUSY, EVENT_PHONE_CANCELLED, 1, 1, GRID_ROW_READY, "", "Cancel", false, false, false}));

TEST_F(DeviceGridTest, ErrorRowsCarryTheErrorTextAsTooltipUntilTheyLeaveTheErrorState) {
  Attach(5);
  Status(EVENT_FLASH_FAILED, 5, 1, 1, 0, 60);
  EXPECT_TRUE(RowOf(5).tooltipsSet);
  EXPECT_FALSE(RowOf(5).tooltip.empty());
  EXPECT_TRUE(RowOf(5).retryEnabled);
  Status(EVENT_FLASH_PROGRESS, 5, 1, 1, 10);
  EXPECT_FALSE(RowOf(5).tooltipsSet);
  EXPECT_TRUE(RowOf(5).tooltip.empty());
}

struct ReportCase {
  GridRowStateCode prior;
  int event;
  std::optional<int> state;  // none: no report
  const char* text;
};

class GridReport : public DeviceGridTest, public ::testing::WithParamInterface<ReportCase> {};

// The top row lends the run status its progress text while it works; how
// work ends (DONE, ERROR, "Cancelled") is the core thread's to report, for
// every device.
TEST_P(GridReport, TheTopRowReportsItsProgressOnly) {
  const auto& c = GetParam();
  Attach(5);
  DriveTo(5, c.prior);
  GridEffects e = Status(c.event, 5, 1, 1, 30, 60);
  ASSERT_EQ(e.report.has_value(), c.state.has_value());
  if (!c.state) return;
  EXPECT_EQ(e.report->state, *c.state);
  EXPECT_TRUE(e.report->progressOnly);
  EXPECT_EQ(e.report->text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    States, GridReport,
    ::testing::Values(ReportCase{GRID_ROW_BUSY, 14, std::nullopt, nullptr},
                      ReportCase{GRID_ROW_BUSY, 13, std::nullopt, nullptr},
                      ReportCase{GRID_ROW_BUSY, 50, std::nullopt, nullptr},
                      ReportCase{GRID_ROW_BUSY, 3, std::nullopt, nullptr},
                      ReportCase{GRID_ROW_READY, 11, STATUS_BUSY, "Flashing 30%"},
                      ReportCase{GRID_ROW_READY, 52, STATUS_BUSY, "Scanning File..."},
                      ReportCase{GRID_ROW_BUSY, 7, STATUS_BUSY, "Bootloading 30%"},
                      ReportCase{GRID_ROW_REMOVED_BUSY, 11, STATUS_BUSY, "Flashing 30%"},
                      ReportCase{GRID_ROW_BUSY, 12, std::nullopt, nullptr},
                      ReportCase{GRID_ROW_REMOVED_BUSY, 22, std::nullopt, nullptr}));

TEST_F(DeviceGridTest, OnlyTheTopRowReports) {
  Attach(5);
  Attach(2);
  EXPECT_FALSE(Status(EVENT_FLASH_PROGRESS, 5).report.has_value());
  EXPECT_TRUE(Status(EVENT_FLASH_PROGRESS, 2).report.has_value());
  EXPECT_FALSE(Status(EVENT_FLASH_PROGRESS, 149).report.has_value());
}

TEST_F(DeviceGridTest, RemovalOfAnIdleRowRemovesItAndOfABusyOneMarksIt) {
  Attach(1);
  Attach(2);
  Attach(3);
  Attach(4);
  DriveTo(2, GRID_ROW_BUSY);
  DriveTo(3, GRID_ROW_ERROR);
  DriveTo(4, GRID_ROW_FINISHED);
  Remove(1);
  Remove(2);
  Remove(3);
  Remove(4);
  EXPECT_EQ(grid.FindGridRow(1), -1);
  EXPECT_EQ(grid.FindGridRow(4), -1);
  EXPECT_EQ(RowOf(2).state, GRID_ROW_REMOVED_BUSY);
  EXPECT_EQ(RowOf(3).state, GRID_ROW_ERROR_REMOVED);
  EXPECT_EQ(RowOf(3).cancelText, "Close");
  EXPECT_FALSE(RowOf(3).retryEnabled);
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB2", "USB3"}));
  // The devices come back: busy becomes waiting, error stays error with Cancel.
  Attach(2);
  Attach(3);
  EXPECT_EQ(RowOf(2).state, GRID_ROW_WAITING);
  EXPECT_EQ(RowOf(3).state, GRID_ROW_ERROR);
  EXPECT_EQ(RowOf(3).cancelText, "Cancel");
  EXPECT_EQ(grid.CountGridDevices(), 2);
}

TEST_F(DeviceGridTest, AnIdleDeviceAttachedAgainGetsAFreshRowInItsPlace) {
  Attach(1);
  Attach(2);
  Status(EVENT_FLASH_DONE, 2, 3, 3);
  Attach(2);
  EXPECT_EQ(grid.CountGridDevices(), 2);
  EXPECT_EQ(RowOf(2).counts, "(0/0)");
  EXPECT_EQ(RowOf(2).progressText, "Ready");
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB1", "USB2"}));
}

TEST_F(DeviceGridTest, ARowNeverCreatedIsFreedWithoutShiftingRows) {
  Attach(1);
  Attach(5);
  // While the window is minimised a device comes and goes before any row is made.
  grid.OnDeviceAttached(3);
  grid.OnDeviceRemoved(3);
  GridEffects e = grid.ApplyGridRowChanges();
  EXPECT_FALSE(e.rowsChanged);
  EXPECT_EQ(grid.FindGridRow(3), -1);
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB1", "USB5"}));
  // Attached twice before the rows are made: one row.
  grid.OnDeviceAttached(4);
  grid.OnDeviceAttached(4);
  grid.ApplyGridRowChanges();
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB1", "USB4", "USB5"}));
}

TEST_F(DeviceGridTest, ADeviceListedTwiceAtStartUpGetsOneRow) {
  grid.ReserveDevices({3, 7, 3, 127});
  grid.ApplyGridRowChanges();
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB3", "USB7", "COM1"}));
}

TEST_F(DeviceGridTest, RowButtons) {
  Attach(5);
  DriveTo(5, GRID_ROW_ERROR);
  const int retry = RowOf(5).retryId;
  const int cancel = RowOf(5).cancelId;
  GridEffects e = grid.OnRowButton(retry);
  EXPECT_EQ(e.posts, (std::vector<GridPost>{{PT_PREPROCESSING, WM_RETRY_DEVICE, 5}}));
  EXPECT_EQ(RowOf(5).state, GRID_ROW_BUSY);
  EXPECT_FALSE(RowOf(5).cancelEnabled);
  EXPECT_FALSE(RowOf(5).tooltipsSet);
  // The retried job's first record shows the row busy: Cancel usable, the
  // Retry button and the error colours gone.
  Status(EVENT_FLASH_PROGRESS, 5, 1, 1, 10);
  EXPECT_TRUE(RowOf(5).cancelEnabled);
  EXPECT_FALSE(RowOf(5).retryShown);
  EXPECT_FALSE(RowOf(5).progressNarrowed);
  EXPECT_FALSE(RowOf(5).errorColours);
  EXPECT_EQ(RowOf(5).progressText, "Flashing 10%");

  e = grid.OnRowButton(cancel);  // busy
  EXPECT_EQ(e.posts, (std::vector<GridPost>{{PT_PREPROCESSING, WM_CANCEL_DEVICE, 5}}));
  DriveTo(5, GRID_ROW_ERROR);
  e = grid.OnRowButton(cancel);
  EXPECT_EQ(e.posts, (std::vector<GridPost>{{PT_PREPROCESSING, WM_CANCEL_DEVICE, 5}}));

  Status(EVENT_FLASH_DONE, 5);
  EXPECT_TRUE(grid.OnRowButton(cancel).posts.empty());  // finished: nothing more
  EXPECT_TRUE(grid.OnRowButton(32847).posts.empty());   // no row has it
}

TEST_F(DeviceGridTest, TheCloseButtonRemovesTheRow) {
  Attach(5);
  Attach(7);
  DriveTo(5, GRID_ROW_ERROR_REMOVED);
  GridEffects e = grid.OnRowButton(RowOf(5).cancelId);
  EXPECT_EQ(e.posts, (std::vector<GridPost>{{PT_PREPROCESSING, WM_CANCEL_DEVICE, 5}}));
  EXPECT_TRUE(e.rowsChanged);
  EXPECT_EQ(grid.FindGridRow(5), -1);
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB7"}));
}

// STATUS RESET: the core thread cancels the work itself, so the rows post no
// cancel of their own (it would drop work queued after the reset).
TEST_F(DeviceGridTest, ResetAllRowsReadiesErrorRowsAndClosesRemovedOnes) {
  Attach(1);
  Attach(2);
  Attach(3);
  DriveTo(1, GRID_ROW_ERROR);
  DriveTo(2, GRID_ROW_ERROR_REMOVED);
  DriveTo(3, GRID_ROW_BUSY);
  GridEffects e = grid.OnResetAllRows();
  EXPECT_TRUE(e.posts.empty());
  grid.ApplyGridRowChanges();
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB1", "USB3"}));
  EXPECT_EQ(RowOf(1).state, GRID_ROW_READY);
  EXPECT_EQ(RowOf(3).state, GRID_ROW_BUSY);
}

// The core thread's reset of a row whose device went away in error closes it.
TEST_F(DeviceGridTest, ResetOfARemovedErrorRowClosesIt) {
  Attach(1);
  Attach(2);
  DriveTo(2, GRID_ROW_ERROR_REMOVED);
  grid.OnResetDeviceRow(2);
  grid.ApplyGridRowChanges();
  EXPECT_EQ(Labels(), (std::vector<std::string>{"USB1"}));
}

TEST_F(DeviceGridTest, ResetRowMakesItReady) {
  Attach(5);
  DriveTo(5, GRID_ROW_ERROR);
  grid.OnResetDeviceRow(5);
  EXPECT_EQ(RowOf(5).state, GRID_ROW_READY);
  EXPECT_EQ(RowOf(5).progressText, "Ready");
  EXPECT_FALSE(RowOf(5).retryShown);
  EXPECT_FALSE(RowOf(5).tooltipsSet);
}

// Flash Software waits for its own read-back only.
class FlashSoftwareTest : public DeviceGridTest {
 protected:
  // The update flash of the device whose read-back was saved (5 in every test).
  static bool PostsFlash(const GridEffects& e) {
    return e.posts == std::vector<GridPost>{{PT_PREPROCESSING, WM_FLASH, 5}};
  }
};

TEST_F(FlashSoftwareTest, ItsSavedReadBackStartsTheUpdateFlashOnce) {
  Attach(5);
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 5, 1, 1, 50);
  UpdateReadBack(EVENT_REVERSE_FLASH_DONE, 5);
  UpdateReadBack(EVENT_STATUS_SAVING_FILE, 5);
  GridEffects e = UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 5, 1, 1, 100);
  EXPECT_TRUE(PostsFlash(e));
  EXPECT_TRUE(e.flashReleased);
  EXPECT_FALSE(grid.PendingFlashDevice().has_value());
  // A later saved read-back of another kind starts nothing.
  Status(EVENT_REVERSE_FLASH_DONE, 5);
  e = Status(EVENT_STATUS_READ_FILE_SAVED, 5, 1, 1, 100);
  EXPECT_TRUE(e.posts.empty());
  EXPECT_FALSE(e.flashReleased);
}

// The user's own Reverse Flash, a RAM dump or a GPS-chip read saves its file
// with the same events: while Flash Software waits behind it, that file
// starts nothing, and Flash Software's own file still starts the update.
TEST_F(FlashSoftwareTest, OtherSavedReadBacksStartNothing) {
  Attach(5);
  for (int done : {28, 32, 41}) {
    Status(done, 5);
    EXPECT_TRUE(Status(EVENT_STATUS_READ_FILE_SAVED, 5).posts.empty()) << "without Flash Software, after " << done;
  }
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  for (int other : {21, 24, 25, 28, 29, 32, 39, 41}) {
    Status(other, 5, 1, 2);
    Status(EVENT_STATUS_SAVING_FILE, 5, 1, 2);
    GridEffects e = Status(EVENT_STATUS_READ_FILE_SAVED, 5, 1, 2);
    EXPECT_TRUE(e.posts.empty()) << "while Flash Software waits, after " << other;
    EXPECT_FALSE(e.flashReleased);
    EXPECT_EQ(grid.PendingFlashDevice(), 5);
  }
  UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 5, 2, 2, 30);
  UpdateReadBack(EVENT_STATUS_SAVING_FILE, 5, 2, 2);
  EXPECT_TRUE(PostsFlash(UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 5, 2, 2)));
}

TEST_F(FlashSoftwareTest, AReadBackTooSmallToReportProgressStillCounts) {
  Attach(5);
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  UpdateReadBack(EVENT_STATUS_SAVING_FILE, 5);
  EXPECT_TRUE(PostsFlash(UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 5, 1, 1, 100)));
}

// A read-back that fails gives Flash Software back while the row waits for
// Retry or Cancel; a Retry runs the same read-back again, which takes Flash
// Software up again and, once its file is saved, starts the update flash.
TEST_F(FlashSoftwareTest, AFailedReadBackRetriedGoesOnToTheUpdateFlash) {
  Attach(5);
  for (int failure : {22, 59}) {
    ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
    GridEffects e = UpdateReadBack(failure, 5, 0, 1, 0, 60);
    EXPECT_TRUE(e.flashReleased) << failure;
    EXPECT_TRUE(e.posts.empty());
    EXPECT_FALSE(grid.PendingFlashDevice().has_value());
    e = grid.OnRowButton(RowOf(5).retryId);
    ASSERT_EQ(e.posts, (std::vector<GridPost>{{PT_PREPROCESSING, WM_RETRY_DEVICE, 5}}));
    e = UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 5, 1, 1, 10);
    EXPECT_TRUE(e.flashTaken) << failure;
    EXPECT_EQ(grid.PendingFlashDevice(), 5);
    EXPECT_FALSE(UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 5, 1, 1, 90).flashTaken);
    e = UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 5, 1, 1, 100);
    EXPECT_TRUE(PostsFlash(e)) << failure;
    EXPECT_TRUE(e.flashReleased);
    EXPECT_FALSE(e.flashTaken);
  }
}

TEST_F(FlashSoftwareTest, ACancelledReadBackGivesFlashSoftwareBack) {
  Attach(5);
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  GridEffects e = UpdateReadBack(23, 5);
  EXPECT_TRUE(e.flashReleased);
  EXPECT_TRUE(e.posts.empty());
  // Cancelled while it waited behind another job: that job's record says so.
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  EXPECT_TRUE(Status(23, 5).flashReleased);
  EXPECT_FALSE(grid.PendingFlashDevice().has_value());
}

TEST_F(FlashSoftwareTest, ARefusedReadBackGivesFlashSoftwareBackAndOnlyThat) {
  Attach(5);
  struct Refusal {
    std::uint32_t jobCode;
    bool interactive;
    bool releases;
  };
  // Only the user's read-back is Flash Software's: a refused erase, or a
  // remote command's read-back, leaves it waiting.
  const Refusal cases[] = {{WM_REVERSE_FLASH, true, true},
                           {WM_REVERSE_FLASH, false, false},
                           {WM_ERASE, true, false},
                           {WM_FLASH, true, false}};
  for (const Refusal& c : cases) {
    ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
    GridEffects e = grid.OnRequestRefused(c.jobCode, c.interactive);
    EXPECT_EQ(e.flashReleased, c.releases) << c.jobCode << " " << c.interactive;
    EXPECT_EQ(grid.PendingFlashDevice().has_value(), !c.releases) << c.jobCode << " " << c.interactive;
    EXPECT_TRUE(e.posts.empty());
    if (!c.releases) Status(EVENT_REVERSE_FLASH_FAILED, 5, 1, 1, 0, 60);  // the next case starts anew
  }
  // With nothing waiting, a refusal changes nothing.
  EXPECT_FALSE(grid.OnRequestRefused(WM_REVERSE_FLASH, true).flashReleased);
}

TEST_F(FlashSoftwareTest, AnotherDevicesEventsDoNotCount) {
  grid.ReserveDevices({5, 6});
  grid.ApplyGridRowChanges();
  EXPECT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::MultipleDevices);
  Remove(6);
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  EXPECT_EQ(grid.PendingFlashDevice(), 5);
}

TEST_F(FlashSoftwareTest, NoDeviceOrItsRowGoneGivesFlashSoftwareBack) {
  EXPECT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::NoDevice);
  Attach(149);
  EXPECT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::NoDevice);
  Remove(149);
  Attach(5);
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  GridEffects e = Remove(5);
  EXPECT_TRUE(e.flashReleased);
  EXPECT_FALSE(grid.PendingFlashDevice().has_value());
}

}  // namespace

namespace {

// Every job's row ends "Complete" or "Error": a refused update flash ends
// the row that started it in "Error", its reason as the tooltip and the
// overall status; nothing is left to retry or cancel.
TEST_F(FlashSoftwareTest, ARefusedUpdateFlashEndsItsRowInErrorWithTheReason) {
  Attach(5);
  ASSERT_EQ(grid.BeginFlashSoftware(), FlashSoftwareStart::Pending);
  UpdateReadBack(EVENT_REVERSE_FLASH_PROGRESS, 5, 1, 1, 100);
  ASSERT_TRUE(PostsFlash(UpdateReadBack(EVENT_STATUS_READ_FILE_SAVED, 5, 1, 1, 100)));
  EXPECT_EQ(RowOf(5).progressText, "Complete");
  const std::string reason = "The radio has the latest firmware. The flash operation stops.";
  const GridEffects e = grid.OnUpdateRefused(reason);
  const DeviceRow& row = RowOf(5);
  EXPECT_EQ(row.progressText, "Error");
  EXPECT_TRUE(row.errorColours);
  EXPECT_EQ(row.tooltip, reason);
  EXPECT_FALSE(row.cancelEnabled);
  EXPECT_FALSE(row.retryShown);
  ASSERT_TRUE(e.report.has_value());
  EXPECT_EQ(e.report->state, STATUS_ERROR);
  EXPECT_TRUE(e.dirtyRows.contains(grid.FindGridRow(5)));
  // The next job takes the row on as usual.
  Status(EVENT_FLASH_PROGRESS, 5, 1, 1, 10);
  EXPECT_EQ(RowOf(5).progressText, "Flashing 10%");
  EXPECT_FALSE(RowOf(5).errorColours);
  EXPECT_FALSE(RowOf(5).tooltipsSet);
  // A refusal with no update flash of its own changes nothing.
  EXPECT_TRUE(grid.OnUpdateRefused(reason).dirtyRows.empty());
}

// The error's reason is the code's text and, where the record names one,
// its cause (the file that would not load, the GPS-chip library's message);
// it stays the tooltip while work queued behind the error comes in.
TEST_F(DeviceGridTest, AnErrorsCauseIsInTheTooltipAndStaysWhileWorkQueuesBehindIt) {
  Attach(5);
  DeviceStatusRecord r;
  r.eventCode = EVENT_STATUS_FILE_OPEN_FAILED;
  r.device = 5;
  r.itemsStarted = 1;
  r.itemsQueued = 1;
  r.error = std::make_unique<ErrorRecord>();
  r.error->device = 5;
  r.error->errorCode = 202;
  r.error->details.cause = "/images/gone.s19";
  const GridEffects e = grid.OnGridStatus(r);
  EXPECT_EQ(RowOf(5).tooltip, "Error opening file: /images/gone.s19");
  // The core thread reports the error for the run status, not the grid.
  EXPECT_FALSE(e.report.has_value());
  Status(EVENT_STATUS_ITEM_QUEUED, 5, 1, 3);
  EXPECT_EQ(RowOf(5).state, GRID_ROW_ERROR);
  EXPECT_EQ(RowOf(5).progressText, "Error");
  EXPECT_EQ(RowOf(5).counts, "(1/3)");
  EXPECT_EQ(RowOf(5).tooltip, "Error opening file: /images/gone.s19");
}

}  // namespace
