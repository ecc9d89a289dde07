// What the window says before it closes with work under way: which rows
// run a job, the question's text and the log line of the quit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/device_event.h"
#include "shell/grid/device_grid.h"
#include "shell/grid/running_jobs.h"

namespace {

class RunningJobs : public ::testing::Test {
 protected:
  void Attach(DeviceNumber device) {
    GridEffects e = grid.OnDeviceAttached(device);
    if (e.applyWanted) grid.ApplyGridRowChanges();
  }
  void Status(int event, DeviceNumber device, int percent = 0) {
    DeviceStatusRecord r;
    r.eventCode = event;
    r.device = device;
    r.itemsStarted = 1;
    r.itemsQueued = 1;
    r.percent = percent;
    if (event == EVENT_FLASH_FAILED) {
      r.error = std::make_unique<ErrorRecord>();
      r.error->device = device;
      r.error->eventCode = event;
      r.error->errorCode = 12;
    }
    grid.OnGridStatus(r);
  }
  DeviceGrid grid;
};

TEST_F(RunningJobs, OnlyRowsWithWorkUnderWayCountTopRowFirst) {
  for (DeviceNumber d : {9, 3, 5, DEVICE_FIRST_COM}) Attach(d);
  Status(EVENT_FLASH_PROGRESS, DEVICE_FIRST_COM, 20);
  Status(EVENT_FLASH_PROGRESS, 9, 40);
  Status(EVENT_FLASH_DONE, 3, 100);
  Status(EVENT_FLASH_FAILED, 5);
  EXPECT_EQ(DevicesWithRunningJobs(grid), (std::vector<DeviceNumber>{9, DEVICE_FIRST_COM}));
}

TEST_F(RunningJobs, ADeviceRemovedWhileBusyStillRunsItsJob) {
  Attach(4);
  Status(EVENT_FLASH_PROGRESS, 4, 10);
  grid.OnDeviceRemoved(4);
  EXPECT_EQ(DevicesWithRunningJobs(grid), (std::vector<DeviceNumber>{4}));
}

TEST_F(RunningJobs, NoRowsOrIdleRowsRunNothing) {
  EXPECT_TRUE(DevicesWithRunningJobs(grid).empty());
  Attach(2);
  EXPECT_TRUE(DevicesWithRunningJobs(grid).empty());
}

TEST(RunningJobsText, NamesTheCountAndTheDevices) {
  EXPECT_EQ(RunningJobsText({DEVICE_FIRST_COM}), "A job is running on 1 device (COM1).");
  EXPECT_EQ(RunningJobsText({3, DEVICE_FIRST_COM + 2}), "Jobs are running on 2 devices (USB3, COM3).");
  EXPECT_EQ(QuitCancelsJobsLogLine({3, DEVICE_FIRST_COM + 2}),
            "Quit: cancelling the jobs running on 2 devices (USB3, COM3)");
  EXPECT_EQ(QuitCancelsJobsLogLine({DEVICE_SMARTPHONE}), "Quit: cancelling the jobs running on 1 device (Smartphone)");
}

}  // namespace
