#pragma once
// "Reverse Flash": which sectors to read back, with the start address and
// the record length of the S-record file written.

#include <cstdint>
#include <string>

#include "shell/ui/dialogs/sector_dlg_base.h"

class QLineEdit;

class CReverseFlashDlg : public CSectorDlgBase {
  Q_OBJECT
 public:
  CReverseFlashDlg(SectorList sectors, std::uint8_t recordLength, QWidget* parent = nullptr);

  std::string StartAddress() const { return startAddressText_; }
  std::uint8_t RecordLength() const { return recordLength_; }

 protected:
  bool TakeFields() override;
  void OnTypeChosenDone() override;
  void OnAllSelected() override;
  void OnSelectionChanged() override;

 private:
  void ShowAddressOf(int sector);

  QLineEdit* startAddress_ = nullptr;
  QLineEdit* recordLengthField_ = nullptr;
  std::string startAddressText_;
  std::uint8_t recordLength_ = 0;
};
