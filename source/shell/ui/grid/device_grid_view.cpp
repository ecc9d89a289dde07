#include "shell/ui/grid/device_grid_view.h"

#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "shell/ui/progress/text_progress_ctrl.h"

namespace {

const QColor kNormalBackground(Qt::white);
const QColor kNormalBar(0, 0, 139);
const QColor kErrorBackground(139, 0, 0);
const QColor kErrorText(Qt::white);
constexpr int kEmptyLineRows = 2;

}  // namespace

struct CDeviceGridView::RowWidgets {
  QLabel* label = nullptr;
  QLabel* counts = nullptr;
  CTextProgressCtrl* progress = nullptr;
  QPushButton* cancel = nullptr;
  QPushButton* retry = nullptr;
  int cancelId = 0;
  int retryId = 0;
  // Where the row was last shown: its line and whether Retry takes room.
  int position = 0;
  bool progressNarrowed = false;

  ~RowWidgets() {
    delete label;
    delete counts;
    delete progress;
    delete cancel;
    delete retry;
  }
};

CDeviceGridView::CDeviceGridView(QWidget* parent) : QWidget(parent) {
  setObjectName("deviceGrid");
  emptyLine_ = new QLabel(this);
  emptyLine_->setObjectName("emptyGridLine");
  emptyLine_->setAlignment(Qt::AlignCenter);
  emptyLine_->setWordWrap(true);
  emptyLine_->hide();
  ResizeToRows();
}

void CDeviceGridView::SetEmptyText(const QString& text) {
  emptyLine_->setText(text);
  ResizeToRows();
}

QLabel* CDeviceGridView::EmptyLine() const { return emptyLine_->isVisibleTo(this) ? emptyLine_ : nullptr; }

void CDeviceGridView::PlaceEmptyLine() { emptyLine_->setGeometry(4, 0, std::max(0, width() - 8), height()); }

CDeviceGridView::~CDeviceGridView() { Clear(); }

void CDeviceGridView::Clear() {
  for (auto*& row : rows_) {
    delete row;
    row = nullptr;
  }
  ResizeToRows();
}

int CDeviceGridView::RowCount() const {
  int n = 0;
  for (const auto* row : rows_) n += row ? 1 : 0;
  return n;
}

void CDeviceGridView::SetRowMetrics(int minimumWidth, int rowHeight) {
  setMinimumWidth(minimumWidth);
  width_ = std::max(width(), minimumWidth);
  rowHeight_ = rowHeight;
  ResizeToRows();
}

// With no rows and a reason to say, the view keeps two rows' height for it,
// room for the line wrapped once in the narrowest window.
void CDeviceGridView::ResizeToRows() {
  const bool showEmptyLine = RowCount() == 0 && !emptyLine_->text().isEmpty();
  emptyLine_->setVisible(showEmptyLine);
  setFixedHeight(std::max(RowCount(), showEmptyLine ? kEmptyLineRows : 0) * rowHeight_);
  PlaceEmptyLine();
}

// A wider window stretches every row.
void CDeviceGridView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceEmptyLine();
  if (width() == width_) return;
  width_ = width();
  for (RowWidgets* row : rows_) {
    if (row) PlaceRow(*row);
  }
}

void CDeviceGridView::Sync(const DeviceGrid& grid, const std::set<int>& dirtyRows) {
  bool countChanged = false;
  for (int i = 0; i < kGridRowCount; ++i) {
    const DeviceRow& row = grid.Row(i);
    if (!row.HasControls()) {
      if (rows_[i]) {
        delete rows_[i];
        rows_[i] = nullptr;
        countChanged = true;
      }
      continue;
    }
    if (rows_[i] && rows_[i]->cancelId != row.cancelId) {
      // Another row took this slot since the last look.
      delete rows_[i];
      rows_[i] = nullptr;
    }
    if (!rows_[i]) {
      CreateRow(i, row);
      countChanged = true;
    }
  }
  if (countChanged) ResizeToRows();
  for (int i = 0; i < kGridRowCount; ++i) {
    if (rows_[i] && (countChanged || dirtyRows.count(i))) ShowRow(*rows_[i], grid.Row(i));
  }
}

void CDeviceGridView::CreateRow(int index, const DeviceRow& row) {
  auto* w = new RowWidgets;
  w->label = new QLabel(this);
  w->label->setAlignment(Qt::AlignCenter);
  w->label->setObjectName(QString("rowLabel%1").arg(index));
  w->counts = new QLabel(this);
  w->counts->setAlignment(Qt::AlignCenter);
  w->counts->setObjectName(QString("rowCounts%1").arg(index));
  w->progress = new CTextProgressCtrl(this);
  w->progress->setObjectName(QString("rowProgress%1").arg(index));
  // Retry stands left of Cancel, so Tab reaches it first.
  w->retry = new QPushButton("Retry", this);
  w->retry->setObjectName(QString("rowRetry%1").arg(index));
  w->cancel = new QPushButton("Cancel", this);
  w->cancel->setObjectName(QString("rowCancel%1").arg(index));
  w->cancelId = row.cancelId;
  w->retryId = row.retryId;
  for (QPushButton* b : {w->cancel, w->retry}) b->setAutoDefault(false);
  connect(w->cancel, &QPushButton::clicked, this, [this, id = row.cancelId] { emit RowButtonClicked(id); });
  connect(w->retry, &QPushButton::clicked, this, [this, id = row.retryId] { emit RowButtonClicked(id); });
  for (QWidget* c : std::initializer_list<QWidget*>{w->label, w->counts, w->progress, w->cancel, w->retry}) c->show();
  rows_[index] = w;
}

void CDeviceGridView::PlaceRow(RowWidgets& w) const {
  // Columns at fixed shares of the width, as the toolbar above them.
  const int W = width_;
  const int rowH = rowHeight_;
  const int x1 = static_cast<int>(0.17 * W);
  const int x2 = static_cast<int>(0.32 * W);
  const int xr = static_cast<int>(0.66 * W);
  const int x3 = static_cast<int>(0.83 * W);
  const int pad = static_cast<int>(0.1 * rowH);
  const int top = w.position * rowH;
  const int textTop = top + pad;
  const int textH = rowH - 2 * pad;

  w.label->setGeometry(0, textTop, x1, textH);
  w.counts->setGeometry(x1, textTop, x2 - x1, textH);
  const int progressRight = w.progressNarrowed ? xr : x3;
  w.progress->setGeometry(x2, textTop, progressRight - x2 - pad, textH);
  w.cancel->setGeometry(x3, top + 1, W - x3 - 2, rowH - 2);
  w.retry->setGeometry(xr, top + 1, x3 - xr - 2, rowH - 2);
}

void CDeviceGridView::ShowRow(RowWidgets& w, const DeviceRow& row) {
  w.position = row.position;
  w.progressNarrowed = row.progressNarrowed;
  PlaceRow(w);
  w.label->setText(QString::fromStdString(row.label));
  w.counts->setText(QString::fromStdString(row.counts));
  w.retry->setVisible(row.retryShown);
  w.retry->setEnabled(row.retryEnabled);
  w.cancel->setText(QString::fromStdString(row.cancelText));
  w.cancel->setEnabled(row.cancelEnabled);

  if (row.errorColours) {
    w.progress->SetBgColour(kErrorBackground);
    w.progress->SetTextColour(kErrorText);
    w.progress->SetBarColour(kNormalBar);
    w.progress->SetTextBkColour(kErrorText);
  } else {
    w.progress->SetBgColour(kNormalBackground);
    w.progress->SetTextColour(kNormalBar);
    w.progress->SetBarColour(kNormalBar);
    w.progress->SetTextBkColour(kNormalBackground);
  }
  w.progress->SetText(QString::fromStdString(row.progressText));
  w.progress->SetPos(row.percent);
  w.progress->update();

  const QString tip = row.tooltipsSet ? QString::fromStdString(row.tooltip) : QString();
  for (QWidget* c : std::initializer_list<QWidget*>{w.progress, w.cancel, w.retry}) c->setToolTip(tip);
}

CTextProgressCtrl* CDeviceGridView::Progress(int row) const { return rows_[row] ? rows_[row]->progress : nullptr; }
QPushButton* CDeviceGridView::CancelButton(int row) const { return rows_[row] ? rows_[row]->cancel : nullptr; }
QPushButton* CDeviceGridView::RetryButton(int row) const { return rows_[row] ? rows_[row]->retry : nullptr; }
QLabel* CDeviceGridView::Label(int row) const { return rows_[row] ? rows_[row]->label : nullptr; }
QLabel* CDeviceGridView::Counts(int row) const { return rows_[row] ? rows_[row]->counts : nullptr; }
