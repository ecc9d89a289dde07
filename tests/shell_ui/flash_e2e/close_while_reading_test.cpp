// Quitting while a radio is being read: the window asks, "Cancel Jobs and
// Quit" cancels the read-back at the real core thread, which stops the
// device object at its next step, so the program ends long before the read
// would have finished and no half-read file is written.
#include <QMessageBox>
#include <QPushButton>
#include <chrono>
#include <filesystem>

#include "engine/core/buffer_registry.h"
#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/core/region_list.h"
#include "engine/processing/core_processing_thread.h"
#include "engine/product/copy_product_record.h"
#include "engine/product/product_file_parser.h"
#include "main_window_fixture.h"
#include "radio_on_pty.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/progress/text_progress_ctrl.h"
#include "shell_stand_in.h"

namespace maintest {
namespace {

constexpr int kComNumber = 7;
constexpr DeviceNumber kDevice = 126 + kComNumber;
// At the line's rate a read of this much takes minutes.
constexpr std::uint32_t kReadLength = 0x100000;

constexpr char kProduct[] = R"(product VEXA20
{
    processor Harrow;
    flash main size = 1M type = nor vendor = Intel num_sectors = 16
    {
        partition = 0 boot size = 1M type = code chip_select = 0;
        address = 0, sector_size = 64K, num_sectors = 16, type = CODE;
    }
}
)";

class CloseWhileReading : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    test_support::WriteKernelFiles(folder);
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
    WorkerThreadFactory factory;
    factory.core = [] { return std::make_unique<CCoreProcessingThread>(); };
    Open(std::move(factory));
    PostToWindow(WM_DEVICE_ATTACHED, kDevice, 0);
    FlushWindow();
  }
  void TearDown() override {
    window.reset();
    radio.reset();
    SetTargetThread(PT_CORE, core.handle());
    GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
    GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, "");
    MainWindowTest::TearDown();
  }

  // The options of a read of the whole flash.
  CJobOptions Options() {
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
    for (SectorEntry& sector : list.sectors) sector.selected = 1;
    CJobOptions options;
    options.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    options.SetIntParam(OPTION_SERIAL_PORT, kComNumber - 1);
    options.SetSectorList(list);
    return options;
  }

  std::string RowText() {
    const int row = window->Grid().FindGridRow(kDevice);
    CTextProgressCtrl* bar = row < 0 ? nullptr : window->GridView()->Progress(row);
    return bar ? bar->Text().toStdString() : std::string();
  }

  test_support::TempFolder folder;
  std::unique_ptr<test_support::RadioOnPty> radio;
};

TEST_F(CloseWhileReading, QuitCancelsTheReadAndTheProgramEndsWithoutIt) {
  auto readBack = std::make_unique<ReadBackPayload>();
  readBack->outputFileName = folder.File("rev_flash.s19");
  readBack->outputAddress = 0;
  readBack->readBaseAddress = 0;
  readBack->recordLength = 21;
  readBack->options = Options();
  readBack->regions = MakeRegionList();
  readBack->regions->Add(0, kReadLength, GetBufferRegistry().Allocate(kReadLength));
  auto request = std::make_unique<CJobRequest>(WM_REVERSE_FLASH, JobPayload(std::move(readBack)), 0, 0, 0);
  request->device = kDevice;
  ASSERT_TRUE(PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request)));
  ASSERT_TRUE(PumpUntil([&] { return RowText().rfind("Rev Flashing", 0) == 0; }, 60s)) << RowText();

  window->close();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = window->findChild<QMessageBox*>("closeQuestion")) != nullptr; }, 5s));
  const auto quitAt = std::chrono::steady_clock::now();
  box->findChild<QPushButton*>("closeQuestionQuit")->click();
  ASSERT_FALSE(window->isVisible());
  window->Shutdown();  // what the program does once the window has ended
  const auto took = std::chrono::steady_clock::now() - quitAt;

  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Quit: cancelling the jobs running on 1 device (COM7)"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "COM7> User-initiated Cancel"), lines.end());
  EXPECT_FALSE(std::filesystem::exists(folder.File("rev_flash.s19")));
  // The whole read takes minutes at this rate; cancelled, it stops within
  // a few of the device's steps.
  EXPECT_LT(took, std::chrono::seconds(30));
}

}  // namespace
}  // namespace maintest
