// The program's starters behind the core processing thread: a comm check
// against a simulated radio on a pseudo-terminal, the flashpack starters,
// and jobs whose operations end in an error.

#include "core_thread_harness.h"
#include "engine/core/messages.h"
#include "engine/processing/job_starters.h"
#include "radio_on_pty.h"

using namespace test_support;

namespace {

constexpr int kComNumber = 6;
constexpr DeviceNumber kRadioDevice = 126 + kComNumber;

std::unique_ptr<CJobOptions> RadioOptions(std::vector<SectorEntry> sectors = {}) {
  auto options = std::make_unique<CJobOptions>();
  options->SetIntParam(OPTION_COMM_PROTOCOL, 0);
  options->SetIntParam(OPTION_SERIAL_PORT, kComNumber - 1);
  SectorList list;
  list.processorName = "HARROW";
  list.sectors = std::move(sectors);
  options->SetSectorList(list);
  return options;
}

class StarterTest : public CoreThreadTest {
 protected:
  void StartWithStarters() { StartCore({}, std::make_unique<CJobStarters>()); }
};

struct RadioStart {
  const char* name;
  radiosim::PowerOnState powerOn;
};

class CommCheckTest : public StarterTest, public ::testing::WithParamInterface<RadioStart> {};

TEST_P(CommCheckTest, FinishesAgainstTheSimulatedRadio) {
  RadioOnPty radio({.bootLoader = radiosim::BootLoaderType::Harrow, .powerOn = GetParam().powerOn}, kComNumber);
  ASSERT_TRUE(radio.started());
  StartWithStarters();
  Queue(WM_COMM_CHECK, kRadioDevice, RadioOptions());
  ASSERT_TRUE(shell_.WaitLog("COM6> Starting Comm Check"));
  ASSERT_TRUE(shell_.WaitLog("COM6> Item finished with sequence number 0")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(kRadioDevice, EVENT_COMM_CHECK_DONE));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
}

INSTANTIATE_TEST_SUITE_P(PowerOn, CommCheckTest,
                         ::testing::Values(RadioStart{"kernel running", radiosim::PowerOnState::Kernel},
                                           RadioStart{"boot loader", radiosim::PowerOnState::BootLoader}),
                         [](const auto& info) { return info.param.powerOn == radiosim::PowerOnState::Kernel ? "KernelRunning" : "BootLoader"; });

TEST_F(StarterTest, CommCheckWithoutARadioFailsAndCancelClearsTheDevice) {
  StartWithStarters();
  auto options = RadioOptions();
  options->SetIntParam(OPTION_SERIAL_PORT, 18);  // COM19: nothing there
  Queue(WM_COMM_CHECK, 145, std::move(options));
  ASSERT_TRUE(shell_.WaitLog("COM19> ERROR: ")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(145, EVENT_COMM_CHECK_FAILED));
  const std::size_t mark = shell_.CompleteReports();
  Post(WM_CANCEL_DEVICE, 145);
  ASSERT_TRUE(shell_.WaitRowReset(145));
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
}

struct MissingOperation {
  std::uint32_t jobCode;
  std::int32_t failedEvent;
  const char* startLine;
};

class MissingOperationTest : public StarterTest, public ::testing::WithParamInterface<MissingOperation> {};

// Operations on a port where no radio answers end the job in an error; the
// device is never left busy.
TEST_P(MissingOperationTest, EndsInAnErrorThatCancelClears) {
  StartWithStarters();
  const MissingOperation& op = GetParam();
  Queue(op.jobCode, kCom2, RadioOptions());
  ASSERT_TRUE(shell_.WaitLog("COM2> ERROR: ")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(kCom2, op.failedEvent));
  if (op.startLine[0] != '\0') {
    EXPECT_TRUE(shell_.WaitLog(std::string("COM2> ") + op.startLine));
  }
  Post(WM_CANCEL_DEVICE, kCom2);
  EXPECT_TRUE(shell_.WaitRowReset(kCom2));
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, MissingOperationTest,
    ::testing::Values(MissingOperation{WM_ERASE, EVENT_FLASH_FAILED, "Starting Erase"},
                      MissingOperation{WM_PROGRAM_MAGIC_KEY, EVENT_MAGIC_KEY_FAILED, "Starting Program Magic Key"},
                      MissingOperation{WM_RESET_TARGET, EVENT_RESET_TARGET_FAILED, "Starting Reset Target"},
                      MissingOperation{WM_ORVIX_ERASE, EVENT_ORVIX_ERASE_FAILED, ""}));

TEST_F(StarterTest, FlashpackAddBeforeAnyExtractFailsWith79) {
  StartWithStarters();
  auto payload = FilePayload(folder_.File("pack.s19"));
  Queue(WM_FLASHPACK_ADD, kCom1, std::move(payload));
  ASSERT_TRUE(shell_.WaitLog("COM1> ERROR: Flashpacks have not been extracted")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(kCom1, EVENT_STATUS_FLASHPACK_ADD_FAILED));
}

TEST_F(StarterTest, FlashpackRemoveAndUpdateFlashBeforeAnyExtractFailWith79) {
  StartWithStarters();
  auto remove = std::make_unique<FlashpackRemovePayload>();
  remove->packIndices = {1};
  Queue(WM_FLASHPACK_REMOVE, kCom1, std::move(remove));
  Queue(WM_FLASHPACK_UPDATE_FLASH, kCom2, RadioOptions());
  ASSERT_TRUE(shell_.WaitLog("COM1> ERROR: Flashpacks have not been extracted"));
  ASSERT_TRUE(shell_.WaitLog("COM2> ERROR: Flashpacks have not been extracted"));
  EXPECT_TRUE(shell_.WaitStatus(kCom1, EVENT_STATUS_FLASHPACK_REMOVE_FAILED));
  EXPECT_TRUE(shell_.WaitStatus(kCom2, EVENT_FLASH_FAILED));
}

TEST_F(StarterTest, FlashpackExtractWithoutAnAllocationFailsWith89) {
  StartWithStarters();
  Queue(WM_FLASHPACK_EXTRACT, kCom1, RadioOptions({{0x10000, 0x10000, "CODE", 0}}));
  ASSERT_TRUE(shell_.WaitLog("COM1> ERROR: No allocation for FLASHPACK in .qlp file")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(kCom1, EVENT_FLASHPACK_EXTRACT_FAILED));
}

TEST(CustomCommandStarter, ARetriedCommandDoesNotAppendItsRegionsTwice) {
  CJobStarters starters;
  CKernelImageSlots kernels;
  JobQueueEntry entry;
  entry.jobCode = WM_CUSTOM_COMMAND;
  entry.device = kCom1;
  auto payload = std::make_unique<CustomCommandPayload>();
  payload->label = "Read serial";
  payload->command = {0x01, 0x02, 0x03};
  payload->commandLength = 3;
  payload->flags = 1;
  CustomCommandPayload* held = payload.get();
  entry.payload = std::move(payload);
  const DispatchContext context{kernels, false};
  ASSERT_EQ(starters.DispatchJob(entry, context), DispatchResult::Started);
  // A retry comes only after the first attempt has ended.
  CKernel* kernel = starters.Objects().KernelOf(kCom1);
  ASSERT_NE(kernel, nullptr);
  ShellStandIn shell;
  ASSERT_TRUE(shell.WaitUntil([&] { return kernel->GetBusyState() == KERNEL_OK; }));
  ASSERT_EQ(starters.DispatchJob(entry, context), DispatchResult::Started);
  ASSERT_TRUE(shell.WaitUntil([&] { return kernel->GetBusyState() == KERNEL_OK; }));
  ASSERT_TRUE(held->regions);
  ASSERT_EQ(held->regions->Count(), 2u);
  EXPECT_EQ((*held->regions)[0].length, 3u);
  EXPECT_EQ((*held->regions)[0].address, 1u);
  EXPECT_EQ((*held->regions)[0].buffer[2], 0x03);
  EXPECT_EQ((*held->regions)[1].length, 3072u);
}

TEST(Starters, UnknownJobCodeStartsNothing) {
  CJobStarters starters;
  CKernelImageSlots kernels;
  JobQueueEntry entry;
  entry.jobCode = 0x4321;
  entry.device = kCom1;
  EXPECT_EQ(starters.DispatchJob(entry, DispatchContext{kernels, false}), DispatchResult::UnknownCode);
}

}  // namespace
