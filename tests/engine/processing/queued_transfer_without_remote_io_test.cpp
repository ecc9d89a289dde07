// A queued remote transfer that the remote-I/O thread cannot take (it is
// not there) ends at once, so the work queued behind it still runs.

#include <filesystem>
#include <fstream>

#include "core_thread_harness.h"
#include "engine/core/file_transfer_request.h"
#include "engine/core/messages.h"

using namespace test_support;

namespace {

TEST_F(CoreThreadTest, AQueuedTransferWithNoRemoteThreadEndsAndTheQueueGoesOn) {
  StartCore();
  const std::string doomed = folder_.File("doomed.txt");
  std::ofstream(doomed) << "x";
  Queue(WM_REMOTE_FILE_TRANSFER, DEVICE_INDEPENDENT,
        std::make_unique<FileTransferRequest>(FileTransferRequest{"a.bin", "127.0.0.1", 5000, 0, 1}));
  Queue(WM_DELETE_FILE, DEVICE_INDEPENDENT, std::make_unique<std::string>(doomed));
  ASSERT_TRUE(shell_.WaitLog("Error> file transfer: file transfer failure"));
  ASSERT_TRUE(shell_.WaitLog("Deleting " + doomed));
  EXPECT_TRUE(shell_.WaitUntil([&] { return !std::filesystem::exists(doomed); }));
}

}  // namespace
