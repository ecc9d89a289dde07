#include "shell/ui/dialogs/dialog_input.h"

#include <QBoxLayout>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QFont>
#include <QFontMetrics>
#include <QPushButton>
#include <QString>

#include <climits>

#include "shell/config/decimal_text.h"

QString IntegerRangeText(long long low, long long high) {
  return QString("Please enter an integer between %1 and %2.").arg(low).arg(high);
}

QString HexAddress(unsigned int address) {
  return "0x" + QString("%1").arg(address, 8, 16, QChar('0')).toUpper();
}

void AddOkCancelRow(QDialog& dialog, QBoxLayout& layout, const QString& okText) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  auto* ok = new QPushButton(okText, &dialog);
  ok->setObjectName("1");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", &dialog);
  cancel->setObjectName("2");
  row->addWidget(ok);
  row->addWidget(cancel);
  layout.addLayout(row);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
}

int TitleBarWidth(const QWidget& window) {
  constexpr int kIconAndButtons = 160;
  QFont bold = window.font();
  bold.setBold(true);
  return QFontMetrics(bold).horizontalAdvance(window.windowTitle()) + kIconAndButtons;
}

void RefuseField(QDialog& dialog, QLineEdit& field, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, dialog.windowTitle(), text, QMessageBox::Ok, &dialog);
  box->setObjectName("inputRefused");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
  field.setFocus();
  field.selectAll();
}

namespace {

void Refuse(QDialog& dialog, QLineEdit& field, const QString& text) { RefuseField(dialog, field, text); }

}  // namespace

std::optional<long long> TakeInteger(QDialog& dialog, QLineEdit& field, long long low, long long high) {
  bool ok = false;
  const long long value = field.text().trimmed().toLongLong(&ok, 10);
  const bool anyInt = low <= INT_MIN && high >= INT_MAX;
  if (!ok || value < low || value > high) {
    Refuse(dialog, field, anyInt ? QString(kEnterIntegerText) : IntegerRangeText(low, high));
    return std::nullopt;
  }
  return value;
}

std::optional<long long> TakeBoundedInteger(QDialog& dialog, QLineEdit& field, long long low, long long high) {
  bool ok = false;
  const long long value = field.text().trimmed().toLongLong(&ok, 10);
  if (!ok) {
    Refuse(dialog, field, kEnterIntegerText);
    return std::nullopt;
  }
  if (value < low || value > high) {
    Refuse(dialog, field, IntegerRangeText(low, high));
    return std::nullopt;
  }
  return value;
}

bool TakeAddress(QDialog& dialog, QLineEdit& field) {
  if (ParseAddressText(field.text().toStdString())) return true;
  Refuse(dialog, field, kEnterAddressText);
  return false;
}
