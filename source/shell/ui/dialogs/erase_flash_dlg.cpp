#include "shell/ui/dialogs/erase_flash_dlg.h"

CEraseFlashDlg::CEraseFlashDlg(SectorList sectors, QWidget* parent)
    : CSectorDlgBase("Erase Flash", "1029", "1028", std::move(sectors), parent) {
  setObjectName("eraseFlashDialog");
  FinishLayout();
}
