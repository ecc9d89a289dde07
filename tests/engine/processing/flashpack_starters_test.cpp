// The flashpack starters over a pack set that an extract left in the
// device's flashpack object, with a recording target in place of the core
// thread.

#include <gtest/gtest.h>

#include "engine/core/buffer_registry.h"
#include "engine/core/error_record.h"
#include "engine/core/finish_record.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/processing/job_starters.h"
#include "lumbrapack/pack_manager.h"
#include "shell_stand_in.h"

using namespace test_support;

namespace {

constexpr DeviceNumber kDevice = 130;

struct Outcome {
  std::uint32_t message = 0;
  std::int32_t code = 0;   // event code
  std::int32_t error = 0;  // engine error code of a failure
};

class FlashpackStarters : public ::testing::Test {
 protected:
  FlashpackStarters() : core_(platform::TargetKind::Thread) { SetTargetThread(PT_CORE, core_.handle()); }
  ~FlashpackStarters() override { SetTargetThread(PT_CORE, platform::kNoHandle); }

  static CJobOptions ProductOptions() {
    SectorList list;
    list.processorName = "HARROW";
    list.sectors = {{0x10000, 0x10000, "CODE", 0}, {0x80000, 0x1000, "FLASHPACK", 0},
                    {0x81000, 0x1000, "FLASHPACK", 0}, {0x90000, 0x1000, "THEMEPACK", 0}};
    CJobOptions options;
    options.SetSectorList(list);
    return options;
  }
  void Extract() {
    CFlashpack* flashpack = starters_.Objects().PrepareFlashpack(ProductOptions(), kDevice, kernels_);
    std::vector<std::uint8_t> erased(0x2000, 0xFF);
    flashpack->ReplacePackManager(erased.data(), static_cast<std::uint32_t>(erased.size()));
  }
  Outcome Run(std::uint32_t jobCode, JobPayload payload) {
    JobQueueEntry entry;
    entry.jobCode = jobCode;
    entry.device = kDevice;
    entry.payload = std::move(payload);
    EXPECT_EQ(starters_.DispatchJob(entry, DispatchContext{kernels_, false}), DispatchResult::Started);
    Outcome outcome;
    auto m = core_.queue().TakeMatching(WM_JOB_FINISHED, WM_JOB_ERROR, std::chrono::seconds(5));
    if (!m) return outcome;
    outcome.message = m->number;
    if (auto finish = m->Take<WM_JOB_FINISHED>()) outcome.code = finish->eventCode;
    if (auto error = m->Take<WM_JOB_ERROR>()) {
      outcome.code = error->eventCode;
      outcome.error = error->errorCode;
    }
    return outcome;
  }
  static std::unique_ptr<FileJobPayload> PackFile(std::uint32_t address, const std::u16string& name) {
    lumbrapack::PackFileFields fields;
    fields.name = name;
    const auto pack = lumbrapack::BuildPackFile(fields, std::vector<unsigned char>(20, 1));
    auto payload = std::make_unique<FileJobPayload>();
    payload->options = ProductOptions();
    payload->loadedImage = MakeRegionList();
    std::uint8_t* buffer = GetBufferRegistry().Allocate(pack.size());
    std::copy(pack.begin(), pack.end(), buffer);
    payload->loadedImage->Add(address, static_cast<std::uint32_t>(pack.size()), buffer);
    return payload;
  }
  CPackManager* Packs() { return starters_.PackManagerOf(kDevice); }

  ShellStandIn shell_;
  platform::RegisteredQueue core_;
  CKernelImageSlots kernels_;
  CJobStarters starters_;
};

TEST_F(FlashpackStarters, AddAndRemoveFinishWithTheirOwnEvents) {
  Extract();
  Outcome added = Run(WM_FLASHPACK_ADD, PackFile(0x80000, u"English"));
  EXPECT_EQ(added.message, WM_JOB_FINISHED);
  EXPECT_EQ(added.code, EVENT_STATUS_FLASHPACK_ADDED);
  ASSERT_NE(Packs(), nullptr);
  EXPECT_EQ(Packs()->m_packCount.load(), 1);
  EXPECT_TRUE(shell_.WaitLog("COM4> Adding Flashpack"));

  auto remove = std::make_unique<FlashpackRemovePayload>();
  remove->packIndices = {1};
  Outcome removed = Run(WM_FLASHPACK_REMOVE, std::move(remove));
  EXPECT_EQ(removed.message, WM_JOB_FINISHED);
  EXPECT_EQ(removed.code, EVENT_STATUS_FLASHPACKS_REMOVED);
  EXPECT_EQ(Packs()->m_packCount.load(), 0);
  EXPECT_TRUE(shell_.WaitLog("COM4> Removing Flashpacks"));
}

TEST_F(FlashpackStarters, RefusalsCarryTheirCodes) {
  Extract();
  Outcome theme = Run(WM_FLASHPACK_ADD, PackFile(0x90000, u"Theme"));
  EXPECT_EQ(theme.message, WM_JOB_ERROR);
  EXPECT_EQ(theme.code, EVENT_STATUS_FLASHPACK_ADD_FAILED);
  EXPECT_EQ(theme.error, 90);

  ASSERT_EQ(Run(WM_FLASHPACK_ADD, PackFile(0x80000, u"Twice")).code, 54);
  Outcome twice = Run(WM_FLASHPACK_ADD, PackFile(0x80000, u"Twice"));
  EXPECT_EQ(twice.code, EVENT_STATUS_FLASHPACK_ADD_FAILED);
  EXPECT_EQ(twice.error, 87);

  auto empty = std::make_unique<FileJobPayload>();
  empty->options = ProductOptions();
  empty->loadedImage = MakeRegionList();
  Outcome none = Run(WM_FLASHPACK_ADD, std::move(empty));
  EXPECT_EQ(none.code, EVENT_STATUS_FLASHPACK_ADD_FAILED);
  EXPECT_EQ(none.error, 88);

  auto remove = std::make_unique<FlashpackRemovePayload>();
  remove->packIndices = {7};
  Outcome missing = Run(WM_FLASHPACK_REMOVE, std::move(remove));
  EXPECT_EQ(missing.code, EVENT_STATUS_FLASHPACK_REMOVE_FAILED);
  EXPECT_EQ(missing.error, 81);
}

TEST_F(FlashpackStarters, FlashWithoutAnImageFailsWith88) {
  auto payload = std::make_unique<FileJobPayload>();
  payload->options = ProductOptions();
  Outcome outcome = Run(WM_FLASH, std::move(payload));
  EXPECT_EQ(outcome.message, WM_JOB_ERROR);
  EXPECT_EQ(outcome.code, EVENT_FLASH_FAILED);
  EXPECT_EQ(outcome.error, 88);
}

}  // namespace
