#include "shell/ui/dialogs/orvix_reverse_flash_dlg.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "shell/config/decimal_text.h"
#include "shell/ui/dialogs/dialog_input.h"

namespace {

constexpr const char* kZeroAddress = "0x00000000";

QLineEdit* MakeField(QWidget* parent, const char* id, const QString& text) {
  auto* field = new QLineEdit(text, parent);
  field->setObjectName(id);
  return field;
}

}  // namespace

COrvixReverseFlashDlg::COrvixReverseFlashDlg(std::uint8_t recordLength, QWidget* parent) : QDialog(parent) {
  setObjectName("orvixReverseFlashDialog");
  setWindowTitle("GPS Chip Reverse Flash");
  values_ = {kZeroAddress, kZeroAddress, recordLength};
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  begin_ = MakeField(this, "1065", kZeroAddress);
  end_ = MakeField(this, "1066", kZeroAddress);
  recordLength_ = MakeField(this, "1067", QString::number(recordLength));
  form->addRow("&Begin address:", begin_);
  form->addRow("&End address:", end_);
  form->addRow("&Record length:", recordLength_);
  layout->addLayout(form);
  AddOkCancelRow(*this, *layout);
  // The dialog is as wide as its title needs, so the title bar shows it whole.
  layout->addStrut(TitleBarWidth(*this));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void COrvixReverseFlashDlg::accept() {
  // An address that is not a number would be read as 0.
  for (QLineEdit* address : {begin_, end_}) {
    if (!TakeAddress(*this, *address)) return;
  }
  const auto length = TakeInteger(*this, *recordLength_, 0, 255);
  if (!length) return;
  values_.beginAddress = begin_->text().toStdString();
  values_.endAddress = end_->text().toStdString();
  values_.recordLength = static_cast<std::uint8_t>(*length);
  QDialog::accept();
}
