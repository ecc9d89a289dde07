#pragma once
// "Erase Flash": which sectors to erase. Asked before the flash of an image,
// its title names the image ("Erase Flash - cp.s19"), so that a flash of
// several images tells their dialogs apart.

#include "shell/ui/dialogs/sector_dlg_base.h"

class CEraseFlashDlg : public CSectorDlgBase {
  Q_OBJECT
 public:
  explicit CEraseFlashDlg(SectorList sectors, QWidget* parent = nullptr);
  CEraseFlashDlg(SectorList sectors, const QString& image, QWidget* parent = nullptr);

  // "Erase Flash", with " - " and the image's name when there is one.
  static QString TitleFor(const QString& image);

 protected:
  // A BOOT sector among the chosen ones is erased only when the user says
  // so: without it the radio no longer starts.
  bool TakeFields() override;

 private:
  bool BootSectorChosen() const;
};
