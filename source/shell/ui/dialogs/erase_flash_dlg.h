#pragma once
// "Erase Flash": which sectors to erase.

#include "shell/ui/dialogs/sector_dlg_base.h"

class CEraseFlashDlg : public CSectorDlgBase {
  Q_OBJECT
 public:
  explicit CEraseFlashDlg(SectorList sectors, QWidget* parent = nullptr);
};
