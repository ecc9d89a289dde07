// Device-independent jobs run without the kernel files: a delete goes
// through while a device job is still refused.

#include <filesystem>
#include <fstream>

#include "core_thread_harness.h"
#include "engine/core/messages.h"

using namespace test_support;

namespace {

TEST_F(CoreThreadTest, ADeleteRunsWithoutTheKernelFilesWhileDeviceJobsAreRefused) {
  for (const char* kernel : {"biselkrnl.s19", "harrowkrnl.s19"}) std::filesystem::remove(folder_.File(kernel));
  StartCore();
  const std::string doomed = folder_.File("doomed.txt");
  std::ofstream(doomed) << "x";
  Queue(WM_DELETE_FILE, DEVICE_INDEPENDENT, std::make_unique<std::string>(doomed));
  ASSERT_TRUE(shell_.WaitLog("Deleting " + doomed));
  // The log line comes before the removal: wait for the file to go.
  EXPECT_TRUE(shell_.WaitUntil([&] { return !std::filesystem::exists(doomed); }));
  Queue(WM_COMM_CHECK, kCom1, Options());
  ASSERT_TRUE(shell_.WaitLog("Error> "));
  EXPECT_EQ(dispatch_->Count(kCom1), 0u);
}

}  // namespace
