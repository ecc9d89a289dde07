#include "shell/ui/dialogs/erase_flash_dlg.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

constexpr const char* kBootQuestion =
    "Erase the BOOT sector?\nThe radio does not start again until a boot loader is flashed into it.";

}  // namespace

CEraseFlashDlg::CEraseFlashDlg(SectorList sectors, QWidget* parent) : CEraseFlashDlg(std::move(sectors), {}, parent) {}

CEraseFlashDlg::CEraseFlashDlg(SectorList sectors, const QString& image, QWidget* parent)
    : CSectorDlgBase(TitleFor(image), "1029", "1028", std::move(sectors), parent) {
  setObjectName("eraseFlashDialog");
  FinishLayout();
}

bool CEraseFlashDlg::BootSectorChosen() const {
  const std::vector<SectorEntry>& sectors = Sectors().sectors;
  for (std::size_t row = 0; row < sectors.size(); ++row) {
    const bool boot = QString::fromStdString(sectors[row].name).compare("BOOT", Qt::CaseInsensitive) == 0;
    if (boot && IsRowSelected(static_cast<int>(row))) return true;
  }
  return false;
}

bool CEraseFlashDlg::TakeFields() {
  if (!BootSectorChosen()) return true;
  QMessageBox question(QMessageBox::Warning, windowTitle(), kBootQuestion, QMessageBox::NoButton, this);
  question.setObjectName("bootSectorQuestion");
  QPushButton* erase = question.addButton("&Erase BOOT Sector", QMessageBox::AcceptRole);
  QPushButton* keep = question.addButton("Cancel", QMessageBox::RejectRole);
  question.setDefaultButton(keep);
  question.setEscapeButton(keep);
  question.exec();
  return question.clickedButton() == erase;
}

QString CEraseFlashDlg::TitleFor(const QString& image) {
  return image.isEmpty() ? QString("Erase Flash") : QString("Erase Flash - %1").arg(image);
}
