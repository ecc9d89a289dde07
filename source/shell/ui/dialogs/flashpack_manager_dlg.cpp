#include "shell/ui/dialogs/flashpack_manager_dlg.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "engine/core/app_settings.h"
#include "engine/core/device_event.h"
#include "engine/core/device_status_record.h"
#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/core/kernel_error_text.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "lumbrapack/pack_manager.h"
#include "shell/app/expand_shortcut.h"
#include "shell/log/post_log_line.h"
#include "shell/prompt/file_filters.h"
#include "shell/ui/dialogs/app_file_dialog.h"
#include "shell/ui/main/window_target.h"

namespace {

constexpr const char* kAddFileTitle = "Add FlashPack File";
constexpr int kMinimumColumnWidth = 50;
constexpr int kNameUnits = 50;
constexpr int kMaxDroppedPath = 256;

struct FamilyName {
  std::uint32_t type;
  const char* text;
};
constexpr FamilyName kFamilies[] = {{1, "Language"}, {2, "Font"}, {3, "Theme"}};

QString FamilyText(std::uint32_t type) {
  for (const FamilyName& f : kFamilies) {
    if (f.type == type) return f.text;
  }
  return QString::number(static_cast<int>(type));
}

QString NameText(const std::uint8_t* bytes) {
  std::u16string units;
  for (int i = 0; i < kNameUnits; ++i) {
    const char16_t unit = static_cast<char16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    if (unit == 0) break;
    units.push_back(unit);
  }
  return QString::fromStdU16String(units);
}

CJobOptions OptionsWithSectors(const CAppSettings& settings) { return CJobOptions(settings); }

void QueueJob(std::uint32_t code, JobPayload payload, DeviceNumber device, std::int32_t flagA = 0,
              std::int32_t interactive = 0) {
  auto request = std::make_unique<CJobRequest>(code, std::move(payload), 0, flagA, interactive);
  request->device = device;
  request->senderFlagA = 0;
  PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request));
}

}  // namespace

QString KilobyteText(unsigned long bytes) { return QString("%1 KB").arg((bytes + 512) / 1024); }

FlashpackRowTexts FlashpackRow(const lumbrapack::PackRecord& r) {
  const auto two = [](int v) { return QString("%1").arg(v, 2, 10, QChar('0')); };
  FlashpackRowTexts texts;
  texts.name = NameText(r.name);
  texts.family = FamilyText(r.type);
  texts.version = QString("%1.%2.%3.%4")
                      .arg(r.version[0], 2, 16, QChar('0'))
                      .toUpper()
                      .arg(two(r.version[1]), two(r.version[2]), two(r.version[3]));
  texts.build = QString("%1%2.%3.%4")
                    .arg(QChar(r.buildLetter))
                    .arg(QString("%1").arg(r.build[0], 2, 16, QChar('0')).toUpper())
                    .arg(two(r.build[1]), two(r.build[2]));
  texts.size = KilobyteText(r.size);
  return texts;
}

CFlashPackManagerDlg::CFlashPackManagerDlg(std::shared_ptr<CPackManager> packs, DeviceNumber device,
                                           CAppSettings& settings, QWidget* parent)
    : QDialog(parent), packs_(std::move(packs)), device_(device), settings_(settings) {
  setObjectName("flashpackManagerDialog");
  setWindowTitle("FlashPack Manager");
  setAcceptDrops(true);
  BuildControls();
  FillList();
  target_ = std::make_unique<GuiWindowTarget>(this);
  SetSecondWindow(target_->Handle());
}

CFlashPackManagerDlg::~CFlashPackManagerDlg() { StopTarget(); }

void CFlashPackManagerDlg::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setObjectName("1098");
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setHeaderLabels({"Name", "Family", "Version", "Build", "Size"});
  list_->headerItem()->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
  list_->header()->setStretchLastSection(false);
  list_->setMinimumSize(460, 200);
  list_->viewport()->installEventFilter(this);
  layout->addWidget(list_, 1);

  auto* lower = new QHBoxLayout;
  auto* memory = new QFormLayout;
  const auto figure = [this](const char* id) {
    auto* label = new QLabel(this);
    label->setObjectName(id);
    return label;
  };
  used_ = figure("1095");
  free_ = figure("1096");
  total_ = figure("1097");
  memory->addRow("Memory Used :", used_);
  memory->addRow("Memory Free :", free_);
  memory->addRow("Memory Total :", total_);
  lower->addLayout(memory);
  lower->addStretch(1);
  const auto button = [this, lower](const char* id, const char* text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(id);
    lower->addWidget(b, 0, Qt::AlignBottom);
    return b;
  };
  auto* add = button("1090", "&Add...");
  auto* remove = button("1091", "&Delete");
  auto* update = button("1", "&Update Flash");
  auto* cancel = button("2", "Cancel");
  update->setDefault(true);
  layout->addLayout(lower);

  connect(add, &QPushButton::clicked, this, &CFlashPackManagerDlg::OnAdd);
  connect(remove, &QPushButton::clicked, this, &CFlashPackManagerDlg::OnDelete);
  connect(update, &QPushButton::clicked, this, &CFlashPackManagerDlg::OnUpdateFlash);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CFlashPackManagerDlg::FillList() {
  list_->clear();
  const std::uint16_t count = packs_ ? packs_->m_packCount.load() : 0;
  for (std::uint16_t n = 1; n <= count; ++n) {
    lumbrapack::PackRecord record{};
    if (packs_->PackInfo(n, &record) != lumbrapack::kPackOk) continue;
    const FlashpackRowTexts t = FlashpackRow(record);
    auto* row = new QTreeWidgetItem(list_, {t.name, t.family, t.version, t.build, t.size});
    row->setData(0, Qt::UserRole, n);
    row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
  }
  const unsigned long total = packs_ ? packs_->m_totalMemory.load() : 0;
  const unsigned long freeBytes = packs_ ? packs_->FreeMemory() : 0;
  used_->setText(KilobyteText(total >= freeBytes ? total - freeBytes : 0));
  free_->setText(KilobyteText(freeBytes));
  total_->setText(KilobyteText(total));
  FitColumns();
}

// Each column takes its automatic width, at least 50 pixels; the space left
// is shared out evenly, the remainder going to the last column.
void CFlashPackManagerDlg::FitColumns() {
  const int columns = list_->columnCount();
  int used = 0;
  for (int c = 0; c < columns; ++c) {
    list_->resizeColumnToContents(c);
    const int width = std::max(list_->columnWidth(c), kMinimumColumnWidth);
    list_->setColumnWidth(c, width);
    used += width;
  }
  const int left = list_->viewport()->width() - used;
  if (left <= 0) return;
  for (int c = 0; c < columns; ++c) {
    const int extra = left / columns + (c == columns - 1 ? left % columns : 0);
    list_->setColumnWidth(c, list_->columnWidth(c) + extra);
  }
}

bool CFlashPackManagerDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize) FitColumns();
  return QDialog::eventFilter(watched, event);
}

void CFlashPackManagerDlg::AddFile(const QString& path) {
  auto payload = std::make_unique<FileJobPayload>();
  payload->imageFileName = path.toStdString();
  payload->options = OptionsWithSectors(settings_);
  QueueJob(WM_FLASHPACK_ADD, JobPayload(std::move(payload)), device_, 1, 1);
}

void CFlashPackManagerDlg::OnAdd() {
  CAppFileDialog files(CAppFileDialog::Mode::Open, "s19", {}, kFlashpackFileFilter, this);
  files.setWindowTitle(kAddFileTitle);
  if (files.DoModal() == 1) AddFile(files.GetPathName());
}

void CFlashPackManagerDlg::OnDelete() {
  std::vector<std::uint16_t> numbers;
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (item->isSelected()) numbers.push_back(static_cast<std::uint16_t>(item->data(0, Qt::UserRole).toUInt()));
  }
  if (numbers.empty()) {
    PostLogLine("Error> No flashpacks selected");
    PostErrorPrompt();
    return;
  }
  auto payload = std::make_unique<FlashpackRemovePayload>();
  payload->packIndices = std::move(numbers);
  payload->options = OptionsWithSectors(settings_);
  QueueJob(WM_FLASHPACK_REMOVE, JobPayload(std::move(payload)), device_);
}

void CFlashPackManagerDlg::OnUpdateFlash() {
  QueueJob(WM_FLASHPACK_UPDATE_FLASH, JobPayload(std::make_unique<CJobOptions>(OptionsWithSectors(settings_))),
           device_);
  accept();
}

bool CFlashPackManagerDlg::event(QEvent* event) {
  if (event->type() != WindowMessageEvent::EventType()) return QDialog::event(event);
  platform::Message& message = static_cast<WindowMessageEvent*>(event)->message();
  if (forwarding_) {
    PostToTarget(PT_MAIN_WINDOW, std::move(message));
  } else {
    OnMessage(message);
  }
  return true;
}

void CFlashPackManagerDlg::OnMessage(platform::Message& message) {
  switch (message.number) {
    case WM_DEVICE_STATUS:
      OnDeviceStatus(message.Take<WM_DEVICE_STATUS>());
      break;
    case WM_FLASHPACK_REFRESH:
      FillList();
      break;
    default:
      break;
  }
}

void CFlashPackManagerDlg::OnDeviceStatus(std::unique_ptr<DeviceStatusRecord> status) {
  if (!status) return;
  if (status->device == device_ && status->error) {
    PostToTarget<WM_CANCEL_DEVICE>(PT_CORE, static_cast<platform::WParam>(device_));
    PostToTarget<WM_RESET_DEVICE_ROW>(PT_MAIN_WINDOW, static_cast<platform::WParam>(device_));
    PostLogLine("Error> " + GetErrorReason(status->error.get()));
    PostErrorPrompt();
    return;
  }
  if (status->device == device_ &&
      (status->eventCode == EVENT_STATUS_FLASHPACK_ADDED || status->eventCode == EVENT_STATUS_FLASHPACKS_REMOVED)) {
    FillList();
  }
  PostToTarget<WM_GRID_STATUS>(PT_MAIN_WINDOW, std::move(status));
}

void CFlashPackManagerDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CFlashPackManagerDlg::dropEvent(QDropEvent* event) {
  OnFilesDropped(event->mimeData()->urls());
  event->acceptProposedAction();
}

void CFlashPackManagerDlg::OnFilesDropped(const QList<QUrl>& urls) {
  for (const QUrl& url : urls) {
    const QString path = url.toLocalFile();
    if (path.isEmpty() || path.size() > kMaxDroppedPath) continue;
    AddFile(QString::fromStdString(ExpandShortcut(path.toStdString())));
  }
}

// The second window ends with the dialog: posts from now on fail, and what
// is still queued for it goes on to the main window.
void CFlashPackManagerDlg::StopTarget() {
  if (!target_) return;
  ClearSecondWindow();
  target_->Close();
  target_.reset();
  forwarding_ = true;
  QCoreApplication::sendPostedEvents(this, WindowMessageEvent::EventType());
}

void CFlashPackManagerDlg::done(int result) {
  StopTarget();
  QDialog::done(result);
}
