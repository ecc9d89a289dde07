#include "shell/ui/dialogs/orvix_options_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <climits>

#include "shell/ui/dialogs/dialog_input.h"

namespace {

constexpr int kChipSelectCount = 8;  // CSN0 to CSN7

struct ProgrammingChoice {
  const char* id;
  const char* label;
};
constexpr ProgrammingChoice kProgrammingChoices[] = {
    {"1062", "Erase &relevant sectors only"},
    {"1063", "Erase &whole chip"},
    {"1064", "&Update chip"},
};

}  // namespace

COrvixOptionsDlg::COrvixOptionsDlg(const OrvixOptionsDialogData& values, QWidget* parent)
    : QDialog(parent), values_(values) {
  setObjectName("orvixOptionsDialog");
  setWindowTitle("Orvix Options");
  BuildControls();
  ShowValues();
}

void COrvixOptionsDlg::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  auto* location = new QGroupBox("Flash location settings", this);
  auto* locationBox = new QVBoxLayout(location);
  enableChipSelection_ = new QCheckBox("&Enable chip selection", location);
  enableChipSelection_->setObjectName("1059");
  locationBox->addWidget(enableChipSelection_);
  auto* form = new QFormLayout;
  chipSelect_ = new QComboBox(location);
  chipSelect_->setObjectName("1060");
  for (int n = 0; n < kChipSelectCount; ++n) chipSelect_->addItem(QString("CSN%1").arg(n));
  chipOffset_ = new QLineEdit(location);
  chipOffset_->setObjectName("1061");
  form->addRow("Chip &select:", chipSelect_);
  form->addRow("Chip o&ffset:", chipOffset_);
  locationBox->addLayout(form);
  layout->addWidget(location);

  auto* options = new QGroupBox("Programming options", this);
  auto* optionsBox = new QVBoxLayout(options);
  programming_ = new QButtonGroup(this);
  int index = 0;
  for (const ProgrammingChoice& choice : kProgrammingChoices) {
    auto* button = new QRadioButton(choice.label, options);
    button->setObjectName(choice.id);
    programming_->addButton(button, index++);
    optionsBox->addWidget(button);
  }
  layout->addWidget(options);
  AddOkCancelRow(*this, *layout);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(enableChipSelection_, &QCheckBox::clicked, this, &COrvixOptionsDlg::OnChipSelectionClicked);
}

void COrvixOptionsDlg::ShowValues() {
  const bool on = values_.enableChipSelection != 0;
  enableChipSelection_->setChecked(on);
  chipSelect_->setEnabled(on);
  chipOffset_->setEnabled(on);
  const int select = values_.chipSelect;
  chipSelect_->setCurrentIndex(select >= 0 && select < kChipSelectCount ? select : -1);
  chipOffset_->setText(QString::number(values_.chipOffset));
  if (QAbstractButton* button = programming_->button(values_.programmingOption)) {
    button->setChecked(true);
  } else {
    programming_->setExclusive(false);
    for (QAbstractButton* b : programming_->buttons()) b->setChecked(false);
    programming_->setExclusive(true);
  }
}

void COrvixOptionsDlg::OnChipSelectionClicked(bool checked) {
  chipSelect_->setEnabled(checked);
  chipOffset_->setEnabled(checked);
}

void COrvixOptionsDlg::accept() {
  const auto offset = TakeInteger(*this, *chipOffset_, INT_MIN, INT_MAX);
  if (!offset) return;
  values_.enableChipSelection = enableChipSelection_->isChecked() ? 1 : 0;
  if (chipSelect_->currentIndex() >= 0) values_.chipSelect = chipSelect_->currentIndex();
  values_.chipOffset = static_cast<int>(*offset);
  if (programming_->checkedId() >= 0) values_.programmingOption = programming_->checkedId();
  QDialog::accept();
}
