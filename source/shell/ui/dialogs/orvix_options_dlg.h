#pragma once
// "Orvix Options": where in the GPS chip's flash an image goes and how the
// chip is erased. Values in, values out: options 15 to 18.

#include <QDialog>

#include "shell/prompt/prompt_call.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

class COrvixOptionsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit COrvixOptionsDlg(const OrvixOptionsDialogData& values, QWidget* parent = nullptr);

  // The values as OK took them; a chip select or programming option that
  // fitted no entry keeps its given value.
  OrvixOptionsDialogData Values() const { return values_; }

  void accept() override;

 private:
  void BuildControls();
  void ShowValues();
  void OnChipSelectionClicked(bool checked);

  OrvixOptionsDialogData values_;
  QCheckBox* enableChipSelection_ = nullptr;
  QComboBox* chipSelect_ = nullptr;
  QLineEdit* chipOffset_ = nullptr;
  QButtonGroup* programming_ = nullptr;
};
