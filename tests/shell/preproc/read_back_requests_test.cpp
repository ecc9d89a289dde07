#include <gtest/gtest.h>

#include "preproc_fixture.h"
#include "shell/userio/prompt_kind.h"
#include "shell/preproc/update_read_back.h"

namespace preproc_test {
namespace {

// A product of 64 sectors of 0x10000 bytes from 0x10000000: CODE sectors
// everywhere except CODEPLUG at 20 and 21 and a BOOT sector at 0; sectors 3
// and 40 are already selected in the settings.
SectorList SixtyFourSectors() {
  SectorList list;
  for (std::uint32_t i = 0; i < 64; ++i) {
    std::string name = i == 0 ? "BOOT" : (i == 20 || i == 21) ? "CODEPLUG" : "CODE";
    list.sectors.push_back({0x10000000u + i * 0x10000u, 0x10000u, name, (i == 3 || i == 40) ? 1u : 0u});
  }
  list.sectors[61].name = "code";  // not exactly "CODE": never marked
  list.processorName = "CALDER";
  return list;
}

TEST(UpdateReadBack, MarksTheUpdateSectorsAndMergesThemInListOrder) {
  SectorList settings = SixtyFourSectors();
  GetAppSettings().SetSectorList(settings);
  auto payload = BuildUpdateReadBack(settings);
  ASSERT_NE(payload->regions, nullptr);
  const auto at = [](std::uint32_t i) { return 0x10000000u + i * 0x10000u; };
  const std::vector<ImageRegion> expected{
      {at(3), 0x10000, nullptr},   // selected before, stays selected
      {at(8), 0x10000, nullptr},   // CODE at 8
      {at(20), 0x20000, nullptr},  // both CODEPLUG sectors, merged
      {at(40), 0x10000, nullptr},
      {at(60), 0x10000, nullptr},  // 61 is "code", so 60 and 62 stay apart
      {at(62), 0x10000, nullptr},
  };
  EXPECT_EQ(std::vector<ImageRegion>(payload->regions->begin(), payload->regions->end()), expected);
  EXPECT_EQ(payload->outputAddress, 0x10010000u);
  EXPECT_EQ(payload->readBaseAddress, at(3));
  EXPECT_EQ(payload->reserved, 0u);
  EXPECT_EQ(payload->recordLength, 0x15);
  EXPECT_EQ(payload->outputFileName, "rev_flash.s19");
  EXPECT_TRUE(payload->startsUpdateFlash);
  const SectorList carried = payload->options.GetSectorList();
  ASSERT_EQ(carried.sectors.size(), 64u);
  for (const auto& sector : carried.sectors) EXPECT_EQ(sector.selected, 0u) << sector.address;
  EXPECT_EQ(carried.processorName, "CALDER");
}

TEST(UpdateReadBack, NothingToReadGivesReadBaseZero) {
  SectorList list;
  list.sectors = {{0x4000, 0x1000, "BOOT", 0}};
  auto payload = BuildUpdateReadBack(list);
  EXPECT_TRUE(payload->regions->Empty());
  EXPECT_EQ(payload->readBaseAddress, 0u);
}

TEST_F(PreprocFixture, ReverseFlashFromTheMenuQueuesTheUpdateReadBack) {
  GetAppSettings().SetSectorList(SixtyFourSectors());
  StartThread();
  Post(WM_REVERSE_FLASH);
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  auto* payload = jobs[0]->payload.Get<ReadBackPayload>();
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(payload->regions->Count(), 6u);
  EXPECT_EQ(payload->outputFileName, "rev_flash.s19");
  // The settings keep their own selection.
  EXPECT_EQ(GetAppSettings().GetSectorList(), SixtyFourSectors());
}

class OrvixReadBack : public PreprocFixture {
 protected:
  void AnswerRange(int answer, std::uint32_t begin, std::uint32_t end) {
    userIo.SetAnswerer([=](const PromptSeen& p) {
      if (answer == 1 && p.kind == 3 && p.record) {
        auto* range = std::get<OrvixReadBackRange*>(p.askerRecord);
        range->beginAddress = begin;
        range->endAddress = end;
        range->recordLength = 37;
      }
      return answer;
    });
  }
};

TEST_F(OrvixReadBack, TheRangeBecomesOneRegionForTheSelectedPort) {
  AnswerRange(1, 0x1000, 0x1FFF);
  dialogs->saveAnswer = "gps.s";
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  StartThread();
  Post(WM_ORVIX_REVERSE_FLASH);
  auto jobs = FlushJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->jobCode, WM_ORVIX_REVERSE_FLASH);
  EXPECT_EQ(jobs[0]->device, kSelectedCom);
  auto* payload = jobs[0]->payload.Get<ReadBackPayload>();
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(std::vector<ImageRegion>(payload->regions->begin(), payload->regions->end()),
            (std::vector<ImageRegion>{{0x1000, 0x1000, nullptr}}));
  EXPECT_EQ(payload->outputAddress, 0x1000u);
  EXPECT_EQ(payload->readBaseAddress, 0x1000u);
  EXPECT_EQ(payload->reserved, 0x1FFFu);
  EXPECT_EQ(payload->recordLength, 37);
  EXPECT_EQ(payload->outputFileName, "gps.s");
  EXPECT_EQ(payload->options.GetSectorList(), ProductSectors());
  ASSERT_EQ(dialogs->saved.size(), 1u);
  EXPECT_EQ(dialogs->saved[0].initialName, "*.s");
}

TEST_F(OrvixReadBack, AnEndBelowTheBeginIsRefusedBeforeAnythingIsAsked) {
  AnswerRange(1, 0x2000, 0x1FFF);
  dialogs->saveAnswer = "gps.s";
  StartThread();
  Post(WM_ORVIX_REVERSE_FLASH);
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> Orvix Reverse Flash end address 0x00001FFF lies below begin address 0x00002000"));
  ASSERT_TRUE(userIo.WaitPrompts(2));
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{3, PROMPT_ERROR}));
  EXPECT_TRUE(dialogs->saved.empty());
}

TEST_F(OrvixReadBack, AbortAndCancelAndUsb) {
  StartThread();
  AnswerRange(3, 0, 0);
  Post(WM_ORVIX_REVERSE_FLASH);
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> Orvix Reverse Flash operation aborted"));

  AnswerRange(2, 0, 0);
  Post(WM_ORVIX_REVERSE_FLASH);
  EXPECT_TRUE(FlushJobs().empty());

  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  Post(WM_ORVIX_REVERSE_FLASH);
  EXPECT_TRUE(FlushJobs().empty());
  EXPECT_TRUE(userIo.WaitLog("Error> Orvix Reverse Flash is only available in RS232 mode"));
  ASSERT_TRUE(userIo.WaitPrompts(4));
  // Abort: the dialog and the error; Cancel: the dialog only; USB: the error only.
  EXPECT_EQ(userIo.PromptKinds(), (std::vector<int>{3, PROMPT_ERROR, 3, PROMPT_ERROR}));
}

}  // namespace
}  // namespace preproc_test
