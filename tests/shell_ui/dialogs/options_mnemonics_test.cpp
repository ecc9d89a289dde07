// The Options dialog from the keyboard: every label and check box has a
// mnemonic of its own; Alt and a label's letter puts the focus on its list
// or field, Alt and a check box's letter toggles it.

#include <QLabel>
#include <set>

#include "dialog_test_support.h"
#include "engine/core/app_settings.h"
#include "shell/ui/dialogs/shell_dialogs.h"

using dialogtest::Control;

namespace {

struct MnemonicCase {
  Qt::Key key;
  int control;
};

class OptionsMnemonics : public ::testing::TestWithParam<MnemonicCase> {
 protected:
  void SetUp() override {
    settings.SetAppInt(APP_INT_USB_AVAILABLE, 1);
    settings.SetIntParam(OPTION_COMM_PROTOCOL, 0);
    settings.SetIntParam(OPTION_ENABLE_SMART_FLASHING, 0);
    call.kind = PROMPT_OPTIONS;
    call.dialog = OptionsDialogData{&settings};
    dialog.reset(ShellDialogFor(PROMPT_OPTIONS, settings)(nullptr, call));
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  }

  CAppSettings settings;
  PromptCall call;
  dialogtest::MainWindowQueue mainWindow;
  std::unique_ptr<QDialog> dialog;
};

TEST_P(OptionsMnemonics, ReachesItsControl) {
  QWidget* control = dialog->findChild<QWidget*>(QString::number(GetParam().control));
  ASSERT_NE(control, nullptr);
  auto* box = qobject_cast<QCheckBox*>(control);
  const bool checkedBefore = box != nullptr && box->isChecked();
  QTest::keyClick(dialog.get(), GetParam().key, Qt::AltModifier);
  if (box != nullptr) {
    // A button's mnemonic clicks it the animated way, a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->isChecked() != checkedBefore; }, 5000));
  } else {
    EXPECT_TRUE(control->hasFocus());
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, OptionsMnemonics,
                         ::testing::Values(MnemonicCase{Qt::Key_P, 1023}, MnemonicCase{Qt::Key_S, 1017},
                                           MnemonicCase{Qt::Key_D, 1019}, MnemonicCase{Qt::Key_C, 1099},
                                           MnemonicCase{Qt::Key_N, 1056}, MnemonicCase{Qt::Key_O, 1020},
                                           MnemonicCase{Qt::Key_E, 1021}, MnemonicCase{Qt::Key_M, 1022},
                                           MnemonicCase{Qt::Key_R, 1055}, MnemonicCase{Qt::Key_T, 1087},
                                           MnemonicCase{Qt::Key_F, 1088}),
                         [](const auto& info) { return std::to_string(info.param.control); });

TEST_F(OptionsMnemonics, NoTwoLabelsShareALetter) {
  const dialogtest::MnemonicCount count = dialogtest::CountMnemonics(*dialog);
  EXPECT_EQ(count.texts, 11);
  EXPECT_EQ(count.letters, count.texts);
}

}  // namespace
