// Flashpack jobs through the core processing thread against the FLASHPACK
// partition of a simulated radio: extract, add, remove and update flash,
// and the extract/add/flash that a flash of a FlashPack file becomes.

#include "engine/core/flashpack_status_record.h"
#include "lumbrapack/pack_manager.h"
#include "../../support/pack_names.h"
#include "radio_jobs_fixture.h"

using namespace test_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes PackFile(const std::u16string& name, std::uint8_t fill) {
  lumbrapack::PackFileFields fields;
  fields.name = name;
  return lumbrapack::BuildPackFile(fields, std::vector<unsigned char>(40, fill));
}

// The names of the packs in a partition image, in set order.
using test_support::PackNames;

class FlashpackRadio : public RadioJobsTest, public ::testing::WithParamInterface<RadioLink> {
 protected:
  // The radio's partition holds one pack, "Deutsch".
  void ServeWithOnePack() {
    ServeOne(GetParam(), radiosim::PowerOnState::Kernel);
    Bytes erased(kFlashpackSize, 0xFF);
    CPackManager packs(erased.data(), kFlashpackSize);
    const Bytes pack = PackFile(u"Deutsch", 0x44);
    ASSERT_EQ(packs.AddPack(pack.data(), static_cast<unsigned long>(pack.size())), lumbrapack::kPackOk);
    Bytes image(packs.ImageSize());
    ASSERT_EQ(packs.WriteImage(image.data(), static_cast<unsigned long>(image.size())), lumbrapack::kPackOk);
    ASSERT_TRUE(Radio().SetFlash(kFlashpackStart, image));
  }
  // A FlashPack S-record file: the pack at address 0, placed by the loader
  // at the start of the FLASHPACK allocation.
  void WritePackFile(const std::string& file, const std::u16string& name, std::uint8_t fill) {
    WriteSRecordFile(folder_.File(file), {{0, PackFile(name, fill)}}, 0, "FlashPack");
  }
  Bytes Partition() { return Radio().GetFlash(kFlashpackStart, kFlashpackSize); }
  CJobOptions AutoEraseOptions() {
    CJobOptions options = JobOptions();
    options.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    return options;
  }
};

TEST_P(FlashpackRadio, ExtractAddRemoveAndUpdateFlashRewriteThePartition) {
  ServeWithOnePack();
  Queue(WM_FLASHPACK_EXTRACT, Device(), Options());
  ASSERT_TRUE(WaitFinished(Device(), 0));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 51));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Flashpack Extract"));
  // The pre-processing thread gets a share of the pack set, so it can read
  // the set even after a later extract has replaced it in the device.
  ASSERT_TRUE(shell_.WaitUntil([&] { return !shell_.FlashpackStatuses().empty(); }));
  const std::shared_ptr<CPackManager> firstSet = shell_.FlashpackStatuses().back().share;
  ASSERT_TRUE(firstSet);
  EXPECT_EQ(firstSet.get(), shell_.FlashpackStatuses().back().packManager);
  EXPECT_EQ(firstSet->m_packCount.load(), 1);
  Queue(WM_FLASHPACK_EXTRACT, Device(), Options());
  ASSERT_TRUE(WaitFinished(Device(), 1));
  ASSERT_TRUE(shell_.WaitUntil([&] { return shell_.FlashpackStatuses().size() == 2; }));
  EXPECT_NE(shell_.FlashpackStatuses().back().share, firstSet);
  EXPECT_EQ(firstSet->m_packCount.load(), 1);

  WritePackFile("english.s19", u"English", 0x45);
  Queue(WM_FLASHPACK_ADD, Device(), FlashPayload("english.s19", JobOptions()));
  ASSERT_TRUE(WaitFinished(Device(), 2));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 54));

  auto remove = std::make_unique<FlashpackRemovePayload>();
  remove->packIndices = {1};
  remove->options = JobOptions();
  Queue(WM_FLASHPACK_REMOVE, Device(), std::move(remove));
  ASSERT_TRUE(WaitFinished(Device(), 3));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 56));
  // Nothing reaches the radio before the update flash.
  EXPECT_EQ(PackNames(Partition()), std::vector<std::u16string>{u"Deutsch"});

  Queue(WM_FLASHPACK_UPDATE_FLASH, Device(), std::make_unique<CJobOptions>(AutoEraseOptions()));
  ASSERT_TRUE(WaitFinished(Device(), 4));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 14));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Flashpack Flash"));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  EXPECT_EQ(PackNames(Partition()), std::vector<std::u16string>{u"English"});
}

TEST_P(FlashpackRadio, FlashOfAFlashpackFileAddsItsPackToThePartition) {
  ServeWithOnePack();
  WritePackFile("english.s19", u"English", 0x45);
  Queue(WM_FLASH, Device(), FlashPayload("english.s19", JobOptions()));
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 14));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Flashpack Extract/Add/Flash"));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  EXPECT_EQ(PackNames(Partition()), (std::vector<std::u16string>{u"Deutsch", u"English"}));
  // Nothing outside the partition was touched.
  EXPECT_EQ(Radio().GetFlash(kFlashpackStart - 16, 16), Bytes(16, 0xFF));
}

TEST_P(FlashpackRadio, AFlashpackFileThatIsAlreadyThereFailsWith87AndLeavesThePartition) {
  ServeWithOnePack();
  const Bytes before = Partition();
  WritePackFile("deutsch.s19", u"Deutsch", 0x44);
  Queue(WM_FLASH, Device(), FlashPayload("deutsch.s19", JobOptions()));
  ASSERT_TRUE(shell_.WaitLog(Name() + "> ERROR: Matching flashpack exists")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(Device(), 12));
  EXPECT_EQ(Partition(), before);
}

TEST_P(FlashpackRadio, ExtractOfARadioThatDoesNotAnswerFailsWith49) {
  ServeWithOnePack();
  Radio().AddFault(radiosim::Fault{radiosim::FaultKind::Silence, -1});
  Queue(WM_FLASHPACK_EXTRACT, Device(), Options());
  ASSERT_TRUE(shell_.WaitLog(Name() + "> ERROR: ")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(Device(), 49));
}

INSTANTIATE_TEST_SUITE_P(Links, FlashpackRadio, ::testing::Values(RadioLink::Serial, RadioLink::Usb),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

}  // namespace
