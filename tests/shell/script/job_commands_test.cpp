// Every command that queues a job: its job code, device, payload and flags,
// or its error text and no job, for RS232 and USB and for remote lines and
// script files.

#include <functional>
#include <tuple>

#include "engine/core/status_report.h"
#include "script_fixture.h"

namespace script_test {
namespace {

using Flags = std::tuple<std::int32_t, std::int32_t, std::int32_t>;  // flag B, flag A, interactive
using PayloadCheck = std::function<void(const CJobRequest&)>;

struct JobCase {
  const char* line;
  int protocol = 0;  // 0 RS232 (device 129 here), 1 USB
  int interactive = 0;
  std::uint32_t jobCode = 0;  // 0: the line fails
  DeviceNumber device = 0;
  Flags flags{};
  PayloadCheck check;
  std::string error;  // the logged line when it fails
  int dataRate = 0;
  int autoErase = 0;
};

std::vector<std::uint32_t> Selected(const CJobOptions& options) {
  std::vector<std::uint32_t> flags;
  for (const auto& s : options.GetSectorList().sectors) flags.push_back(s.selected);
  return flags;
}

std::vector<ImageRegion> Regions(const RegionListPtr& list) {
  return list ? std::vector<ImageRegion>(list->begin(), list->end()) : std::vector<ImageRegion>{};
}

PayloadCheck File(const std::string& name) {
  return [name](const CJobRequest& job) {
    auto* file = job.payload.Get<FileJobPayload>();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->imageFileName, name);
    EXPECT_FALSE(file->loadedImage);
    EXPECT_EQ(file->options.GetSectorList(), GetAppSettings().GetSectorList());
    EXPECT_EQ(file->options.GetIntParam(OPTION_SERIAL_PORT), 2);
  };
}

PayloadCheck OptionsSelecting(std::vector<std::uint32_t> flags) {
  return [flags](const CJobRequest& job) {
    auto* options = job.payload.Get<CJobOptions>();
    ASSERT_TRUE(options);
    EXPECT_EQ(Selected(*options), flags);
  };
}

PayloadCheck ReadBack(std::uint32_t output, std::uint32_t base, std::uint32_t reserved, int length,
                      std::vector<ImageRegion> regions) {
  return [=](const CJobRequest& job) {
    auto* p = job.payload.Get<ReadBackPayload>();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->outputAddress, output);
    EXPECT_EQ(p->readBaseAddress, base);
    EXPECT_EQ(p->reserved, reserved);
    EXPECT_EQ(p->recordLength, length);
    EXPECT_EQ(p->outputFileName, "out.s19");
    EXPECT_EQ(Regions(p->regions), regions);
    // The selection as the merge left it: nothing selected.
    EXPECT_EQ(Selected(p->options), (std::vector<std::uint32_t>{0, 0, 0, 0, 0}));
  };
}

const Flags kRemote{1, 0, 0};
const Flags kScript{1, 1, 1};
const Flags kQuiet{0, 0, 0};
constexpr DeviceNumber kCom3 = 129;
constexpr DeviceNumber kUsb = DEVICE_UNASSIGNED;
const std::vector<std::uint32_t> kNone{0, 0, 0, 0, 0};

JobCase Fails(const char* line, std::string error, int protocol = 0) {
  JobCase c;
  c.line = line;
  c.protocol = protocol;
  c.error = std::move(error);
  return c;
}

JobCase Job(const char* line, std::uint32_t code, DeviceNumber device, Flags flags, PayloadCheck check = {},
            int protocol = 0, int interactive = 0) {
  JobCase c;
  c.line = line;
  c.jobCode = code;
  c.device = device;
  c.flags = flags;
  c.check = std::move(check);
  c.protocol = protocol;
  c.interactive = interactive;
  return c;
}

class JobCommands : public ScriptFixture, public ::testing::WithParamInterface<JobCase> {};

TEST_P(JobCommands, QueueTheirJobOrFailWithTheirText) {
  const JobCase& c = GetParam();
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, c.protocol);
  GetAppSettings().SetIntParam(OPTION_DATA_RATE, c.dataRate);
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, c.autoErase);
  context_.interactive = c.interactive;
  const bool failed = Run(c.line);
  auto jobs = Jobs();
  if (c.jobCode == 0) {
    EXPECT_TRUE(failed);
    EXPECT_TRUE(jobs.empty());
    EXPECT_EQ(Log(), std::vector<std::string>{c.error});
    return;
  }
  EXPECT_FALSE(failed);
  EXPECT_TRUE(Log().empty());
  ASSERT_EQ(jobs.size(), 1u);
  const CJobRequest& job = *jobs[0];
  EXPECT_EQ(job.jobCode, c.jobCode);
  EXPECT_EQ(job.device, c.device);
  EXPECT_EQ(Flags(job.senderFlagB, job.senderFlagA, job.interactive), c.flags);
  EXPECT_TRUE(PayloadFitsJob(job.jobCode, job.payload));
  if (c.check) c.check(job);
}

JobCase WithRate(JobCase c, int rate) {
  c.dataRate = rate;
  return c;
}
JobCase WithAutoErase(JobCase c) {
  c.autoErase = 1;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, JobCommands,
    ::testing::Values(
        Job("FLASH image.s19", WM_FLASH, kCom3, kRemote, File("image.s19")),
        Job("flash \"my image.s19\"", WM_FLASH, kUsb, kRemote, File("my image.s19"), 1),
        Job("FLASH image.s19", WM_FLASH, kCom3, kScript, File("image.s19"), 0, 1),
        Fails("FLASH", "Error> FLASH command missing filename"),
        Job("ERASE 0 2-3 code", WM_ERASE, kCom3, kRemote, OptionsSelecting({1, 1, 1, 1, 0})),
        Job("ERASE NOSUCHNAME", WM_ERASE, kUsb, kRemote, OptionsSelecting(kNone), 1),
        Fails("ERASE", "Error> ERASE command missing sector info"),
        Fails("ERASE 4-2", "Error> sector range must be in ascending order"),
        Fails("ERASE 9", "Error> sector 9 is outside range of flash memory map"),
        Fails("ERASE 5-", "Error> sector 5 is outside range of flash memory map"),
        Fails("ERASE 3-", "Error> error in sector range specification"),
        Job("REVERSE_FLASH out.s19 DEFAULT DEFAULT ALL", WM_REVERSE_FLASH, kCom3, kRemote,
            ReadBack(0, 0, 0, 21, {{0, 0x40000, nullptr}})),
        Job("REVERSE_FLASH out.s19 0x20000 DEFAULT 3 2", WM_REVERSE_FLASH, kUsb, kRemote,
            ReadBack(0x20000, 0x20000, 0, 21, {{0x20000, 0x10000, nullptr}}), 1),
        Job("REVERSE_FLASH out.s19 DEFAULT 16 codeplug 1", WM_REVERSE_FLASH, kCom3, kRemote,
            ReadBack(0x10000, 0x10000, 0, 16, {{0x10000, 0x10000, nullptr}, {0x30000, 0x10000, nullptr}})),
        Job("REVERSE_FLASH out.s19 010 0x106 0", WM_REVERSE_FLASH, kCom3, kRemote,
            ReadBack(8, 0, 0, 6, {{0, 0x10000, nullptr}})),
        Job("REVERSE_FLASH out.s19 0x100 21 NOSUCHNAME", WM_REVERSE_FLASH, kCom3, kRemote,
            ReadBack(0x100, 0, 0, 21, {})),
        Fails("REVERSE_FLASH out.s19 DEFAULT 21 NOSUCHNAME", "Error> no sectors selected for reverse flashing"),
        Fails("REVERSE_FLASH out.s19 0 5 ALL", "Error> record length 5 is invalid"),
        Fails("REVERSE_FLASH out.s19 0 256 ALL", "Error> record length 0 is invalid"),
        Fails("REVERSE_FLASH out.s19 0 21", "Error> REVERSE_FLASH command incomplete"),
        Fails("REVERSE_FLASH out.s19 DEFAULT DEFAULT 4-2", "Error> sector range must be in ascending order"),
        Job("ORVIX_FLASH gps.s", WM_ORVIX_FLASH, kCom3, kRemote, File("gps.s")),
        Fails("ORVIX_FLASH gps.s", "Error> Orvix Flash is only available in RS232 mode", 1),
        Fails("ORVIX_FLASH", "Error> ORVIX_FLASH command missing filename"),
        Job("ORVIX_ERASE", WM_ORVIX_ERASE, kCom3, kRemote, OptionsSelecting(kNone)),
        Fails("ORVIX_ERASE", "Error> Orvix Erase is only available in RS232 mode", 1),
        Job("ORVIX_REVERSE_FLASH out.s19 0x1000 0x1FFF DEFAULT", WM_ORVIX_REVERSE_FLASH, kCom3, kRemote,
            ReadBack(0x1000, 0x1000, 0x1FFF, 21, {{0x1000, 0x1000, nullptr}})),
        Job("ORVIX_REVERSE_FLASH out.s19 16 16 6", WM_ORVIX_REVERSE_FLASH, kCom3, kRemote,
            ReadBack(16, 16, 16, 6, {{16, 1, nullptr}})),
        Fails("ORVIX_REVERSE_FLASH out.s19 0x2000 0x1000 16",
              "Error> ORVIX_REVERSE_FLASH end address is below its begin address"),
        Fails("ORVIX_REVERSE_FLASH out.s19 0 16 3", "Error> record length 3 is invalid"),
        Fails("ORVIX_REVERSE_FLASH out.s19 0 16", "Error> ORVIX_REVERSE_FLASH command incomplete"),
        Fails("ORVIX_REVERSE_FLASH out.s19 0 16", "Error> Orvix Reverse Flash is only available in RS232 mode", 1),
        Job("PROGRAM_MAGIC_KEY", WM_PROGRAM_MAGIC_KEY, kCom3, kRemote, OptionsSelecting(kNone)),
        Job("COMM_CHECK", WM_COMM_CHECK, kUsb, kRemote, OptionsSelecting(kNone), 1),
        Job("reset_target", WM_RESET_TARGET, kCom3, kScript, OptionsSelecting(kNone), 0, 1),
        Job("TERMINATE_APP", WM_SHUTDOWN, DEVICE_INDEPENDENT, Flags{0, 1, 1},
            [](const CJobRequest& job) { EXPECT_TRUE(job.payload.Empty()); }),
        Job("DUMP_RAM ram.bin", WM_RAM_DUMP, kCom3, kRemote,
            [](const CJobRequest& job) {
              auto* p = job.payload.Get<RamDumpPayload>();
              ASSERT_TRUE(p);
              EXPECT_EQ(p->outputFileName, "ram.bin");
              ASSERT_TRUE(p->regions);
              EXPECT_TRUE(p->regions->Empty());
            }),
        Fails("DUMP_RAM ram.bin", "Error> Ram dumps must be done using RS232 at 115200bps", 1),
        WithRate(Fails("DUMP_RAM ram.bin", "Error> Ram dumps must be done using RS232 at 115200bps"), 1),
        Fails("DUMP_RAM", "Error> DUMP_RAM command incomplete"),
        WithAutoErase(Job("FLASHPACK_EXTRACT", WM_FLASHPACK_EXTRACT, kCom3, kQuiet, OptionsSelecting(kNone))),
        WithAutoErase(Job("FLASHPACK_EXTRACT", WM_FLASHPACK_EXTRACT, kUsb, kQuiet, OptionsSelecting(kNone), 1, 1)),
        Job("FLASHPACK_ADD pack.bin", WM_FLASHPACK_ADD, kCom3, kQuiet, File("pack.bin")),
        Job("FLASHPACK_ADD pack.bin", WM_FLASHPACK_ADD, kUsb, kQuiet, File("pack.bin"), 1, 1),
        Fails("FLASHPACK_ADD", "Error> FLASHPACK_ADD command missing filename"),
        Job("FLASHPACK_DELETE 3 1 x 65537", WM_FLASHPACK_REMOVE, kCom3, kQuiet,
            [](const CJobRequest& job) {
              auto* p = job.payload.Get<FlashpackRemovePayload>();
              ASSERT_TRUE(p);
              EXPECT_EQ(p->packIndices, (std::vector<std::uint16_t>{3, 1, 0, 1}));
            }),
        Fails("FLASHPACK_DELETE", "Error> FLASHPACK_DELETE command missing flashpack number"),
        Job("FLASHPACK_UPDATE_FLASH", WM_FLASHPACK_UPDATE_FLASH, kUsb, kQuiet, OptionsSelecting(kNone), 1),
        Fails("FOO bar", "Error> FOO command not supported"),
        Fails("\"\"", "Error>  command not supported"),
        Fails("", "Error> command string empty"),
        Fails("   \r", "Error> command string empty"),
        Fails("FLASH \"open", "Error> missing double quote in script file")));

TEST_F(ScriptFixture, FlashpackExtractWithAutoEraseOffSetsTheErrorStatusAndTheRunGoesOn) {
  EXPECT_FALSE(Run("FLASHPACK_EXTRACT"));
  EXPECT_TRUE(Jobs().empty());
  auto messages = userIo_.Drain();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(*messages[0].Take<WM_LOG_LINE>(), "Error> Auto erase must be enabled to perform this operation");
  ASSERT_EQ(messages[1].number, WM_SET_STATUS);
  auto status = messages[1].Take<WM_SET_STATUS>();
  EXPECT_EQ(status->state, STATUS_ERROR);
  EXPECT_EQ(status->text, "");
  EXPECT_TRUE(context_.prompts.empty());  // a remote line never asks
}

struct AutoEraseCase {
  int answer;
  bool queued;
};

class RequireAutoEraseAsks : public ScriptFixture, public ::testing::WithParamInterface<AutoEraseCase> {};

TEST_P(RequireAutoEraseAsks, FromAScriptFileTheUserIsAskedFirst) {
  context_.interactive = 1;
  context_.promptAnswer = GetParam().answer;
  EXPECT_FALSE(Run("FLASHPACK_EXTRACT"));
  EXPECT_EQ(context_.prompts, std::vector<std::int32_t>{8});
  EXPECT_EQ(Jobs().size(), GetParam().queued ? 1u : 0u);
  EXPECT_EQ(GetAppSettings().GetIntParam(OPTION_AUTO_ERASE_FLASH), GetParam().queued ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, RequireAutoEraseAsks,
                         ::testing::Values(AutoEraseCase{6, true}, AutoEraseCase{7, false}, AutoEraseCase{2, false},
                                           AutoEraseCase{3, false}));

TEST_F(ScriptFixture, EraseOfAnEmptySectorListRefusesEveryNumber) {
  GetAppSettings().SetSectorList(SectorList{});
  EXPECT_TRUE(Run("ERASE 0"));
  EXPECT_EQ(Log(), std::vector<std::string>{"Error> sector 0 is outside range of flash memory map"});
  EXPECT_FALSE(Run("ERASE ALL"));
  EXPECT_EQ(Jobs().size(), 1u);
}

TEST_F(ScriptFixture, ReverseFlashNeverGrowsARangeBeyondThe32BitLength) {
  SectorList sectors;
  sectors.sectors = {{0x00000000u, 0x80000000u, "CODE", 0}, {0x80000000u, 0x80000000u, "CODE", 0}};
  GetAppSettings().SetSectorList(sectors);
  EXPECT_FALSE(Run("REVERSE_FLASH out.s19 DEFAULT DEFAULT ALL"));
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  auto* p = jobs[0]->payload.Get<ReadBackPayload>();
  ASSERT_TRUE(p);
  // Together the two sectors span 4 GiB, one more than a range length holds.
  EXPECT_EQ(Regions(p->regions),
            (std::vector<ImageRegion>{{0x00000000u, 0x80000000u, nullptr}, {0x80000000u, 0x80000000u, nullptr}}));
  EXPECT_EQ(p->readBaseAddress, 0u);
}

TEST_F(ScriptFixture, AJobCarriesTheOptionsOfWhenItWasQueued) {
  EXPECT_FALSE(Run("FLASH a.s19"));
  GetAppSettings().SetIntParam(OPTION_SERIAL_PORT, 5);
  EXPECT_FALSE(Run("FLASH b.s19"));
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0]->payload.Get<FileJobPayload>()->options.GetIntParam(OPTION_SERIAL_PORT), 2);
  EXPECT_EQ(jobs[0]->device, 129);
  EXPECT_EQ(jobs[1]->payload.Get<FileJobPayload>()->options.GetIntParam(OPTION_SERIAL_PORT), 5);
  EXPECT_EQ(jobs[1]->device, 132);
}

}  // namespace
}  // namespace script_test
