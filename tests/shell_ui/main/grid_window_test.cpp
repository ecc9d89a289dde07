// The grid in the window: rows from device changes and USB change records,
// status shown in the row widgets, drops, and the window growing and
// shrinking with its rows.
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <array>
#include <cstring>

#include "engine/core/device_event.h"
#include "kovrin/usb_change_record.h"
#include "main_window_fixture.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/progress/text_progress_ctrl.h"

namespace maintest {
namespace {

std::vector<std::string> ShownLabels(CFlashDlg& w) {
  std::vector<std::pair<int, std::string>> rows;
  for (int i = 0; i < kGridRowCount; ++i) {
    if (QLabel* label = w.GridView()->Label(i)) rows.emplace_back(label->y(), label->text().toStdString());
  }
  std::sort(rows.begin(), rows.end());
  std::vector<std::string> labels;
  for (auto& r : rows) labels.push_back(r.second);
  return labels;
}

TEST_F(MainWindowTest, RowsAppearSortedAndTheWindowGrowsAndShrinksWithThem) {
  Open();
  const int empty = window->height();
  Attach(9);
  Attach(2);
  PostToWindow(WM_DEVICE_ATTACHED, 128, 0);  // the Options dialog's COM2
  FlushWindow();
  EXPECT_EQ(ShownLabels(*window), (std::vector<std::string>{"USB2", "USB9", "COM2"}));
  const int rowHeight = window->GridView()->RowHeight();
  EXPECT_EQ(window->height(), empty + 3 * rowHeight);
  PostToWindow(WM_DEVICE_REMOVED, 2, 2);
  FlushWindow();
  EXPECT_EQ(ShownLabels(*window), (std::vector<std::string>{"USB9", "COM2"}));
  EXPECT_EQ(window->height(), empty + 2 * rowHeight);
  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "USB9> Device Attached"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "USB2> Device Removed"), lines.end());
}

struct RecordCase {
  int kind;
  int present;
  std::size_t length;
  bool row;
};

class UsbChangeRecordsAtTheWindow : public MainWindowTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(UsbChangeRecordsAtTheWindow, OnlyPhoneInterfaceRecordsMakeRows) {
  const auto& c = GetParam();
  Open();
  if (c.present == 0) Attach(5);  // a removal needs a row to remove
  auto record = std::make_unique<kovrin::UsbChangeRecord>();
  std::memset(record.get(), 0, sizeof *record);
  std::memcpy(record->tag, kovrin::kUsbChangeTag, sizeof record->tag);
  record->port = 5;
  record->kind = static_cast<std::uint8_t>(c.kind);
  record->present = static_cast<std::uint8_t>(c.present);
  const auto address = reinterpret_cast<platform::LParam>(record.get());
  platform::Message m(kovrin::WM_USB_DEVICE_EVENT, c.length, address);
  m.payload = platform::OwnedPayload(std::move(record));
  ASSERT_TRUE(platform::PostWindowMessage(window->Handle(), std::move(m)));
  FlushWindow();
  FlushWindow();  // the attach or remove the record leads to
  EXPECT_EQ(window->Grid().FindGridRow(5) >= 0, c.row);
}

INSTANTIATE_TEST_SUITE_P(Kinds, UsbChangeRecordsAtTheWindow,
                         ::testing::Values(RecordCase{2, 1, 26, true}, RecordCase{2, 1, 10, true},
                                           RecordCase{2, 1, 9, false}, RecordCase{2, 0, 10, false},
                                           RecordCase{2, 0, 9, true}, RecordCase{0, 1, 26, false},
                                           RecordCase{1, 1, 26, false}, RecordCase{3, 1, 26, false},
                                           RecordCase{4, 1, 10, false}, RecordCase{3, 0, 10, true},
                                           RecordCase{2, 7, 26, false}));

TEST_F(MainWindowTest, TheRowShowsProgressThenCompleteAndErrorsWithRetry) {
  Open();
  Attach(3);
  const int row = window->Grid().FindGridRow(3);
  ASSERT_GE(row, 0);
  CTextProgressCtrl* bar = window->GridView()->Progress(row);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->Text(), "Ready");
  EXPECT_EQ(window->GridView()->Counts(row)->text(), "(0/0)");
  ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(window->Handle(), MakeDeviceStatusRecord(EVENT_FLASH_PROGRESS, 3, 1, 2, 40)));
  FlushWindow();
  // Progress may wait for the repaint tick.
  EXPECT_TRUE(PumpUntil([&] { return bar->Text() == "Flashing 40%"; }));
  EXPECT_EQ(bar->GetPos(), 40);
  EXPECT_EQ(window->GridView()->Counts(row)->text(), "(1/2)");
  EXPECT_TRUE(window->GridView()->CancelButton(row)->isEnabled());
  ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(window->Handle(), MakeDeviceStatusRecord(EVENT_FLASH_DONE, 3, 2, 2, 100)));
  FlushWindow();
  EXPECT_EQ(bar->Text(), "Complete");
  EXPECT_FALSE(window->GridView()->CancelButton(row)->isEnabled());
  auto error = MakeErrorRecord(3, 12, 60, nullptr);
  ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(window->Handle(),
                                          MakeDeviceStatusRecord(EVENT_FLASH_FAILED, 3, 2, 2, 0, error.get())));
  FlushWindow();
  EXPECT_EQ(bar->Text(), "Error");
  EXPECT_TRUE(window->GridView()->RetryButton(row)->isVisible());
  EXPECT_FALSE(bar->toolTip().isEmpty());
  Drain(pre);
  window->GridView()->RetryButton(row)->click();
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_RETRY_DEVICE);
  EXPECT_EQ(posted[0].wParam, 3u);
}

TEST_F(MainWindowTest, ASmartphoneTheLibraryDoesNotListShowsAsUnsupported) {
  Open();
  PostToWindow(WM_DEVICE_ATTACHED, 4, 3);
  FlushWindow();
  const int row = window->Grid().FindGridRow(151);
  ASSERT_GE(row, 0);
  EXPECT_EQ(window->Grid().Row(row).state, GRID_ROW_UNSUPPORTED);
  EXPECT_EQ(window->GridView()->Label(row)->text(), "Ralix");
  EXPECT_EQ(window->GridView()->Progress(row)->Text(), "UNSUPPORTED");
  PostToWindow(WM_DEVICE_REMOVED, 4, 3);
  FlushWindow();
  EXPECT_LT(window->Grid().FindGridRow(151), 0);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Unsupported Smartphone> Device Attached on USB4",
                                                  "Unsupported Smartphone> Device Removed on USB4"}));
}

TEST_F(MainWindowTest, WhileMinimisedRowsWaitForTheRestore) {
  Open();
  window->showMinimized();
  ASSERT_TRUE(PumpUntil([&] { return window->isMinimized(); }, 5s)) << "the platform cannot minimise";
  Attach(6);
  EXPECT_EQ(window->GridView()->RowCount(), 0);
  window->showNormal();
  EXPECT_TRUE(PumpUntil([&] { return window->GridView()->RowCount() == 1; }));
}

TEST_F(MainWindowTest, DroppedFilesGoToThePreProcessingThread) {
  Open();
  EXPECT_FALSE(window->OnFilesDropped({QUrl("http://example.invalid/a.s19")}));
  EXPECT_TRUE(window->OnFilesDropped({QUrl::fromLocalFile("/tmp/a.s19"), QUrl::fromLocalFile("/tmp/b.bin")}));
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_FILES_DROPPED);
  auto paths = posted[0].Take<WM_FILES_DROPPED>();
  ASSERT_TRUE(paths);
  EXPECT_EQ(*paths, (std::vector<std::string>{"/tmp/a.s19", "/tmp/b.bin"}));
}

TEST_F(MainWindowTest, StatusForTheFlashpackManagerGoesThereWhileItIsOpen) {
  Open();
  Attach(3);
  platform::RegisteredQueue second(platform::TargetKind::Window);
  SetSecondWindow(second.handle());
  ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(window->Handle(), MakeDeviceStatusRecord(EVENT_FLASH_PROGRESS, 3, 1, 1, 40)));
  FlushWindow();
  ClearSecondWindow();
  auto m = second.queue().TryGet();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, WM_DEVICE_STATUS);
  auto record = m->Take<WM_DEVICE_STATUS>();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->percent, 40);
  EXPECT_EQ(window->Grid().Row(window->Grid().FindGridRow(3)).progressText, "Ready");
}

}  // namespace
}  // namespace maintest

#include <QMenuBar>
#include "shell/custom_menu/custom_menu_store.h"

namespace maintest {
namespace {

std::vector<std::string> MenuTitles(CFlashDlg& w) {
  std::vector<std::string> titles;
  for (QAction* a : w.menuBar()->actions()) titles.push_back(a->text().toStdString());
  return titles;
}

TEST_F(MainWindowTest, TheCustomMenuComesBeforeHelpAndGoesWithItsItems) {
  Open();
  CustomMenu items(2);
  items[0].label = "Read serial";
  items[0].flags = 0xE;
  items[1].label = "Calder only";
  items[1].flags = 0x4;
  PublishCustomMenu(items);
  PostToWindow(WM_REBUILD_CUSTOM_MENU);
  FlushWindow();
  EXPECT_EQ(MenuTitles(*window), (std::vector<std::string>{"&File", "&Radio", "&GPS Chip", "&Smartphone", "&Tools",
                                                          "&Custom", "&Help"}));
  ASSERT_NE(window->CommandAction(32854), nullptr);
  EXPECT_EQ(window->CommandAction(32854)->text(), "Calder only");
  Drain(pre);
  window->CommandAction(32853)->trigger();
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_CUSTOM_MENU_ITEM);
  EXPECT_EQ(posted[0].wParam, 0u);
  PublishCustomMenu({});
  PostToWindow(WM_REBUILD_CUSTOM_MENU);
  FlushWindow();
  EXPECT_EQ(MenuTitles(*window),
            (std::vector<std::string>{"&File", "&Radio", "&GPS Chip", "&Smartphone", "&Tools", "&Help"}));
  EXPECT_EQ(window->CommandAction(32853), nullptr);
}

}  // namespace
}  // namespace maintest
