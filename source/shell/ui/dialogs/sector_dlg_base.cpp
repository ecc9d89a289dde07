#include "shell/ui/dialogs/sector_dlg_base.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QShowEvent>
#include <QVBoxLayout>

#include "shell/ui/dialogs/dialog_input.h"

CSectorDlgBase::CSectorDlgBase(const QString& title, const char* typeListId, const char* sectorListId,
                               SectorList sectors, QWidget* parent)
    : QDialog(parent), sectors_(std::move(sectors)) {
  setWindowTitle(title);
  setSizeGripEnabled(true);
  layout_ = new QVBoxLayout(this);
  auto* typeRow = new QFormLayout;
  typeList_ = new QComboBox(this);
  typeList_->setObjectName(typeListId);
  typeRow->addRow("Sector &type:", typeList_);
  layout_->addLayout(typeRow);
  auto* sectorsLabel = new QLabel("&Sectors:", this);
  layout_->addWidget(sectorsLabel);
  sectorList_ = new QListWidget(this);
  sectorsLabel->setBuddy(sectorList_);
  sectorList_->setObjectName(sectorListId);
  sectorList_->setSelectionMode(QAbstractItemView::MultiSelection);
  sectorList_->installEventFilter(this);
  sectorList_->viewport()->installEventFilter(this);
  layout_->addWidget(sectorList_, 1);
  fields_ = new QVBoxLayout;
  layout_->addLayout(fields_);
  FillLists();

  connect(typeList_, &QComboBox::activated, this, &CSectorDlgBase::OnTypeChosen);
  connect(sectorList_, &QListWidget::itemSelectionChanged, this, [this] { OnSelectionChanged(); });
}

// "3 - 0x00030000 (CODE)": the sector's number, its address and its type.
QString CSectorDlgBase::SectorLine(int index, const SectorEntry& sector) {
  return QString("%1 - %2 (%3)").arg(index).arg(HexAddress(sector.address), QString::fromStdString(sector.name));
}

bool CSectorDlgBase::IsRowSelected(int row) const {
  const QListWidgetItem* item = sectorList_->item(row);
  return item != nullptr && item->isSelected();
}

void CSectorDlgBase::FinishLayout() { AddOkCancelRow(*this, *layout_); }

void CSectorDlgBase::FillLists() {
  const QSignalBlocker quietTypes(typeList_);
  const QSignalBlocker quietSectors(sectorList_);
  typeList_->clear();
  sectorList_->clear();
  for (std::size_t i = 0; i < sectors_.sectors.size(); ++i) {
    const SectorEntry& sector = sectors_.sectors[i];
    const QString type = QString::fromStdString(sector.name);
    if (typeList_->findText(type, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) typeList_->addItem(type);
    sectorList_->addItem(SectorLine(static_cast<int>(i), sector));
  }
  typeList_->setCurrentIndex(-1);
}

void CSectorDlgBase::OnTypeChosen(int index) {
  if (index < 0) return;
  const std::string type = typeList_->itemText(index).toStdString();
  {
    const QSignalBlocker quiet(sectorList_);
    sectorList_->clearSelection();
    for (int row = 0; row < sectorList_->count(); ++row) {
      if (sectors_.sectors[static_cast<std::size_t>(row)].name == type) sectorList_->item(row)->setSelected(true);
    }
  }
  const int first = FirstSelected();
  if (first >= 0) sectorList_->scrollToItem(sectorList_->item(first), QAbstractItemView::PositionAtTop);
  OnTypeChosenDone();
}

void CSectorDlgBase::SelectAll() {
  {
    const QSignalBlocker quiet(sectorList_);
    sectorList_->selectAll();
  }
  OnAllSelected();
}

int CSectorDlgBase::FirstSelected() const {
  for (int row = 0; row < sectorList_->count(); ++row) {
    if (sectorList_->item(row)->isSelected()) return row;
  }
  return -1;
}

bool CSectorDlgBase::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sectorList_ && event->type() == QEvent::FocusIn) {
    const QSignalBlocker quiet(typeList_);
    typeList_->setCurrentIndex(-1);
  }
  if (watched == sectorList_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    SelectAll();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CSectorDlgBase::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (sizedOnce_) return;
  sizedOnce_ = true;
  setMinimumSize(size());
}

void CSectorDlgBase::accept() {
  if (!TakeFields()) return;
  for (int row = 0; row < sectorList_->count(); ++row) {
    sectors_.sectors[static_cast<std::size_t>(row)].selected = sectorList_->item(row)->isSelected() ? 1 : 0;
  }
  QDialog::accept();
}
