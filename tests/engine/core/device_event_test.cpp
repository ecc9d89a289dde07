#include "engine/core/on_device_event.h"

#include <gtest/gtest.h>

#include "engine/core/device_event.h"

#include <string>
#include <thread>
#include <vector>

#include "counting_registry.h"
#include "engine/core/device_event_table.h"
#include "engine/core/error_record.h"
#include "engine/core/finish_record.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/progress_record.h"
#include "platform/target_registry.h"

namespace {

using namespace std::chrono_literals;

// The expected table, one line per code: core action, lists released, grid
// text ("-" for no text).
struct Expected {
  CoreEventAction action;
  EventListRelease release;
  const char* text;
};

using A = CoreEventAction;
using L = EventListRelease;

const Expected kExpected[64] = {
    {A::None, L::ListsAandB, "Complete"}, {A::Error, L::ListA, "Error"},
    {A::Error, L::ListA, "Error"},        {A::Cancel, L::ListA, "-"},
    {A::None, L::None, "Formating %d%%"}, {A::Error, L::None, "Error"},
    {A::Finish, L::ListA, "Complete"},    {A::Progress, L::None, "Bootloading %d%%"},
    {A::Error, L::None, "Error"},         {A::None, L::None, "Complete"},
    {A::Progress, L::None, "Erasing %d%%"}, {A::Progress, L::None, "Flashing %d%%"},
    {A::Error, L::ListA, "Error"},        {A::Cancel, L::ListA, "Cancelled"},
    {A::Finish, L::ListA, "Complete"},    {A::ProgressZero, L::None, "Erasing..."},
    {A::Progress, L::None, "Streaming %d%%"}, {A::Progress, L::None, "Flashing %d%%"},
    {A::Error, L::ListA, "Error"},        {A::Cancel, L::ListA, "Cancelled"},
    {A::Finish, L::ListA, "Complete"},    {A::Progress, L::None, "Rev Flashing %d%%"},
    {A::Error, L::None, "Error"},         {A::Cancel, L::None, "Cancelled"},
    {A::Save, L::None, "Complete"},       {A::Progress, L::None, "-"},
    {A::Error, L::None, "Error"},         {A::Cancel, L::None, "Cancelled"},
    {A::Save, L::None, "Complete"},       {A::Progress, L::None, "Dumping Ram %d%%"},
    {A::Error, L::None, "Error"},         {A::Cancel, L::None, "Cancelled"},
    {A::Save, L::None, "Complete"},       {A::Error, L::None, "Error"},
    {A::Finish, L::ListA, "Complete"},    {A::Error, L::None, "Error"},
    {A::Finish, L::None, "Complete"},     {A::Error, L::None, "Error"},
    {A::Finish, L::ListA, "Complete"},    {A::Progress, L::None, "Rev Flashing %d%%"},
    {A::Error, L::None, "Error"},         {A::Save, L::None, "Complete"},
    {A::Progress, L::None, "Erasing..."}, {A::Error, L::None, "Error"},
    {A::Finish, L::ListA, "Complete"},    {A::Progress, L::None, "Flashing %d%%"},
    {A::Error, L::None, "Error"},         {A::Finish, L::ListA, "Complete"},
    {A::Progress, L::None, "Rev Flashing %d%%"}, {A::Error, L::ListA, "Error"},
    {A::Cancel, L::ListA, "Cancelled"},   {A::Finish, L::ListA, "Complete"},
    {A::None, L::None, "Scanning File..."}, {A::None, L::None, "Saving File..."},
    {A::None, L::None, "Complete"},       {A::None, L::None, "Error"},
    {A::None, L::None, "Complete"},       {A::None, L::None, "Error"},
    {A::None, L::None, "Rev Flashing %d%%"}, {A::None, L::None, "Error"},
    {A::None, L::None, "Error"},          {A::None, L::None, "-"},
    {A::None, L::None, "-"},              {A::None, L::None, "-"},
};

TEST(DeviceEventTable, EveryCode) {
  for (int code = 0; code < 64; ++code) {
    const DeviceEventInfo* info = GetDeviceEventInfo(code);
    ASSERT_NE(info, nullptr) << code;
    EXPECT_EQ(info->code, code);
    EXPECT_EQ(info->action, kExpected[code].action) << code;
    EXPECT_EQ(info->release, kExpected[code].release) << code;
    EXPECT_EQ(std::string(info->gridText ? info->gridText : "-"), kExpected[code].text) << code;
  }
  EXPECT_EQ(GetDeviceEventInfo(-1), nullptr);
  EXPECT_EQ(GetDeviceEventInfo(64), nullptr);
}

// The core thread's queue, a recording queue in the target table.
class OnDeviceEventTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTargetThread(PT_CORE, core.handle()); }
  void TearDown() override { SetTargetThread(PT_CORE, platform::kNoHandle); }

  std::optional<platform::Message> Next() { return core.queue().TryGet(); }

  CountingRegistry counting;
  platform::RegisteredQueue core;
};

TEST_F(OnDeviceEventTest, ProgressCarriesDoneAndTotal) {
  DeviceEvent event{.device = 3, .eventCode = EVENT_FLASH_PROGRESS, .argument = 4096, .total = 65536};
  EXPECT_EQ(OnDeviceEvent(event), 0);
  auto m = Next();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, WM_JOB_PROGRESS);
  auto record = m->Take<WM_JOB_PROGRESS>();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->device, 3);
  EXPECT_EQ(record->eventCode, EVENT_FLASH_PROGRESS);
  EXPECT_EQ(record->done, 4096);
  EXPECT_EQ(record->total, 65536);
  EXPECT_FALSE(Next());
}

TEST_F(OnDeviceEventTest, SmartFlashErasingIsProgressZero) {
  OnDeviceEvent(DeviceEvent{.device = 130, .eventCode = EVENT_SMART_FLASH_ERASING, .argument = 7, .total = 9});
  auto m = Next();
  ASSERT_TRUE(m);
  auto record = m->Take<WM_JOB_PROGRESS>();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->eventCode, EVENT_SMART_FLASH_ERASING);
  EXPECT_EQ(record->done, 0);
  EXPECT_EQ(record->total, 0);
}

TEST_F(OnDeviceEventTest, FailureCopiesTheDetails) {
  ErrorDetails details{0x00123456, 7, 8, 0x9A, 12, 0x89, 0x8817, 0x11, 0x22, {}};
  OnDeviceEvent(DeviceEvent{.device = 127, .eventCode = EVENT_FLASH_FAILED, .argument = 26,
                            .errorDetails = &details});
  details.address = 0;  // the record is a copy, not a view
  auto m = Next();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, WM_JOB_ERROR);
  auto record = m->Take<WM_JOB_ERROR>();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->device, 127);
  EXPECT_EQ(record->eventCode, EVENT_FLASH_FAILED);
  EXPECT_EQ(record->errorCode, 26);
  EXPECT_EQ(record->details, (ErrorDetails{0x00123456, 7, 8, 0x9A, 12, 0x89, 0x8817, 0x11, 0x22, {}}));
}

TEST_F(OnDeviceEventTest, FailureWithoutDetailsCarriesZeros) {
  OnDeviceEvent(DeviceEvent{.device = 1, .eventCode = EVENT_COMM_CHECK_FAILED, .argument = 46});
  auto m = Next();
  ASSERT_TRUE(m);
  auto record = m->Take<WM_JOB_ERROR>();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->errorCode, 46);
  EXPECT_EQ(record->details, ErrorDetails{});
}

TEST_F(OnDeviceEventTest, CancelFinishAndSave) {
  struct Case {
    std::int32_t code;
    std::uint32_t message;
  } cases[] = {
      {EVENT_FLASH_CANCELLED, WM_CANCEL_QUEUED},   {EVENT_REVERSE_FLASH_CANCELLED, WM_CANCEL_QUEUED},
      {EVENT_FLASH_DONE, WM_JOB_FINISHED},         {EVENT_CUSTOM_COMMAND_DONE, WM_JOB_FINISHED},
      {EVENT_FLASHPACK_EXTRACT_DONE, WM_JOB_FINISHED},
  };
  for (const auto& c : cases) {
    OnDeviceEvent(DeviceEvent{.device = 42, .eventCode = c.code, .argument = 4});
    auto m = Next();
    ASSERT_TRUE(m) << c.code;
    EXPECT_EQ(m->number, c.message) << c.code;
    auto record = c.message == WM_JOB_FINISHED ? m->Take<WM_JOB_FINISHED>() : m->Take<WM_CANCEL_QUEUED>();
    ASSERT_TRUE(record) << c.code;
    EXPECT_EQ(record->device, 42);
    EXPECT_EQ(record->eventCode, c.code);
  }
  for (std::int32_t code : {EVENT_REVERSE_FLASH_DONE, EVENT_READ_BACK_DONE, EVENT_RAM_DUMP_DONE,
                            EVENT_ORVIX_READ_DONE}) {
    OnDeviceEvent(DeviceEvent{.device = 42, .eventCode = code});
    auto m = Next();
    ASSERT_TRUE(m) << code;
    EXPECT_EQ(m->number, WM_SAVE_READ_FILE);
    EXPECT_EQ(m->wParam, 42u);
    EXPECT_FALSE(m->HasPayload());
  }
  EXPECT_FALSE(Next());
}

TEST_F(OnDeviceEventTest, SilentAndIgnoredCodesPostNothingAndReleaseNothing) {
  for (std::int32_t code : {4, 9, 52, 58, 63, 64, -1, 1000}) {
    RegionListPtr a = MakeFilledList(1);
    RegionListPtr b = MakeFilledList(1);
    const int before = counting.TotalFrees();
    OnDeviceEvent(DeviceEvent{.device = 0, .eventCode = code, .listA = a.get(), .listB = b.get()});
    EXPECT_FALSE(Next()) << code;
    EXPECT_EQ(counting.TotalFrees(), before) << code;
  }
}

// Each list that an event hands over is released exactly once, the others
// not at all.
TEST_F(OnDeviceEventTest, ReleaseTableWithACountingRegistry) {
  for (std::int32_t code = 0; code <= kLastDeviceObjectEvent; ++code) {
    counting.ResetCounts();
    const EventListRelease release = GetDeviceEventInfo(code)->release;
    RegionListPtr a = MakeFilledList(2);
    RegionListPtr b = MakeFilledList(1);
    const std::uint8_t* aBuffers[] = {(*a)[0].buffer, (*a)[1].buffer};
    const std::uint8_t* bBuffer = (*b)[0].buffer;
    DeviceEvent event{.device = 5, .eventCode = code, .listA = a.get(), .listB = b.get()};
    // Where the table says so, the lists are the callback's from now on.
    if (release != EventListRelease::None) (void)a.release();
    if (release == EventListRelease::ListsAandB) (void)b.release();

    OnDeviceEvent(event);
    const int aFrees = release != EventListRelease::None ? 1 : 0;
    const int bFrees = release == EventListRelease::ListsAandB ? 1 : 0;
    for (const auto* buffer : aBuffers) EXPECT_EQ(counting.FreesOf(buffer), aFrees) << code;
    EXPECT_EQ(counting.FreesOf(bBuffer), bFrees) << code;
    a.reset();
    b.reset();
    for (const auto* buffer : aBuffers) EXPECT_EQ(counting.FreesOf(buffer), 1) << code;
    EXPECT_EQ(counting.FreesOf(bBuffer), 1) << code;
    core.queue().Clear();
  }
  EXPECT_EQ(counting.Outstanding(), 0u);
}

// A stand-in for a device object that keeps its contract: it clears its list
// fields when an operation starts and sets the ones the operation received.
class ContractDevice {
 public:
  void Start(CRegionList* listA = nullptr, CRegionList* listB = nullptr) {
    listA_ = listA;
    listB_ = listB;
  }
  void Report(std::int32_t code, std::int32_t argument = 0) {
    OnDeviceEvent(DeviceEvent{.device = 7, .eventCode = code, .argument = argument, .listA = listA_,
                              .listB = listB_});
  }

 private:
  CRegionList* listA_ = nullptr;
  CRegionList* listB_ = nullptr;
};

// A flash, then operations without lists (comm check 6, magic key 34, reset
// target 38, a smartphone command 0 and its failure 1), then a smartphone
// command with an image: every list is released once per operation and no
// later event releases an earlier operation's list again.
TEST_F(OnDeviceEventTest, EachListIsReleasedOncePerOperation) {
  ContractDevice device;
  // All lists exist from the start, so no freed address comes back.
  RegionListPtr erase = MakeFilledList(1);
  RegionListPtr command = MakeFilledList(1);
  RegionListPtr image = MakeFilledList(2);
  const std::uint8_t* eraseBuffer = (*erase)[0].buffer;
  device.Start(erase.release());
  device.Report(EVENT_FLASH_ERASE_PROGRESS, 10);
  device.Report(EVENT_FLASH_PROGRESS, 20);
  device.Report(EVENT_FLASH_DONE);
  EXPECT_EQ(counting.FreesOf(eraseBuffer), 1);

  for (std::int32_t closing : {EVENT_COMM_CHECK_DONE, EVENT_MAGIC_KEY_DONE, EVENT_RESET_TARGET_DONE,
                               EVENT_PHONE_COMMAND_SENT, EVENT_PHONE_SEND_FAILED}) {
    device.Start();
    device.Report(closing);
  }
  EXPECT_EQ(counting.FreesOf(eraseBuffer), 1);
  EXPECT_EQ(counting.TotalFrees(), 1);

  const std::uint8_t* phoneBuffers[] = {(*command)[0].buffer, (*image)[0].buffer, (*image)[1].buffer};
  device.Start(command.release(), image.release());
  device.Report(EVENT_PHONE_COMMAND_SENT);
  for (const auto* buffer : phoneBuffers) EXPECT_EQ(counting.FreesOf(buffer), 1);
  device.Start();
  device.Report(EVENT_PHONE_SEND_FAILED, 2);
  EXPECT_EQ(counting.TotalFrees(), 4);
  EXPECT_EQ(counting.Outstanding(), 0u);
}

// A smartphone command that reports one list as both is released once.
TEST_F(OnDeviceEventTest, OneListAsBothIsReleasedOnce) {
  RegionListPtr list = MakeFilledList(1);
  const std::uint8_t* buffer = (*list)[0].buffer;
  CRegionList* both = list.release();
  OnDeviceEvent(DeviceEvent{.device = DEVICE_SMARTPHONE, .eventCode = EVENT_PHONE_COMMAND_SENT,
                            .listA = both, .listB = both});
  EXPECT_EQ(counting.FreesOf(buffer), 1);
  EXPECT_FALSE(Next());
}

TEST_F(OnDeviceEventTest, WithoutACoreThreadRecordsAreFreed) {
  SetTargetThread(PT_CORE, platform::kNoHandle);
  ErrorDetails details{};
  for (std::int32_t code : {EVENT_FLASH_PROGRESS, EVENT_FLASH_FAILED, EVENT_FLASH_CANCELLED,
                            EVENT_FLASH_DONE, EVENT_REVERSE_FLASH_DONE}) {
    EXPECT_EQ(OnDeviceEvent(DeviceEvent{.device = 1, .eventCode = code, .errorDetails = &details}), 0);
  }
  EXPECT_TRUE(core.queue().Empty());  // and the sanitizer build sees no leak
}

TEST_F(OnDeviceEventTest, EventsFromSeveralDeviceThreadsAllArriveInOrderPerDevice) {
  constexpr int kDevices = 4;
  constexpr int kSteps = 200;
  std::vector<std::thread> workers;
  for (int d = 0; d < kDevices; ++d) {
    workers.emplace_back([d] {
      for (int i = 0; i < kSteps; ++i) {
        OnDeviceEvent(DeviceEvent{.device = d, .eventCode = EVENT_FLASH_PROGRESS, .argument = i, .total = kSteps});
      }
      OnDeviceEvent(DeviceEvent{.device = d, .eventCode = EVENT_FLASH_DONE});
    });
  }
  for (auto& w : workers) w.join();
  int next[kDevices] = {};
  int finished = 0;
  while (auto m = Next()) {
    if (m->number == WM_JOB_FINISHED) {
      auto f = m->Take<WM_JOB_FINISHED>();
      EXPECT_EQ(next[f->device], kSteps);
      ++finished;
      continue;
    }
    auto p = m->Take<WM_JOB_PROGRESS>();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->done, next[p->device]++);
  }
  EXPECT_EQ(finished, kDevices);
}

}  // namespace
