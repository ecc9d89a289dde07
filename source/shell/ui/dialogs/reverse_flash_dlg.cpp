#include "shell/ui/dialogs/reverse_flash_dlg.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "shell/ui/dialogs/dialog_input.h"

CReverseFlashDlg::CReverseFlashDlg(SectorList sectors, std::uint8_t recordLength, QWidget* parent)
    : CSectorDlgBase("Reverse Flash", "1052", "1053", std::move(sectors), parent), recordLength_(recordLength) {
  setObjectName("reverseFlashDialog");
  auto* form = new QFormLayout;
  startAddress_ = new QLineEdit(this);
  startAddress_->setObjectName("1055");
  recordLengthField_ = new QLineEdit(QString::number(recordLength), this);
  recordLengthField_->setObjectName("1056");
  form->addRow("S19 Start &Address", startAddress_);
  form->addRow("&Record length:", recordLengthField_);
  FieldsLayout()->addLayout(form);
  FinishLayout();
}

void CReverseFlashDlg::ShowAddressOf(int sector) {
  if (sector < 0 || static_cast<std::size_t>(sector) >= Sectors().sectors.size()) return;
  startAddress_->setText(HexAddress(Sectors().sectors[static_cast<std::size_t>(sector)].address));
}

void CReverseFlashDlg::OnTypeChosenDone() { ShowAddressOf(FirstSelected()); }
void CReverseFlashDlg::OnAllSelected() { ShowAddressOf(0); }
void CReverseFlashDlg::OnSelectionChanged() { ShowAddressOf(FirstSelected()); }

bool CReverseFlashDlg::TakeFields() {
  const auto length = TakeInteger(*this, *recordLengthField_, 0, 255);
  if (!length) return false;
  recordLength_ = static_cast<std::uint8_t>(*length);
  startAddressText_ = startAddress_->text().toStdString();
  return true;
}
