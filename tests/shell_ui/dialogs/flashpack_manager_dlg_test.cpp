// The FlashPack Manager over the flashpack library stand-in: row texts,
// add, delete, Update Flash, status records as the second window, and the
// hand-over of queued messages to the main window when it closes.

#include <unistd.h>

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include <QFileDialog>
#include <QTimer>

#include "dialog_test_support.h"
#include "engine/core/app_settings.h"
#include "engine/core/device_status_record.h"
#include "engine/core/error_record.h"
#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/core/prompt_request.h"
#include "lumbrapack/pack_manager.h"
#include "shell/ui/dialogs/flashpack_manager_dlg.h"

using dialogtest::Click;
using dialogtest::Control;

namespace {

constexpr DeviceNumber kDevice = 3;
constexpr DeviceNumber kOtherDevice = 128;
constexpr unsigned long kPartitionBytes = 64 * 1024;

// A pack whose record size (the whole pack file) is `bytes`.
std::vector<unsigned char> PackOfSize(lumbrapack::PackFileFields fields, std::size_t bytes) {
  const std::size_t header = lumbrapack::BuildPackFile(fields, {}).size();
  return lumbrapack::BuildPackFile(fields, std::vector<unsigned char>(bytes - header, 0x33));
}

// A recording queue in place of a worker thread.
class ThreadQueue {
 public:
  explicit ThreadQueue(std::int32_t target) : target_(target) { SetTargetThread(target, queue_.handle()); }
  ~ThreadQueue() { SetTargetThread(target_, platform::kNoHandle); }
  std::vector<platform::Message> Taken() {
    std::vector<platform::Message> all;
    while (auto m = queue_.queue().TryGet()) all.push_back(std::move(*m));
    return all;
  }

 private:
  std::int32_t target_;
  platform::RegisteredQueue queue_;
};

class FlashpackManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<unsigned char> erased(kPartitionBytes, 0xFF);
    packs = std::make_shared<CPackManager>(erased.data(), kPartitionBytes);
    lumbrapack::PackFileFields german{lumbrapack::kLanguagePack, u"Deutsch \u00fc", {0x1A, 2, 3, 4}, 'R', {0x5E, 6, 0}};
    lumbrapack::PackFileFields font{lumbrapack::kFontPack, u"Latin", {1, 0, 0, 0}, 'A', {0, 0, 1}};
    lumbrapack::PackFileFields odd{static_cast<lumbrapack::PackType>(7), u"Odd", {2, 10, 0, 0}, 'B', {1, 2, 3}};
    for (const auto& pack : {PackOfSize(german, 1535), PackOfSize(font, 1536), PackOfSize(odd, 3000)}) {
      ASSERT_EQ(packs->AddPack(pack.data(), static_cast<unsigned long>(pack.size())), lumbrapack::kPackOk);
    }
    dialog = std::make_unique<CFlashPackManagerDlg>(packs, kDevice, settings);
    dialog->resize(700, 400);
    dialog->show();
    list = Control<QTreeWidget>(*dialog, 1098);
  }

  QStringList Row(int row) const {
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c) texts << list->topLevelItem(row)->text(c);
    return texts;
  }
  // The one job posted to the core thread.
  std::unique_ptr<CJobRequest> OneJob() {
    auto all = core.Taken();
    EXPECT_EQ(all.size(), 1u);
    if (all.size() != 1 || all[0].number != WM_QUEUE_JOB) return nullptr;
    return all[0].Take<WM_QUEUE_JOB>();
  }
  void PostStatus(DeviceNumber device, std::int32_t event, bool withError) {
    ErrorRecord error{device, 14, 79, {}, {}};
    auto status = MakeDeviceStatusRecord(event, device, 1, 1, 100, withError ? &error : nullptr);
    ASSERT_TRUE(PostToTarget<WM_DEVICE_STATUS>(PT_SECOND_WINDOW, std::move(status)));
  }
  // Lets the dialog handle what was posted to it (a sentinel refresh comes
  // back through the same queue).
  void Deliver() { QCoreApplication::sendPostedEvents(dialog.get()); }

  CAppSettings settings;
  std::shared_ptr<CPackManager> packs;
  ThreadQueue core{PT_CORE};
  ThreadQueue userIo{PT_USER_IO};
  dialogtest::MainWindowQueue mainWindow;
  std::unique_ptr<CFlashPackManagerDlg> dialog;
  QTreeWidget* list = nullptr;
};

TEST_F(FlashpackManagerTest, ShowsOneRowPerPackWithItsTexts) {
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(Row(0), QStringList({"Deutsch \u00fc", "Language", "1A.02.03.04", "R5E.06.00", "1 KB"}));
  EXPECT_EQ(Row(1), QStringList({"Latin", "Font", "01.00.00.00", "A00.00.01", "2 KB"}));
  EXPECT_EQ(Row(2), QStringList({"Odd", "7", "02.10.00.00", "B01.02.03", "3 KB"}));
  EXPECT_EQ(Control<QLabel>(*dialog, 1097)->text(), "64 KB");
  EXPECT_EQ(list->topLevelItem(0)->textAlignment(4) & Qt::AlignRight, Qt::AlignRight);
}

TEST_F(FlashpackManagerTest, ColumnsFillTheListsWidth) {
  int sum = 0;
  for (int c = 0; c < list->columnCount(); ++c) {
    EXPECT_GE(list->columnWidth(c), 50) << c;
    sum += list->columnWidth(c);
  }
  EXPECT_EQ(sum, list->viewport()->width());
}

TEST_F(FlashpackManagerTest, DeleteWithNothingSelectedLogsAndQueuesNothing) {
  Click(*dialog, 1091);
  auto toUser = userIo.Taken();
  ASSERT_EQ(toUser.size(), 2u);
  EXPECT_EQ(toUser[0].number, WM_LOG_LINE);
  EXPECT_EQ(*toUser[0].Take<WM_LOG_LINE>(), "Error> No flashpacks selected");
  EXPECT_EQ(toUser[1].number, WM_USER_PROMPT);
  EXPECT_EQ(toUser[1].Take<WM_USER_PROMPT>()->kind, PROMPT_ERROR);
  EXPECT_TRUE(core.Taken().empty());
}

TEST_F(FlashpackManagerTest, DeleteQueuesTheSelectedPackNumbersInListOrder) {
  list->topLevelItem(2)->setSelected(true);
  list->topLevelItem(0)->setSelected(true);
  Click(*dialog, 1091);
  auto job = OneJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->jobCode, WM_FLASHPACK_REMOVE);
  EXPECT_EQ(job->device, kDevice);
  ASSERT_NE(job->payload.Get<FlashpackRemovePayload>(), nullptr);
  EXPECT_EQ(job->payload.Get<FlashpackRemovePayload>()->packIndices, (std::vector<std::uint16_t>{1, 3}));
}

TEST_F(FlashpackManagerTest, AddQueuesTheFileForTheDialogsDevice) {
  dialog->AddFile("/data/packs/french.bin");
  auto job = OneJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->jobCode, WM_FLASHPACK_ADD);
  EXPECT_EQ(job->device, kDevice);
  EXPECT_EQ(job->interactive, 1);
  EXPECT_EQ(job->senderFlagA, 0);
  ASSERT_NE(job->payload.Get<FileJobPayload>(), nullptr);
  EXPECT_EQ(job->payload.Get<FileJobPayload>()->imageFileName, "/data/packs/french.bin");
}

TEST_F(FlashpackManagerTest, AddsFileDialogSaysWhatItIsForAndOffersFlashPacks) {
  QString title;
  QStringList filters;
  auto* poll = new QTimer(dialog.get());
  QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
    auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (files == nullptr) return;
    poll->stop();
    title = files->windowTitle();
    filters = files->nameFilters();
    files->reject();
  });
  poll->start(10);
  dialogtest::Click(*dialog, 1090);
  poll->stop();
  EXPECT_EQ(title, "Add FlashPack File");
  EXPECT_EQ(filters, QStringList({"FlashPack files (*.s19)", "All Files (*)"}));
  EXPECT_TRUE(core.Taken().empty());  // cancelled: nothing queued
}

TEST_F(FlashpackManagerTest, ADroppedShortcutAddsTheFileItNamesAndOverlongPathsAreSkipped) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("packs-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "french.bin") << "pack";
  std::filesystem::create_symlink(folder / "french.bin", folder / "link.bin");
  const std::string tooLong = "/" + std::string(256, 'x');
  dialog->OnFilesDropped({QUrl::fromLocalFile(QString::fromStdString((folder / "link.bin").string())),
                          QUrl::fromLocalFile(QString::fromStdString(tooLong)), QUrl("http://example.invalid/a.bin")});
  const std::string target = std::filesystem::canonical(folder / "french.bin").string();
  auto job = OneJob();
  std::filesystem::remove_all(folder);
  ASSERT_NE(job, nullptr);
  ASSERT_NE(job->payload.Get<FileJobPayload>(), nullptr);
  EXPECT_EQ(job->payload.Get<FileJobPayload>()->imageFileName, target);
}

TEST_F(FlashpackManagerTest, UpdateFlashQueuesTheJobAndCloses) {
  Click(*dialog, 1);
  auto job = OneJob();
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->jobCode, WM_FLASHPACK_UPDATE_FLASH);
  EXPECT_EQ(job->device, kDevice);
  EXPECT_NE(job->payload.Get<CJobOptions>(), nullptr);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(FlashpackManagerTest, AnErrorOfItsDeviceStopsTheDeviceAndShowsTheErrorBox) {
  PostStatus(kDevice, 14, true);
  Deliver();
  auto toCore = core.Taken();
  ASSERT_EQ(toCore.size(), 1u);
  EXPECT_EQ(toCore[0].number, WM_CANCEL_DEVICE);
  EXPECT_EQ(toCore[0].wParam, static_cast<platform::WParam>(kDevice));
  using Posted = dialogtest::MainWindowQueue::Posted;
  EXPECT_EQ(mainWindow.Taken(), (std::vector<Posted>{{WM_RESET_DEVICE_ROW, kDevice, 0}}));
  auto toUser = userIo.Taken();
  ASSERT_EQ(toUser.size(), 2u);
  EXPECT_EQ(toUser[0].Take<WM_LOG_LINE>()->rfind("Error> ", 0), 0u);
  EXPECT_EQ(toUser[1].number, WM_USER_PROMPT);
}

TEST_F(FlashpackManagerTest, OtherRecordsGoOnToTheGridAndAddedPacksRefreshTheList) {
  PostStatus(kOtherDevice, 14, true);
  const auto more = lumbrapack::BuildPackFile({lumbrapack::kThemePack, u"Night", {1, 0, 0, 0}, 'A', {0, 0, 0}}, {});
  ASSERT_EQ(packs->AddPack(more.data(), static_cast<unsigned long>(more.size())), lumbrapack::kPackOk);
  PostStatus(kDevice, 54, false);
  Deliver();
  const auto posted = mainWindow.Taken();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].id, WM_GRID_STATUS);
  EXPECT_EQ(posted[1].id, WM_GRID_STATUS);
  EXPECT_TRUE(core.Taken().empty());
  ASSERT_EQ(list->topLevelItemCount(), 4);
  EXPECT_EQ(list->topLevelItem(3)->text(1), "Theme");
}

TEST_F(FlashpackManagerTest, MessagesQueuedAtClosingGoOnToTheMainWindow) {
  PostStatus(kOtherDevice, 9, false);
  ASSERT_TRUE(PostToTarget<WM_FLASHPACK_REFRESH>(PT_SECOND_WINDOW));
  Click(*dialog, 2);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  const auto posted = mainWindow.Taken();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].id, WM_DEVICE_STATUS);
  EXPECT_EQ(posted[1].id, WM_FLASHPACK_REFRESH);
  EXPECT_EQ(PostToTarget<WM_FLASHPACK_REFRESH>(PT_SECOND_WINDOW), 0);
}

TEST(FlashpackSizeTest, RoundsToTheNearestKilobyte) {
  EXPECT_EQ(KilobyteText(0), "0 KB");
  EXPECT_EQ(KilobyteText(511), "0 KB");
  EXPECT_EQ(KilobyteText(512), "1 KB");
  EXPECT_EQ(KilobyteText(1535), "1 KB");
  EXPECT_EQ(KilobyteText(1536), "2 KB");
}

}  // namespace
