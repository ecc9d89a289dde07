// The sector and GPS-chip dialogs from the keyboard: every label, check box
// and radio button has a mnemonic, no two of one dialog share a letter, and
// Alt and a label's letter reaches its field. The GPS chip's read-back
// dialog is wide enough for its title.

#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>
#include <set>

#include "dialog_test_support.h"
#include "engine/core/app_settings.h"
#include "shell/ui/dialogs/shell_dialogs.h"

using dialogtest::Control;

namespace {

SectorList TwoSectors() {
  SectorList list;
  list.sectors = {{0x00000000, 0x10000, "BOOT", 0}, {0x00010000, 0x10000, "CODE", 0}};
  return list;
}

struct KeysCase {
  const char* name;
  PromptKind kind;
  Qt::Key key;    // a label's letter
  int field;      // the control it reaches
  int texts;      // labels, check boxes and radio buttons of the dialog
};

class DialogKeys : public ::testing::TestWithParam<KeysCase> {
 protected:
  void SetUp() override {
    call.kind = GetParam().kind;
    switch (call.kind) {
      case PROMPT_ERASE_SECTORS: call.dialog = EraseSectorsDialogData{TwoSectors(), TwoSectors()}; break;
      case PROMPT_REVERSE_FLASH_SECTORS:
        call.dialog = ReverseFlashDialogData{TwoSectors(), "", 21, TwoSectors()};
        break;
      case PROMPT_ORVIX_OPTIONS: call.dialog = OrvixOptionsDialogData{}; break;
      default: call.dialog = OrvixReverseFlashDialogData{}; break;
    }
    dialog.reset(ShellDialogFor(call.kind, settings)(nullptr, call));
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  }

  CAppSettings settings;
  PromptCall call;
  std::unique_ptr<QDialog> dialog;
};

TEST_P(DialogKeys, EveryTextHasALetterOfItsOwn) {
  const dialogtest::MnemonicCount count = dialogtest::CountMnemonics(*dialog);
  EXPECT_EQ(count.texts, GetParam().texts);
  EXPECT_EQ(count.letters, count.texts);
}

TEST_P(DialogKeys, AltAndALabelsLetterReachesItsField) {
  QWidget* field = Control<QWidget>(*dialog, GetParam().field);
  ASSERT_NE(field, nullptr);
  QTest::keyClick(dialog.get(), GetParam().key, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 5000));
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogKeys,
                         ::testing::Values(KeysCase{"Erase", PROMPT_ERASE_SECTORS, Qt::Key_S, 1028, 2},
                                           KeysCase{"ReverseFlash", PROMPT_REVERSE_FLASH_SECTORS, Qt::Key_A, 1055, 4},
                                           KeysCase{"GpsChipOptions", PROMPT_ORVIX_OPTIONS, Qt::Key_W, 1063, 6},
                                           KeysCase{"GpsChipReverseFlash", PROMPT_ORVIX_REVERSE_FLASH, Qt::Key_E,
                                                    1066, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GpsChipReverseFlashDialog, IsWideEnoughForItsTitle) {
  CAppSettings settings;
  PromptCall call;
  call.kind = PROMPT_ORVIX_REVERSE_FLASH;
  call.dialog = OrvixReverseFlashDialogData{};
  std::unique_ptr<QDialog> dialog(ShellDialogFor(call.kind, settings)(nullptr, call));
  dialog->show();
  ASSERT_EQ(dialog->windowTitle(), "GPS Chip Reverse Flash");
  QFont bold = dialog->font();
  bold.setBold(true);
  // The title bar holds an icon and three buttons beside the title.
  EXPECT_GE(dialog->width(), QFontMetrics(bold).horizontalAdvance(dialog->windowTitle()) + 3 * 20 + 20);
}

}  // namespace
