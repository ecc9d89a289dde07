#pragma once
// "GPS Chip Reverse Flash": the address range to read back and the record
// length of the S-record file. The address texts go out as typed, once each
// is a number (decimal, 0x hex or a leading 0 octal).

#include <QDialog>

#include "shell/prompt/prompt_call.h"

class QLineEdit;

class COrvixReverseFlashDlg : public QDialog {
  Q_OBJECT
 public:
  COrvixReverseFlashDlg(std::uint8_t recordLength, QWidget* parent = nullptr);

  OrvixReverseFlashDialogData Values() const { return values_; }

  void accept() override;

 private:
  OrvixReverseFlashDialogData values_;
  QLineEdit* begin_ = nullptr;
  QLineEdit* end_ = nullptr;
  QLineEdit* recordLength_ = nullptr;
};
