#include "shell/ui/dialogs/erase_flash_dlg.h"

CEraseFlashDlg::CEraseFlashDlg(SectorList sectors, QWidget* parent) : CEraseFlashDlg(std::move(sectors), {}, parent) {}

CEraseFlashDlg::CEraseFlashDlg(SectorList sectors, const QString& image, QWidget* parent)
    : CSectorDlgBase(TitleFor(image), "1029", "1028", std::move(sectors), parent) {
  setObjectName("eraseFlashDialog");
  FinishLayout();
}

QString CEraseFlashDlg::TitleFor(const QString& image) {
  return image.isEmpty() ? QString("Erase Flash") : QString("Erase Flash - %1").arg(image);
}
