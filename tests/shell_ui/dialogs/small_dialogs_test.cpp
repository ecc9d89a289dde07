// About, the hyperlink text and the file dialog.

#include <QEnterEvent>
#include <QTimer>

#include <functional>

#include "dialog_test_support.h"
#include "engine/core/app_settings.h"
#include "shell/ui/dialogs/about_dlg.h"
#include "shell/ui/dialogs/app_file_dialog.h"
#include "shell/ui/dialogs/hyperlink_label.h"
#include "shell/ui/dialogs/shell_dialogs.h"

namespace {

TEST(AboutDialogTest, ShowsTheProductAndFirmwareLines) {
  CAppSettings settings;
  PromptCall call;
  call.kind = PROMPT_ABOUT;
  call.dialog = AboutDialogData{};
  std::unique_ptr<QDialog> dialog(ShellDialogFor(PROMPT_ABOUT, settings)(nullptr, call));
  auto* about = qobject_cast<CAboutDlg*>(dialog.get());
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->Text(1075), "Vexa20 Flash R02.00");
  // The program's licence is MIT: the notice says so, not "All rights reserved."
  EXPECT_EQ(about->Text(1076), "Flashing suite for Vexa20 radios. Free software under the MIT License.");
  EXPECT_EQ(about->Text(1077), "Firmware Version R5E.06.00");
  for (int id : {1078, 1079, 1080, 1085, 1084, 1081, 1082, 1083}) EXPECT_TRUE(about->Text(id).isEmpty()) << id;
  EXPECT_NE(qobject_cast<CHyperlinkLabel*>(dialog->findChild<QLabel*>("1101")), nullptr);
}

void Hover(QWidget* widget, bool inside) {
  if (inside) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &enter);
  } else {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
  }
}

TEST(HyperlinkTest, UnderlinedOnlyWhileThePointerIsInside) {
  CHyperlinkLabel link("page");
  EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 192));
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_FALSE(link.IsUnderlined());
  Hover(&link, true);
  EXPECT_TRUE(link.IsUnderlined());
  Hover(&link, false);
  EXPECT_FALSE(link.IsUnderlined());
}

TEST(HyperlinkTest, MakeHyperlinkGivesAPlainLabelTheSameLook) {
  EXPECT_FALSE(MakeHyperlink(nullptr));
  QLabel label("page");
  ASSERT_TRUE(MakeHyperlink(&label));
  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 192));
  Hover(&label, true);
  EXPECT_TRUE(label.font().underline());
  Hover(&label, false);
  EXPECT_FALSE(label.font().underline());
}

struct FilterCase {
  const char* given;
  QStringList converted;
};

class FileDialogFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FileDialogFilterTest, ConvertsTheProgramsFilterForQt) {
  EXPECT_EQ(CAppFileDialog::ConvertFilter(GetParam().given), GetParam().converted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileDialogFilterTest,
    ::testing::Values(
        FilterCase{"Data files (*.s19;*.bin)|*.s19;*.bin|All Files (*.*)|*.*||",
                   {"Data files (*.s19 *.bin)", "All Files (*)"}},
        FilterCase{"Quillon Product files (*.qlp)|*.qlp|All files|*.*||",
                   {"Quillon Product files (*.qlp)", "All files (*)"}},
        FilterCase{"Scripts|*.txt", {"Scripts (*.txt)"}}, FilterCase{"", {}}, FilterCase{"||", {}}));

// Waits for the file dialog to be shown as the modal window, then answers
// it; the check runs from the dialog's own event loop.
void WhenModalShown(const std::function<void(QFileDialog&)>& act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    auto* modal = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(*modal);
  });
  timer->start();
}

TEST(FileDialogTest, CancelAnswersTwoAndEnablesTheOwnerAgain) {
  QWidget owner;
  owner.show();
  CAppFileDialog dialog(CAppFileDialog::Mode::Open, "s19", {}, "Data files (*.s19)|*.s19||", &owner);
  bool ownerDisabledWhileOpen = false;
  WhenModalShown([&](QFileDialog& modal) {
    ownerDisabledWhileOpen = !owner.isEnabled() && modal.isEnabled();
    modal.reject();
  });
  EXPECT_EQ(dialog.DoModal(), 2);
  EXPECT_TRUE(ownerDisabledWhileOpen);
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_TRUE(dialog.GetPathName().isEmpty());
}

}  // namespace
