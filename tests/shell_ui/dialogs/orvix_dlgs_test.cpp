// The GPS-chip options and read-back dialogs through their prompt kinds.

#include <QButtonGroup>
#include <QRadioButton>

#include "dialog_test_support.h"
#include "engine/core/app_settings.h"
#include "shell/ui/dialogs/shell_dialogs.h"

using dialogtest::Click;
using dialogtest::Control;

namespace {

class OrvixOptionsDialogTest : public ::testing::Test {
 protected:
  void Open(OrvixOptionsDialogData given) {
    call.kind = PROMPT_ORVIX_OPTIONS;
    call.dialog = given;
    dialog.reset(ShellDialogFor(call.kind, settings)(nullptr, call));
    dialog->show();
  }
  const OrvixOptionsDialogData& Data() const { return std::get<OrvixOptionsDialogData>(call.dialog); }

  CAppSettings settings;
  PromptCall call;
  std::unique_ptr<QDialog> dialog;
};

TEST_F(OrvixOptionsDialogTest, ChipSelectionOffGreysTheLocationUntilChecked) {
  Open({0, 3, 4096, 1});
  auto* select = Control<QComboBox>(*dialog, 1060);
  auto* offset = Control<QLineEdit>(*dialog, 1061);
  EXPECT_FALSE(select->isEnabled());
  EXPECT_FALSE(offset->isEnabled());
  EXPECT_EQ(select->currentText(), "CSN3");
  EXPECT_EQ(offset->text(), "4096");
  EXPECT_TRUE(Control<QRadioButton>(*dialog, 1063)->isChecked());
  Click(*dialog, 1059);
  EXPECT_TRUE(select->isEnabled());
  EXPECT_TRUE(offset->isEnabled());
  Click(*dialog, 1059);
  EXPECT_FALSE(select->isEnabled());
}

TEST_F(OrvixOptionsDialogTest, ChipSelectionOnOpensUsable) {
  Open({1, 0, 0, 0});
  EXPECT_TRUE(Control<QComboBox>(*dialog, 1060)->isEnabled());
  EXPECT_TRUE(Control<QLineEdit>(*dialog, 1061)->isEnabled());
  EXPECT_TRUE(Control<QRadioButton>(*dialog, 1062)->isChecked());
}

TEST_F(OrvixOptionsDialogTest, OkHandsOverTheChosenValues) {
  Open({0, 0, 0, 0});
  Click(*dialog, 1059);
  Control<QComboBox>(*dialog, 1060)->setCurrentIndex(7);
  Control<QLineEdit>(*dialog, 1061)->setText("-65536");
  Click(*dialog, 1064);
  Click(*dialog, 1);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(Data().enableChipSelection, 1);
  EXPECT_EQ(Data().chipSelect, 7);
  EXPECT_EQ(Data().chipOffset, -65536);
  EXPECT_EQ(Data().programmingOption, 2);
}

TEST_F(OrvixOptionsDialogTest, OkKeepsValuesThatFitNoEntry) {
  Open({1, 12, 5, -1});
  EXPECT_EQ(Control<QComboBox>(*dialog, 1060)->currentIndex(), -1);
  for (int id : {1062, 1063, 1064}) EXPECT_FALSE(Control<QRadioButton>(*dialog, id)->isChecked()) << id;
  Click(*dialog, 1);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(Data().chipSelect, 12);
  EXPECT_EQ(Data().programmingOption, -1);
}

TEST_F(OrvixOptionsDialogTest, RefusesAnOffsetThatIsNoIntegerAndCancelKeepsTheGivenValues) {
  Open({1, 2, 10, 0});
  Control<QLineEdit>(*dialog, 1061)->setText("0x10");
  Click(*dialog, 1);
  EXPECT_TRUE(dialog->isVisible());
  QMessageBox* box = dialogtest::RefusalBox(*dialog);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Please enter an integer.");
  box->accept();
  Click(*dialog, 1063);
  Click(*dialog, 2);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(Data().chipOffset, 10);
  EXPECT_EQ(Data().programmingOption, 0);
}

class OrvixReverseFlashDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.SetAppInt(APP_INT_ORVIX_RECORD_LENGTH, 37);
    call.kind = PROMPT_ORVIX_REVERSE_FLASH;
    call.dialog = OrvixReverseFlashDialogData{};
    dialog.reset(ShellDialogFor(call.kind, settings)(nullptr, call));
    dialog->show();
  }
  const OrvixReverseFlashDialogData& Data() const { return std::get<OrvixReverseFlashDialogData>(call.dialog); }

  CAppSettings settings;
  PromptCall call;
  std::unique_ptr<QDialog> dialog;
};

TEST_F(OrvixReverseFlashDialogTest, OpensWithZeroAddressesAndTheStoredRecordLength) {
  EXPECT_EQ(Control<QLineEdit>(*dialog, 1065)->text(), "0x00000000");
  EXPECT_EQ(Control<QLineEdit>(*dialog, 1066)->text(), "0x00000000");
  EXPECT_EQ(Control<QLineEdit>(*dialog, 1067)->text(), "37");
}

TEST_F(OrvixReverseFlashDialogTest, OkHandsOverTheAddressesAsTyped) {
  Control<QLineEdit>(*dialog, 1065)->setText("0x1000");
  Control<QLineEdit>(*dialog, 1066)->setText("65535");
  Control<QLineEdit>(*dialog, 1067)->setText("0");
  Click(*dialog, 1);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(Data().beginAddress, "0x1000");
  EXPECT_EQ(Data().endAddress, "65535");
  EXPECT_EQ(Data().recordLength, 0);
}

TEST_F(OrvixReverseFlashDialogTest, RefusesARecordLengthAboveAByte) {
  Control<QLineEdit>(*dialog, 1065)->setText("0x1000");
  Control<QLineEdit>(*dialog, 1067)->setText("256");
  Click(*dialog, 1);
  EXPECT_TRUE(dialog->isVisible());
  ASSERT_NE(dialogtest::RefusalBox(*dialog), nullptr);
  dialogtest::RefusalBox(*dialog)->accept();
  Click(*dialog, 2);
  EXPECT_EQ(Data().beginAddress, "");
  EXPECT_EQ(Data().recordLength, 21);
}

TEST_F(OrvixReverseFlashDialogTest, TheTitleNamesTheGpsChip) {
  EXPECT_EQ(dialog->windowTitle(), "GPS Chip Reverse Flash");
}

struct BadAddressCase {
  int field;
  const char* text;
};

class OrvixReverseFlashBadAddress : public OrvixReverseFlashDialogTest,
                                    public ::testing::WithParamInterface<BadAddressCase> {};

// "zzz" would be read back from address 0: the dialog stays open instead.
TEST_P(OrvixReverseFlashBadAddress, IsRefusedWithTheFieldSelected) {
  auto* field = Control<QLineEdit>(*dialog, GetParam().field);
  field->setText(GetParam().text);
  Click(*dialog, 1);
  EXPECT_TRUE(dialog->isVisible());
  QMessageBox* box = dialogtest::RefusalBox(*dialog);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Please enter an address: a number, hexadecimal after 0x.");
  EXPECT_EQ(field->selectedText(), field->text());
  box->accept();
  Click(*dialog, 2);
  EXPECT_EQ(Data().beginAddress, "");
}

INSTANTIATE_TEST_SUITE_P(Texts, OrvixReverseFlashBadAddress,
                         ::testing::Values(BadAddressCase{1065, "zzz"}, BadAddressCase{1066, "zzz"},
                                           BadAddressCase{1065, ""}, BadAddressCase{1066, "0x12G4"},
                                           BadAddressCase{1065, "100 00"}));

}  // namespace
