#include "engine/core/job_payload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "counting_registry.h"
#include "engine/core/job_queue_entry.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"

namespace {

TEST(JobPayloadKinds, OneKindPerJobCode) {
  struct Case {
    std::uint32_t code;
    JobPayloadKind kind;
  } cases[] = {
      {WM_FLASH, JobPayloadKind::File},
      {WM_FLASHPACK_EXTRACT_ADD_FLASH, JobPayloadKind::File},
      {WM_FLASHPACK_ADD, JobPayloadKind::File},
      {WM_ORVIX_FLASH, JobPayloadKind::File},
      {WM_RALIX_FLASH_FILE, JobPayloadKind::File},
      {WM_ERASE, JobPayloadKind::Options},
      {WM_ORVIX_ERASE, JobPayloadKind::Options},
      {WM_FLASHPACK_EXTRACT, JobPayloadKind::Options},
      {WM_FLASHPACK_UPDATE_FLASH, JobPayloadKind::Options},
      {WM_PROGRAM_MAGIC_KEY, JobPayloadKind::Options},
      {WM_COMM_CHECK, JobPayloadKind::Options},
      {WM_RESET_TARGET, JobPayloadKind::Options},
      {WM_RALIX_FORMAT, JobPayloadKind::Options},
      {WM_REVERSE_FLASH, JobPayloadKind::ReadBack},
      {WM_ORVIX_REVERSE_FLASH, JobPayloadKind::ReadBack},
      {WM_FLASHPACK_REMOVE, JobPayloadKind::FlashpackRemove},
      {WM_CUSTOM_COMMAND, JobPayloadKind::CustomCommand},
      {WM_RAM_DUMP, JobPayloadKind::RamDump},
      {WM_REMOTE_FILE_TRANSFER, JobPayloadKind::FileTransfer},
      {WM_DELETE_FILE, JobPayloadKind::FileName},
      {WM_SHUTDOWN, JobPayloadKind::None},
      {WM_LOG_LINE, JobPayloadKind::None},
  };
  for (const auto& c : cases) EXPECT_EQ(PayloadKindOfJob(c.code), c.kind) << std::hex << c.code;
  EXPECT_TRUE(IsJobCode(WM_SHUTDOWN));
  EXPECT_TRUE(IsJobCode(WM_RAM_DUMP));
  EXPECT_FALSE(IsJobCode(WM_QUEUE_JOB));
  EXPECT_FALSE(IsJobCode(WM_RUN_SCRIPT_FILE));
}

TEST(JobPayload, HoldsOneKindAndGivesItsOptions) {
  auto read = std::make_unique<ReadBackPayload>();
  read->options.SetIntParam(OPTION_SERIAL_PORT, 3);
  JobPayload payload(std::move(read));
  EXPECT_EQ(payload.Kind(), JobPayloadKind::ReadBack);
  EXPECT_TRUE(PayloadFitsJob(WM_REVERSE_FLASH, payload));
  EXPECT_FALSE(PayloadFitsJob(WM_FLASH, payload));
  EXPECT_EQ(payload.Get<FileJobPayload>(), nullptr);
  ASSERT_NE(payload.Options(), nullptr);
  EXPECT_EQ(payload.Options()->GetIntParam(OPTION_SERIAL_PORT), 3);
  EXPECT_TRUE(JobPayload(std::unique_ptr<CJobOptions>()).Empty());
  EXPECT_EQ(JobPayload(std::make_unique<std::string>("x")).Options(), nullptr);
}

// The record a payload holds, by its address.
const void* RecordOf(const JobPayload& payload) {
  if (auto* transfer = payload.Get<FileTransferRequest>()) return transfer;
  if (auto* name = payload.Get<std::string>()) return name;
  return payload.Options();
}

// A fixture that builds one request of every payload kind with region lists
// whose buffers are registry buffers.
class FanOut : public ::testing::Test {
 protected:
  static CJobOptions OptionsWithPort(int port) {
    CJobOptions options;
    options.SetIntParam(OPTION_SERIAL_PORT, port);
    return options;
  }

  static std::unique_ptr<CJobRequest> ReadBackRequest() {
    auto p = std::make_unique<ReadBackPayload>();
    p->outputAddress = 0x100;
    p->readBaseAddress = 0x200;
    p->recordLength = 21;
    p->outputFileName = "read.s19";
    p->regions = MakeFilledList(2);
    p->options = OptionsWithPort(5);
    return std::make_unique<CJobRequest>(WM_REVERSE_FLASH, std::move(p), 0, 1, 1);
  }

  CountingRegistry counting;
  const std::vector<DeviceNumber> threeUsb{0, 4, 9};
};

TEST_F(FanOut, ThreeUsbDevicesGetThreeIndependentReadLists) {
  auto requestPtr = ReadBackRequest();
  CJobRequest& request = *requestPtr;
  const std::uint8_t* original = request.payload.Get<ReadBackPayload>()->regions->begin()->buffer;
  auto entries = FanOutJobRequest(request, threeUsb, 17);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(request.payload.Empty());

  std::set<const std::uint8_t*> buffers;
  std::set<const void*> lists, options;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& e = *entries[i];
    EXPECT_EQ(e.device, threeUsb[i]);
    EXPECT_EQ(e.sequenceNumber, 17);
    EXPECT_EQ(e.jobCode, WM_REVERSE_FLASH);
    auto* p = e.payload.Get<ReadBackPayload>();
    ASSERT_NE(p, nullptr);
    // Each radio's read-back goes to a file of its own.
    EXPECT_EQ(p->outputFileName, "read_" + GetDeviceName(threeUsb[i]) + ".s19");
    EXPECT_EQ(p->outputAddress, 0x100u);
    EXPECT_EQ(p->readBaseAddress, 0x200u);
    EXPECT_EQ(p->recordLength, 21);
    EXPECT_EQ(p->options.GetIntParam(OPTION_SERIAL_PORT), 5);
    ASSERT_EQ(p->regions->Count(), 2u);
    lists.insert(p->regions.get());
    options.insert(&p->options);
    for (const auto& region : *p->regions) {
      EXPECT_TRUE(buffers.insert(region.buffer).second) << "a read buffer is shared";
      EXPECT_EQ(GetBufferRegistry().ReferenceCount(region.buffer), 1);
      EXPECT_EQ(std::memcmp(region.buffer, (*entries[0]->payload.Get<ReadBackPayload>()->regions)
                                               [&region - &*p->regions->begin()].buffer, 16), 0);
    }
  }
  EXPECT_EQ(lists.size(), 3u);
  EXPECT_EQ(options.size(), 3u);
  EXPECT_EQ(entries[0]->payload.Get<ReadBackPayload>()->regions->begin()->buffer, original);

  // A radio writing into its read list never shows in another's.
  entries[1]->payload.Get<ReadBackPayload>()->regions->begin()->buffer[0] = 0xAB;
  EXPECT_NE(entries[2]->payload.Get<ReadBackPayload>()->regions->begin()->buffer[0], 0xAB);

  // Freeing all three frees every buffer exactly once and leaves nothing.
  for (auto& e : entries) FreeJobPayload(e->jobCode, e->payload);
  EXPECT_EQ(counting.TotalFrees(), 6);
  for (const auto* b : buffers) EXPECT_EQ(counting.FreesOf(b), 1);
  EXPECT_EQ(counting.Outstanding(), 0u);
}

TEST_F(FanOut, EveryPayloadKindIsCopiedDeeply) {
  std::vector<std::unique_ptr<CJobRequest>> requests;
  auto add = [&](std::uint32_t code, JobPayload payload) {
    requests.push_back(std::make_unique<CJobRequest>(code, std::move(payload)));
  };
  {
    auto p = std::make_unique<FileJobPayload>();
    p->imageFileName = "image.s19";
    p->options = OptionsWithPort(1);
    p->loadedImage = MakeFilledList(1);
    add(WM_FLASH, std::move(p));
  }
  add(WM_ERASE, std::make_unique<CJobOptions>(OptionsWithPort(2)));
  add(WM_FLASHPACK_EXTRACT, std::make_unique<CJobOptions>(OptionsWithPort(2)));
  requests.push_back(ReadBackRequest());
  {
    auto p = std::make_unique<FlashpackRemovePayload>();
    p->packIndices = {1, 3};
    add(WM_FLASHPACK_REMOVE, std::move(p));
  }
  {
    auto p = std::make_unique<CustomCommandPayload>();
    p->label = "Read version";
    p->command[0] = 0x03;
    p->command[1] = 0x84;
    p->commandLength = 2;
    p->flags = CustomCommandPayload::kNoResponse;
    p->regions = MakeFilledList(1);
    add(WM_CUSTOM_COMMAND, std::move(p));
  }
  {
    auto p = std::make_unique<RamDumpPayload>();
    p->outputFileName = "dump.ram";
    p->regions = MakeFilledList(3);
    add(WM_RAM_DUMP, std::move(p));
  }
  add(WM_REMOTE_FILE_TRANSFER,
                        std::make_unique<FileTransferRequest>(FileTransferRequest{"f.bin", "127.0.0.1", 5000, 1, 1}));
  add(WM_DELETE_FILE, std::make_unique<std::string>("old.s19"));
  add(WM_SHUTDOWN, JobPayload());
  const std::size_t allocated = counting.Outstanding();

  for (auto& request : requests) {
    const JobPayloadKind kind = request->payload.Kind();
    auto entries = FanOutJobRequest(*request, threeUsb, 3);
    ASSERT_EQ(entries.size(), 3u);
    std::set<const void*> records;
    for (const auto& e : entries) {
      EXPECT_EQ(e->payload.Kind(), kind);
      EXPECT_TRUE(PayloadFitsJob(e->jobCode, e->payload)) << std::hex << e->jobCode;
      if (kind == JobPayloadKind::None) continue;
      EXPECT_TRUE(records.insert(RecordOf(e->payload)).second);
    }
    if (auto* t = entries[2]->payload.Get<FileTransferRequest>()) {
      EXPECT_EQ(t->peerAddress, "127.0.0.1");
    }
    if (auto* s = entries[2]->payload.Get<std::string>()) {
      EXPECT_EQ(*s, "old.s19");
    }
    if (auto* c = entries[2]->payload.Get<CustomCommandPayload>()) {
      EXPECT_EQ(c->label, "Read version");
      EXPECT_EQ(c->commandLength, 2u);
      EXPECT_EQ(c->command[1], 0x84);
      EXPECT_EQ(c->flags, 1u);
      EXPECT_NE(c->regions.get(), entries[0]->payload.Get<CustomCommandPayload>()->regions.get());
    }
    if (auto* f = entries[2]->payload.Get<FileJobPayload>()) {
      EXPECT_EQ(f->imageFileName, "image.s19");
      ASSERT_TRUE(f->loadedImage);
      EXPECT_NE(f->loadedImage->begin()->buffer,
                entries[0]->payload.Get<FileJobPayload>()->loadedImage->begin()->buffer);
    }
    if (auto* r = entries[1]->payload.Get<FlashpackRemovePayload>()) {
      EXPECT_EQ(r->packIndices, (std::vector<std::uint16_t>{1, 3}));
    }
  }
  // The entries went with each pass: every original buffer and its two
  // copies were freed once, and nothing is left.
  EXPECT_EQ(counting.Outstanding(), 0u);
  EXPECT_EQ(counting.TotalFrees(), static_cast<int>(allocated * 3));
}

TEST_F(FanOut, ASingleDeviceTakesThePayloadItselfAndNoDeviceFreesIt) {
  auto request = ReadBackRequest();
  const ReadBackPayload* original = request->payload.Get<ReadBackPayload>();
  auto one = FanOutJobRequest(*request, {130}, 1);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0]->payload.Get<ReadBackPayload>(), original);
  EXPECT_EQ(original->outputFileName, "read.s19");  // one device keeps the name as given
  EXPECT_EQ(one[0]->state, ENTRY_READY);
  EXPECT_EQ(one[0]->cancel, 0);
  EXPECT_EQ(one[0]->error, nullptr);
  one.clear();
  EXPECT_EQ(counting.TotalFrees(), 2);

  auto nobody = ReadBackRequest();
  EXPECT_TRUE(FanOutJobRequest(*nobody, {}, 2).empty());
  EXPECT_FALSE(nobody->payload.Empty());  // still the request's, freed with it
}

TEST_F(FanOut, TheSendersKeepAliveIsSharedByEveryCopyAndReleasedWithTheLast) {
  auto held = std::make_shared<int>(7);
  std::weak_ptr<int> watch = held;
  auto p = std::make_unique<FileJobPayload>();
  p->imageFileName = "cp.s19";
  p->keepAlive = std::move(held);
  CJobRequest request(WM_FLASH, std::move(p));
  auto entries = FanOutJobRequest(request, threeUsb, 4);
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& e : entries) {
    EXPECT_EQ(e->payload.Get<FileJobPayload>()->keepAlive.get(), watch.lock().get());
  }
  entries.pop_back();
  entries.pop_back();
  EXPECT_FALSE(watch.expired());
  FreeJobPayload(entries[0]->jobCode, entries[0]->payload);
  EXPECT_TRUE(watch.expired());
}

// Every field of every payload that writes or reads something reaches each
// device of a fan-out with the value the request gave (only the output file
// names differ, one per device).
TEST_F(FanOut, EveryFieldReachesEveryDevice) {
  CJobOptions options = OptionsWithPort(6);
  options.SetIntParam(OPTION_DATA_RATE, 2);
  options.SetIntParam(OPTION_ENABLE_SMART_FLASHING, 1);
  options.SetStringParam(OPTION_PRODUCT_TAG, "VEXA20");
  SectorList sectors;
  sectors.sectors = {{0x0, 0x10000, "CODE", 1}, {0x10000, 0x10000, "CODEPLUG", 0}};
  sectors.magicKeyPartition = "ALWAYS";
  sectors.processorName = "HARROW";
  options.SetSectorList(sectors);
  auto sameOptions = [&](const CJobOptions& copy) {
    return copy.CopyParams() == options.CopyParams() && copy.GetSectorList() == sectors &&
           copy.GetIntParam(OPTION_BAUD_RATE) == options.GetIntParam(OPTION_BAUD_RATE);
  };
  auto sameRegions = [](const RegionListPtr& a, const RegionListPtr& b) {
    if (!a || !b || a->Count() != b->Count()) return false;
    for (std::size_t i = 0; i < a->Count(); ++i) {
      if ((*a)[i].address != (*b)[i].address || (*a)[i].length != (*b)[i].length) return false;
      if (std::memcmp((*a)[i].buffer, (*b)[i].buffer, (*a)[i].length) != 0) return false;
    }
    return true;
  };

  auto readBack = std::make_unique<ReadBackPayload>();
  readBack->outputAddress = 0x1000000;
  readBack->readBaseAddress = 0x20000;
  readBack->reserved = 0x3FFFF;
  readBack->recordLength = 10;
  readBack->outputFileName = "gps.s19";
  readBack->regions = MakeFilledList(2);
  readBack->options = options;
  readBack->startsUpdateFlash = true;
  auto ramDump = std::make_unique<RamDumpPayload>();
  ramDump->outputFileName = "dump.ram";
  ramDump->regions = MakeFilledList(1);
  ramDump->options = options;
  auto custom = std::make_unique<CustomCommandPayload>();
  custom->label = "Read version";
  custom->command = {0x03, 0x84, 0x01};
  custom->commandLength = 3;
  custom->flags = CustomCommandPayload::kNoResponse;
  custom->options = options;
  custom->regions = MakeFilledList(1);
  auto remove = std::make_unique<FlashpackRemovePayload>();
  remove->packIndices = {2, 5};
  remove->options = options;
  auto file = std::make_unique<FileJobPayload>();
  file->imageFileName = "image.s19";
  file->options = options;
  file->loadedImage = MakeFilledList(2);
  file->keepAlive = std::make_shared<int>(1);
  file->finishedNote = "update complete";
  file->cancelledNote = "update cancelled";

  struct Case {
    std::uint32_t jobCode;
    JobPayload payload;
  };
  std::vector<Case> cases;
  cases.push_back({WM_ORVIX_REVERSE_FLASH, std::move(readBack)});
  cases.push_back({WM_RAM_DUMP, std::move(ramDump)});
  cases.push_back({WM_CUSTOM_COMMAND, std::move(custom)});
  cases.push_back({WM_FLASHPACK_REMOVE, std::move(remove)});
  cases.push_back({WM_FLASH, std::move(file)});
  for (auto& c : cases) {
    SCOPED_TRACE(c.jobCode);
    CJobRequest request(c.jobCode, std::move(c.payload));
    auto entries = FanOutJobRequest(request, threeUsb, 8);
    ASSERT_EQ(entries.size(), 3u);
    const JobPayload& first = entries[0]->payload;
    for (const auto& e : entries) {
      ASSERT_NE(e->payload.Options(), nullptr);
      EXPECT_TRUE(sameOptions(*e->payload.Options()));
      if (auto* r = e->payload.Get<ReadBackPayload>()) {
        const auto* f = first.Get<ReadBackPayload>();
        EXPECT_EQ(r->outputAddress, 0x1000000u);
        EXPECT_EQ(r->readBaseAddress, 0x20000u);
        EXPECT_EQ(r->reserved, 0x3FFFFu);
        EXPECT_EQ(r->recordLength, 10);
        EXPECT_EQ(r->outputFileName, "gps_" + GetDeviceName(e->device) + ".s19");
        EXPECT_TRUE(sameRegions(r->regions, f->regions));
        EXPECT_TRUE(r->startsUpdateFlash);
      }
      if (auto* d = e->payload.Get<RamDumpPayload>()) {
        EXPECT_EQ(d->outputFileName, "dump_" + GetDeviceName(e->device) + ".ram");
        EXPECT_TRUE(sameRegions(d->regions, first.Get<RamDumpPayload>()->regions));
      }
      if (auto* cc = e->payload.Get<CustomCommandPayload>()) {
        EXPECT_EQ(cc->label, "Read version");
        EXPECT_EQ(cc->command, first.Get<CustomCommandPayload>()->command);
        EXPECT_EQ(cc->commandLength, 3u);
        EXPECT_EQ(cc->flags, CustomCommandPayload::kNoResponse);
        EXPECT_TRUE(sameRegions(cc->regions, first.Get<CustomCommandPayload>()->regions));
      }
      if (auto* rm = e->payload.Get<FlashpackRemovePayload>()) {
        EXPECT_EQ(rm->packIndices, (std::vector<std::uint16_t>{2, 5}));
      }
      if (auto* fj = e->payload.Get<FileJobPayload>()) {
        const auto* f = first.Get<FileJobPayload>();
        EXPECT_EQ(fj->imageFileName, "image.s19");
        EXPECT_TRUE(sameRegions(fj->loadedImage, f->loadedImage));
        EXPECT_EQ(fj->keepAlive, f->keepAlive);
        EXPECT_EQ(fj->finishedNote, "update complete");
        EXPECT_EQ(fj->cancelledNote, "update cancelled");
      }
    }
  }
}

TEST(JobRequest, ConstructorArgumentsInTheirOrder) {
  CJobRequest request(WM_COMM_CHECK, std::make_unique<CJobOptions>(), /*flag B*/ 1, /*flag A*/ 2,
                      /*interactive*/ 3);
  EXPECT_EQ(request.jobCode, WM_COMM_CHECK);
  EXPECT_EQ(request.senderFlagB, 1);
  EXPECT_EQ(request.senderFlagA, 2);
  EXPECT_EQ(request.interactive, 3);
  EXPECT_EQ(request.device, DEVICE_UNASSIGNED);
}

}  // namespace
