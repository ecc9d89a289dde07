// The erase and reverse-flash sector dialogs, opened through their prompt
// kinds: type list in first-seen order, selection by type, double click,
// the start address, refused record lengths, OK and Cancel, and the
// window's minimum size.

#include <QTimer>

#include "dialog_test_support.h"
#include "engine/core/app_settings.h"
#include "shell/ui/dialogs/shell_dialogs.h"

using dialogtest::Click;
using dialogtest::Control;

namespace {

SectorList ThreeTypes() {
  SectorList list;
  list.sectors = {{0x00010000, 0x10000, "CODE", 0},
                  {0x00020000, 0x10000, "CODE", 1},
                  {0x00ABC000, 0x4000, "CODEPLUG", 0},
                  {0x00030000, 0x10000, "CODE", 0},
                  {0x00ABD000, 0x4000, "CODEPLUG", 0},
                  {0x00F00000, 0x1000, "code", 0}};
  list.magicKeyPartition = "ALWAYS";
  list.processorName = "HARROW";
  return list;
}

struct SectorDialogKind {
  const char* name;
  PromptKind kind;
  int typeListId;
  int sectorListId;
};

class SectorDialogTest : public ::testing::TestWithParam<SectorDialogKind> {
 protected:
  void SetUp() override {
    call.kind = GetParam().kind;
    if (call.kind == PROMPT_ERASE_SECTORS) {
      call.dialog = EraseSectorsDialogData{ThreeTypes(), ThreeTypes()};
    } else {
      call.dialog = ReverseFlashDialogData{ThreeTypes(), "", 21, ThreeTypes()};
    }
    dialog.reset(ShellDialogFor(call.kind, settings)(nullptr, call));
    dialog->show();
    types = Control<QComboBox>(*dialog, GetParam().typeListId);
    sectors = Control<QListWidget>(*dialog, GetParam().sectorListId);
  }

  SectorList Chosen() const {
    if (auto* erase = std::get_if<EraseSectorsDialogData>(&call.dialog)) return erase->chosen;
    return std::get<ReverseFlashDialogData>(call.dialog).chosen;
  }
  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < sectors->count(); ++row) {
      if (sectors->item(row)->isSelected()) rows.push_back(row);
    }
    return rows;
  }
  void ChooseType(const QString& text) {
    const int index = types->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    types->setCurrentIndex(index);
    emit types->activated(index);
  }

  CAppSettings settings;
  PromptCall call;
  std::unique_ptr<QDialog> dialog;
  QComboBox* types = nullptr;
  QListWidget* sectors = nullptr;
};

TEST_P(SectorDialogTest, ListsTypesInFirstSeenOrderAndOneLinePerSector) {
  QStringList typeTexts;
  for (int i = 0; i < types->count(); ++i) typeTexts << types->itemText(i);
  EXPECT_EQ(typeTexts, QStringList({"CODE", "CODEPLUG", "code"}));
  ASSERT_EQ(sectors->count(), 6);
  EXPECT_EQ(sectors->item(0)->text(), "0 - 0x00010000 (CODE)");
  EXPECT_EQ(sectors->item(2)->text(), "2 - 0x00ABC000 (CODEPLUG)");
  EXPECT_EQ(sectors->item(5)->text(), "5 - 0x00F00000 (code)");
  EXPECT_TRUE(SelectedRows().empty());
}

TEST_P(SectorDialogTest, ChoosingATypeSelectsExactlyItsSectors) {
  sectors->item(0)->setSelected(true);
  ChooseType("CODEPLUG");
  EXPECT_EQ(SelectedRows(), (std::vector<int>{2, 4}));
  ChooseType("code");  // the type name is compared exactly
  EXPECT_EQ(SelectedRows(), (std::vector<int>{5}));
}

TEST_P(SectorDialogTest, DoubleClickSelectsEveryLine) {
  QTest::mouseDClick(sectors->viewport(), Qt::LeftButton, {}, sectors->visualItemRect(sectors->item(1)).center());
  EXPECT_EQ(SelectedRows().size(), 6u);
}

TEST_P(SectorDialogTest, FocusOnTheSectorListClearsTheTypeChoice) {
  ChooseType("CODE");
  QFocusEvent focusIn(QEvent::FocusIn);
  QApplication::sendEvent(sectors, &focusIn);
  EXPECT_EQ(types->currentIndex(), -1);
}

TEST_P(SectorDialogTest, OkSetsTheSelectedFlagsOfTheChosenLines) {
  ChooseType("CODEPLUG");
  Click(*dialog, 1);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  const SectorList chosen = Chosen();
  ASSERT_EQ(chosen.sectors.size(), 6u);
  std::vector<std::uint32_t> flags;
  for (const SectorEntry& s : chosen.sectors) flags.push_back(s.selected);
  EXPECT_EQ(flags, (std::vector<std::uint32_t>{0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(chosen.magicKeyPartition, "ALWAYS");
  EXPECT_EQ(chosen.processorName, "HARROW");
}

TEST_P(SectorDialogTest, OkWithNothingSelectedClearsEveryFlag) {
  Click(*dialog, 1);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  for (const SectorEntry& s : Chosen().sectors) EXPECT_EQ(s.selected, 0u);
}

TEST_P(SectorDialogTest, CancelLeavesTheAskersSelection) {
  ChooseType("CODEPLUG");
  Click(*dialog, 2);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(Chosen(), ThreeTypes());
}

TEST_P(SectorDialogTest, GrowsWithTheWindowButNeverBelowItsOpeningSize) {
  const QSize opening = dialog->size();
  EXPECT_EQ(dialog->minimumSize(), opening);
  const int listHeight = sectors->height();
  auto* ok = Control<QPushButton>(*dialog, 1);
  const QPoint okFromCorner = QPoint(dialog->width(), dialog->height()) - ok->geometry().topLeft();
  dialog->resize(opening + QSize(200, 150));
  QApplication::processEvents();
  EXPECT_GT(sectors->height(), listHeight);
  EXPECT_EQ(QPoint(dialog->width(), dialog->height()) - ok->geometry().topLeft(), okFromCorner);
  dialog->resize(opening - QSize(100, 100));
  EXPECT_EQ(dialog->size(), opening);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SectorDialogTest,
                         ::testing::Values(SectorDialogKind{"Erase", PROMPT_ERASE_SECTORS, 1029, 1028},
                                           SectorDialogKind{"Reverse", PROMPT_REVERSE_FLASH_SECTORS, 1052, 1053}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the reverse-flash dialog's own fields ---------------------------------

class ReverseFlashDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.SetAppInt(APP_INT_REVERSE_FLASH_RECORD_LENGTH, 32);
    call.kind = PROMPT_REVERSE_FLASH_SECTORS;
    call.dialog = ReverseFlashDialogData{ThreeTypes(), "", 21, ThreeTypes()};
    dialog.reset(ShellDialogFor(call.kind, settings)(nullptr, call));
    dialog->show();
    types = Control<QComboBox>(*dialog, 1052);
    sectors = Control<QListWidget>(*dialog, 1053);
    start = Control<QLineEdit>(*dialog, 1055);
    length = Control<QLineEdit>(*dialog, 1056);
  }
  const ReverseFlashDialogData& Data() const { return std::get<ReverseFlashDialogData>(call.dialog); }

  CAppSettings settings;
  PromptCall call;
  std::unique_ptr<QDialog> dialog;
  QComboBox* types = nullptr;
  QListWidget* sectors = nullptr;
  QLineEdit* start = nullptr;
  QLineEdit* length = nullptr;
};

TEST_F(ReverseFlashDialogTest, OpensWithTheStoredRecordLengthAndNoStartAddress) {
  EXPECT_EQ(length->text(), "32");
  EXPECT_EQ(start->text(), "");
  EXPECT_EQ(dialog->windowTitle(), "Reverse Flash");
}

TEST_F(ReverseFlashDialogTest, StartAddressFollowsTheFirstSelectedSector) {
  const int codeplug = types->findText("CODEPLUG");
  types->setCurrentIndex(codeplug);
  emit types->activated(codeplug);
  EXPECT_EQ(start->text(), "0x00ABC000");
  sectors->clearSelection();  // nothing selected: the address stays
  EXPECT_EQ(start->text(), "0x00ABC000");
  sectors->item(3)->setSelected(true);
  EXPECT_EQ(start->text(), "0x00030000");
  QTest::mouseDClick(sectors->viewport(), Qt::LeftButton, {}, sectors->visualItemRect(sectors->item(4)).center());
  EXPECT_EQ(start->text(), "0x00010000");
}

TEST_F(ReverseFlashDialogTest, OkHandsOverTheAddressTextAndRecordLength) {
  sectors->item(1)->setSelected(true);
  start->setText("0x20000");
  length->setText("255");
  Click(*dialog, 1);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(Data().startAddress, "0x20000");
  EXPECT_EQ(Data().recordLength, 255);
  EXPECT_EQ(Data().chosen.sectors[1].selected, 1u);
}

TEST_F(ReverseFlashDialogTest, RefusesRecordLengthsOutsideAByte) {
  for (const char* text : {"300", "256", "-1", "abc", ""}) {
    SCOPED_TRACE(text);
    length->setText(text);
    Click(*dialog, 1);
    EXPECT_TRUE(dialog->isVisible());
    QMessageBox* box = dialogtest::RefusalBox(*dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Please enter an integer between 0 and 255.");
    box->accept();
  }
  EXPECT_EQ(Data().recordLength, 21);
  EXPECT_EQ(Data().startAddress, "");
}

// Flash Software asks once per image of the update with auto erase off; the
// title tells the dialogs apart.
TEST(EraseFlashTitle, NamesTheImageWhoseFlashAsks) {
  CAppSettings settings;
  for (const auto& [image, title] : {std::pair<std::string, QString>{"cp.s19", "Erase Flash - cp.s19"},
                                     std::pair<std::string, QString>{"", "Erase Flash"}}) {
    PromptCall call;
    call.kind = PROMPT_ERASE_SECTORS;
    call.dialog = EraseSectorsDialogData{ThreeTypes(), ThreeTypes(), image};
    std::unique_ptr<QDialog> dialog(ShellDialogFor(call.kind, settings)(nullptr, call));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), title);
  }
}

// ---- a BOOT sector is erased only when the user says so -------------------

class EraseBootSectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SectorList list;
    list.sectors = {{0x00000000, 0x8000, "BOOT", 0}, {0x00010000, 0x10000, "CODE", 0}};
    call.kind = PROMPT_ERASE_SECTORS;
    call.dialog = EraseSectorsDialogData{list, list};
    dialog.reset(ShellDialogFor(call.kind, settings)(nullptr, call));
    dialog->show();
    sectors = Control<QListWidget>(*dialog, 1028);
  }
  // Presses OK; the BOOT question, when it comes, is answered with the
  // button of that text (its text, its default and the buttons are noted).
  void PressOkAnswering(const QString& answer) {
    auto* poll = new QTimer(dialog.get());
    QObject::connect(poll, &QTimer::timeout, poll, [this, poll, answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || box->objectName() != "bootSectorQuestion") return;
      poll->stop();
      question = box->text();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      if (box->defaultButton() != nullptr) defaultButton = box->defaultButton()->text();
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == answer) b->click();
      }
    });
    poll->start(10);
    Click(*dialog, 1);
    poll->stop();
  }

  CAppSettings settings;
  PromptCall call;
  std::unique_ptr<QDialog> dialog;
  QListWidget* sectors = nullptr;
  QString question;
  QStringList buttons;
  QString defaultButton;
};

TEST_F(EraseBootSectorTest, ListsTheTypeOfEachSector) {
  EXPECT_EQ(sectors->item(0)->text(), "0 - 0x00000000 (BOOT)");
  EXPECT_EQ(sectors->item(1)->text(), "1 - 0x00010000 (CODE)");
}

TEST_F(EraseBootSectorTest, CancelOfTheQuestionKeepsTheDialogOpenAndErasesNothing) {
  sectors->item(0)->setSelected(true);
  PressOkAnswering("Cancel");
  EXPECT_TRUE(question.startsWith("Erase the BOOT sector?"));
  EXPECT_EQ(defaultButton, "Cancel");
  EXPECT_EQ(buttons, QStringList({"&Erase BOOT Sector", "Cancel"}));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(std::get<EraseSectorsDialogData>(call.dialog).chosen.sectors[0].selected, 0u);
}

TEST_F(EraseBootSectorTest, ItsEraseButtonChoosesTheBootSector) {
  sectors->item(0)->setSelected(true);
  PressOkAnswering("&Erase BOOT Sector");
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(std::get<EraseSectorsDialogData>(call.dialog).chosen.sectors[0].selected, 1u);
}

TEST_F(EraseBootSectorTest, OtherSectorsAskNothing) {
  sectors->item(1)->setSelected(true);
  PressOkAnswering("Cancel");
  EXPECT_TRUE(question.isEmpty());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

}  // namespace
