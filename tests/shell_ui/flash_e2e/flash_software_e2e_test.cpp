// Flash Software from the window to a simulated radio on a pseudo-terminal:
// the window asks for the read-back, the core thread reads the radio and
// saves the file, the row shows the progress, and the saved file (and only
// that) sends WM_FLASH on, after which the update flash runs and the row
// shows it complete. The pre-processing thread's part (building the jobs)
// is played by the test from what arrives in its queue.
#include <QToolBar>

#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/core/region_list.h"
#include "engine/core/buffer_registry.h"
#include "engine/processing/core_processing_thread.h"
#include "engine/product/copy_product_record.h"
#include "engine/product/product_file_parser.h"
#include <filesystem>

#include "main_window_fixture.h"
#include "radio_on_pty.h"
#include "shell/grid/main_commands.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/progress/text_progress_ctrl.h"
#include "shell_stand_in.h"

namespace maintest {
namespace {

constexpr int kComNumber = 6;
constexpr DeviceNumber kDevice = 126 + kComNumber;
constexpr std::uint32_t kSector = 0x10000;
constexpr std::uint32_t kCodeplug = 0xC0000;

constexpr char kProduct[] = R"(product VEXA20
{
    processor Harrow;
    flash main size = 1M type = nor vendor = Intel num_sectors = 16
    {
        partition = 0 boot size = 1M type = code chip_select = 0;
        address = 0, sector_size = 64K, num_sectors = 12, type = CODE;
        address = 0xC0000, sector_size = 64K, num_sectors = 2, type = CODEPLUG;
        address = 0xE0000, sector_size = 64K, num_sectors = 2, type = FLASHPACK;
    }
}
)";

class FlashSoftwareEndToEnd : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    test_support::WriteKernelFiles(folder);
    // A product in the selector: Flash Software starts only with one.
    std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                               folder.File("radios.qlp"));
    CAppSettings& s = GetAppSettings();
    s.SetAppString(APP_STRING_WORKING_DIRECTORY, folder.Path().string());
    s.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    s.SetIntParam(OPTION_SERIAL_PORT, kComNumber - 1);
    radiosim::RadioConfig config;
    config.bootLoader = radiosim::BootLoaderType::Harrow;
    config.link = radiosim::LinkKind::Serial;
    config.powerOn = radiosim::PowerOnState::BootLoader;
    radio = std::make_unique<test_support::RadioOnPty>(config, kComNumber);
    ASSERT_TRUE(radio->started());
    // The real core thread; the other threads are the fixture's queues.
    WorkerThreadFactory factory;
    factory.core = [] { return std::make_unique<CCoreProcessingThread>(); };
    Open(std::move(factory));
    PostToWindow(WM_DEVICE_ATTACHED, kDevice, 0);  // the serial port's row
    FlushWindow();
  }
  void TearDown() override {
    window.reset();  // stops the core thread
    radio.reset();
    SetTargetThread(PT_CORE, core.handle());
    MainWindowTest::TearDown();
  }

  CJobOptions Options(const std::vector<std::uint32_t>& selected) {
    const std::string path = folder.File("vexa20.qlp");
    std::FILE* file = std::fopen(path.c_str(), "w");
    EXPECT_NE(file, nullptr);
    std::fputs(kProduct, file);
    std::fclose(file);
    ProductFileParser parser;
    CProductRecord record;
    EXPECT_EQ(parser.LoadProduct(path, "VEXA20", record), 1);
    SectorList list;
    CopyProductRecord(record, list);
    for (SectorEntry& sector : list.sectors) {
      for (std::uint32_t address : selected) sector.selected |= sector.address == address ? 1u : 0u;
    }
    CJobOptions options;
    options.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    options.SetIntParam(OPTION_SERIAL_PORT, kComNumber - 1);
    options.SetSectorList(list);
    return options;
  }

  void QueueJob(std::uint32_t jobCode, JobPayload payload) {
    auto request = std::make_unique<CJobRequest>(jobCode, std::move(payload), 0, 0, 0);
    request->device = kDevice;
    ASSERT_TRUE(PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request)));
  }

  // Waits for the message at the pre-processing thread's queue, keeping
  // the window's events flowing.
  std::optional<platform::Message> WaitAtPreProcessing(std::uint32_t number) {
    std::optional<platform::Message> found;
    PumpUntil([&] {
      found = pre.queue().TakeMatching(number, number, 0ms);
      return found.has_value();
    }, 60s);
    return found;
  }

  CTextProgressCtrl* RowBar() {
    const int row = window->Grid().FindGridRow(kDevice);
    return row < 0 ? nullptr : window->GridView()->Progress(row);
  }

  test_support::TempFolder folder;
  std::unique_ptr<test_support::RadioOnPty> radio;
};

TEST_F(FlashSoftwareEndToEnd, ReadsBackThenFlashesAndTheRowFollows) {
  const auto old = test_support::Pattern(2 * kSector, 7);
  ASSERT_TRUE(radio->radio().SetFlash(kCodeplug, old));
  ASSERT_NE(RowBar(), nullptr);
  EXPECT_EQ(RowBar()->Text(), "Ready");

  window->OnCommand(ID_TOOL_FLASH_SOFTWARE);
  EXPECT_FALSE(window->ToolBar()->isEnabled());
  auto asked = WaitAtPreProcessing(WM_REVERSE_FLASH);
  ASSERT_TRUE(asked);

  // The read-back of the codeplug, as the pre-processing thread asks it.
  auto readBack = std::make_unique<ReadBackPayload>();
  readBack->outputFileName = folder.File("rev_flash.s19");
  readBack->outputAddress = 0x10010000;
  readBack->readBaseAddress = kCodeplug;
  readBack->recordLength = 21;
  readBack->options = Options({kCodeplug, kCodeplug + kSector});
  readBack->regions = MakeRegionList();
  readBack->regions->Add(kCodeplug, 2 * kSector, GetBufferRegistry().Allocate(2 * kSector));
  readBack->startsUpdateFlash = true;
  QueueJob(WM_REVERSE_FLASH, std::move(readBack));

  // The row shows the read-back on its way.
  std::set<std::string> texts;
  auto flash = std::optional<platform::Message>();
  ASSERT_TRUE(PumpUntil([&] {
    if (CTextProgressCtrl* bar = RowBar()) texts.insert(bar->Text().toStdString());
    flash = pre.queue().TakeMatching(WM_FLASH, WM_FLASH, 0ms);
    return flash.has_value();
  }, 60s)) << "no WM_FLASH; rows showed " << ::testing::PrintToString(texts) << "\n" << ::testing::PrintToString(LogLines());
  EXPECT_EQ(flash->wParam, static_cast<platform::WParam>(kDevice));
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                          [](const std::string& t) { return t.rfind("Rev Flashing", 0) == 0; }));
  EXPECT_TRUE(std::filesystem::exists(folder.File("rev_flash.s19")));
  EXPECT_TRUE(window->FlashEnabled());
  EXPECT_TRUE(window->ToolBar()->isEnabled());

  // The update flash that WM_FLASH starts: a new image for CODE sector 1.
  const auto image = test_support::Pattern(0x2000, 3);
  test_support::WriteSRecordFile(folder.File("update.s19"), {{kSector, image}}, kSector);
  auto payload = std::make_unique<FileJobPayload>();
  payload->imageFileName = folder.File("update.s19");
  payload->options = Options({kSector});
  payload->options.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
  QueueJob(WM_FLASH, std::move(payload));
  // The read-back's row already reads "Complete": the flash's own end is
  // the new image in the radio with the row complete again.
  EXPECT_TRUE(PumpUntil([&] {
    return radio->radio().GetFlash(kSector, 0x2000) == image && RowBar() && RowBar()->Text() == "Complete";
  }, 60s)) << (RowBar() ? RowBar()->Text().toStdString() : "no row");
  EXPECT_EQ(radio->radio().GetFlash(kSector, 0x2000), image);
  // Only the one WM_FLASH went out.
  FlushWindow();
  EXPECT_FALSE(pre.queue().TakeMatching(WM_FLASH, WM_FLASH, 0ms).has_value());
}

TEST_F(FlashSoftwareEndToEnd, ARefusedReadBackGivesTheToolbarBack) {
  // A second device: the read-back is refused at once and nothing waits.
  PostToWindow(WM_DEVICE_ATTACHED, 3, 2);
  FlushWindow();
  window->OnCommand(ID_FLASH_SOFTWARE);
  EXPECT_TRUE(window->ToolBar()->isEnabled());
  PostToWindow(WM_DEVICE_REMOVED, 3, 2);
  FlushWindow();

  // A read-back the radio fails: the toolbar comes back.
  window->OnCommand(ID_FLASH_SOFTWARE);
  ASSERT_TRUE(WaitAtPreProcessing(WM_REVERSE_FLASH));
  ASSERT_FALSE(window->ToolBar()->isEnabled());
  auto readBack = std::make_unique<ReadBackPayload>();
  readBack->outputFileName = folder.File("no_such_folder/rev_flash.s19");
  readBack->outputAddress = 0x10010000;
  readBack->readBaseAddress = kCodeplug;
  readBack->recordLength = 21;
  readBack->options = Options({kCodeplug});
  readBack->regions = MakeRegionList();
  readBack->regions->Add(kCodeplug, kSector, GetBufferRegistry().Allocate(kSector));
  readBack->startsUpdateFlash = true;
  QueueJob(WM_REVERSE_FLASH, std::move(readBack));
  EXPECT_TRUE(PumpUntil([&] { return window->ToolBar()->isEnabled(); }, 60s));
  EXPECT_TRUE(PumpUntil([&] { return RowBar() && RowBar()->Text() == "Error"; }, 10s));
  FlushWindow();
  EXPECT_FALSE(pre.queue().TakeMatching(WM_FLASH, WM_FLASH, 0ms).has_value());
}

}  // namespace
}  // namespace maintest
