// The Options dialog: what it shows at opening, what its controls enable,
// what OK writes and posts to the main window, and Cancel.

#include "shell/ui/dialogs/options_dlg.h"

#include "dialog_test_support.h"
#include "platform/tcp_socket.h"
#include "engine/core/app_settings.h"
#include "engine/core/device_number.h"
#include "shell/ui/dialogs/shell_dialogs.h"

using dialogtest::Click;
using dialogtest::Control;
using Posted = dialogtest::MainWindowQueue::Posted;

namespace {

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.SetAppInt(APP_INT_USB_AVAILABLE, 1);
    // The remote port the configuration gives when it names none.
    settings.SetIntParam(OPTION_REMOTE_PORT, 4000);
  }

  // Opens the dialog the way the prompt service does for the Options kind.
  std::unique_ptr<QDialog> Open() {
    call.kind = PROMPT_OPTIONS;
    call.dialog = OptionsDialogData{&settings};
    std::unique_ptr<QDialog> dialog(ShellDialogFor(PROMPT_OPTIONS, settings)(nullptr, call));
    dialog->show();
    return dialog;
  }

  CAppSettings settings;
  PromptCall call;
  dialogtest::MainWindowQueue mainWindow;
};

struct OpeningCase {
  const char* name;
  int usbAvailable;
  int protocol;
  int smartFlashing;
  bool protocolEnabled;
  bool serialListsEnabled;
  bool autoEraseEnabled;
  int shownProtocol;
};

class OptionsOpeningTest : public OptionsDialogTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(OptionsOpeningTest, EnablesControlsFromTheStoredOptions) {
  const OpeningCase& c = GetParam();
  settings.SetAppInt(APP_INT_USB_AVAILABLE, c.usbAvailable);
  settings.SetIntParam(OPTION_COMM_PROTOCOL, c.protocol);
  settings.SetIntParam(OPTION_ENABLE_SMART_FLASHING, c.smartFlashing);
  auto dialog = Open();
  EXPECT_EQ(Control<QComboBox>(*dialog, 1023)->isEnabled(), c.protocolEnabled);
  EXPECT_EQ(Control<QComboBox>(*dialog, 1023)->currentIndex(), c.shownProtocol);
  for (int id : {1017, 1019, 1099}) EXPECT_EQ(Control<QComboBox>(*dialog, id)->isEnabled(), c.serialListsEnabled) << id;
  EXPECT_EQ(Control<QCheckBox>(*dialog, 1021)->isEnabled(), c.autoEraseEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsOpeningTest,
    ::testing::Values(OpeningCase{"Rs232", 1, 0, 0, true, true, true, 0},
                      OpeningCase{"UsbProtocol", 1, 1, 0, true, false, true, 1},
                      OpeningCase{"UsbUnavailable", 0, 1, 0, false, true, true, 0},
                      OpeningCase{"SmartFlashing", 1, 0, 1, true, true, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsDialogTest, ShowsTheStoredValues) {
  settings.SetIntParam(OPTION_SERIAL_PORT, 4);
  settings.SetIntParam(OPTION_DATA_RATE, 2);
  settings.SetIntParam(OPTION_DATA_RATE_DIVISOR, 1);
  settings.SetIntParam(OPTION_REMOTE_PORT, 5012);
  settings.SetIntParam(OPTION_AUTO_PROGRAM_MAGIC_KEY, 1);
  auto dialog = Open();
  EXPECT_EQ(Control<QComboBox>(*dialog, 1017)->currentText(), "COM5");
  EXPECT_EQ(Control<QComboBox>(*dialog, 1019)->currentText(), "460800");
  EXPECT_EQ(Control<QComboBox>(*dialog, 1099)->currentText(), "2X");
  EXPECT_EQ(Control<QLineEdit>(*dialog, 1056)->text(), "5012");
  EXPECT_TRUE(Control<QCheckBox>(*dialog, 1022)->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(*dialog, 1020)->isChecked());
}

TEST_F(OptionsDialogTest, ChoosingTheProtocolEnablesTheSerialLists) {
  auto dialog = Open();
  auto* protocol = Control<QComboBox>(*dialog, 1023);
  protocol->setCurrentIndex(1);
  EXPECT_FALSE(Control<QComboBox>(*dialog, 1017)->isEnabled());
  EXPECT_FALSE(Control<QComboBox>(*dialog, 1099)->isEnabled());
  protocol->setCurrentIndex(0);
  EXPECT_TRUE(Control<QComboBox>(*dialog, 1017)->isEnabled());
  EXPECT_TRUE(Control<QComboBox>(*dialog, 1019)->isEnabled());
}

TEST_F(OptionsDialogTest, SmartFlashingForcesAutoEraseOnAndOkStoresIt) {
  settings.SetIntParam(OPTION_AUTO_ERASE_FLASH, 0);
  auto dialog = Open();
  auto* autoErase = Control<QCheckBox>(*dialog, 1021);
  Click(*dialog, 1088);
  EXPECT_TRUE(autoErase->isChecked());
  EXPECT_FALSE(autoErase->isEnabled());
  Click(*dialog, 1088);  // off again: usable, still checked
  EXPECT_TRUE(autoErase->isEnabled());
  EXPECT_TRUE(autoErase->isChecked());
  Click(*dialog, 1088);
  Click(*dialog, 1);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(settings.GetIntParam(OPTION_AUTO_ERASE_FLASH), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_ENABLE_SMART_FLASHING), 1);
}

TEST_F(OptionsDialogTest, OkWritesEveryOption) {
  auto dialog = Open();
  Control<QComboBox>(*dialog, 1019)->setCurrentIndex(1);
  Control<QComboBox>(*dialog, 1099)->setCurrentIndex(2);
  Control<QLineEdit>(*dialog, 1056)->setText("6001");
  for (int id : {1020, 1022, 1055, 1087}) Click(*dialog, id);
  Click(*dialog, 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_DATA_RATE), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_BAUD_RATE), 230400);
  EXPECT_EQ(settings.GetIntParam(OPTION_DATA_RATE_DIVISOR), 2);
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 6001);
  for (int id : {OPTION_OVERRIDE_CHECKSUM, OPTION_AUTO_PROGRAM_MAGIC_KEY, OPTION_ENABLE_REMOTE_CONTROL,
                 OPTION_ALWAYS_ON_TOP}) {
    EXPECT_EQ(settings.GetIntParam(id), 1) << id;
  }
}

struct PortChangeCase {
  const char* name;
  int protocol;
  std::vector<Posted> posted;
};

class OptionsPortChangeTest : public OptionsDialogTest, public ::testing::WithParamInterface<PortChangeCase> {};

TEST_P(OptionsPortChangeTest, MovesTheGridRowToTheNewPort) {
  settings.SetIntParam(OPTION_SERIAL_PORT, 0);
  auto dialog = Open();
  Control<QComboBox>(*dialog, 1017)->setCurrentIndex(2);
  Control<QComboBox>(*dialog, 1023)->setCurrentIndex(GetParam().protocol);
  Click(*dialog, 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_SERIAL_PORT), 2);
  EXPECT_EQ(settings.GetStringParam(OPTION_SERIAL_DEVICE_PATH), "\\\\.\\COM3");
  EXPECT_EQ(mainWindow.Taken(), GetParam().posted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsPortChangeTest,
    ::testing::Values(PortChangeCase{"Rs232", 0, {{WM_DEVICE_REMOVED, 127, 0}, {WM_DEVICE_ATTACHED, 129, 1}}},
                      PortChangeCase{"Usb", 1, {{WM_DEVICE_REMOVED, 127, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsDialogTest, CancelChangesNothingAndPostsNothing) {
  settings.SetIntParam(OPTION_SERIAL_PORT, 0);
  const JobOptionValues before = settings.CopyParams();
  auto dialog = Open();
  Control<QComboBox>(*dialog, 1017)->setCurrentIndex(5);
  Control<QComboBox>(*dialog, 1023)->setCurrentIndex(1);
  Click(*dialog, 1088);
  Control<QLineEdit>(*dialog, 1056)->setText("1");
  Click(*dialog, 2);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(settings.CopyParams(), before);
  EXPECT_TRUE(mainWindow.Taken().empty());
}

// A hand-edited configuration may hold values that fit no list entry; OK
// keeps them instead of storing "no entry".
TEST_F(OptionsDialogTest, OkKeepsValuesThatFitNoListEntry) {
  settings.SetIntParam(OPTION_COMM_PROTOCOL, 0);
  settings.SetIntParam(OPTION_SERIAL_PORT, 30);
  auto dialog = Open();
  EXPECT_EQ(Control<QComboBox>(*dialog, 1017)->currentIndex(), -1);
  Click(*dialog, 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_SERIAL_PORT), 30);
  EXPECT_EQ(settings.GetIntParam(OPTION_COMM_PROTOCOL), 0);
  // Port 31 names no device: nothing reaches the grid for it.
  EXPECT_TRUE(mainWindow.Taken().empty());
}

TEST_F(OptionsDialogTest, RefusesAPortNumberThatIsNoInteger) {
  settings.SetIntParam(OPTION_REMOTE_PORT, 4000);
  auto dialog = Open();
  Control<QLineEdit>(*dialog, 1056)->setText("40x");
  Click(*dialog, 1);
  EXPECT_TRUE(dialog->isVisible());
  QMessageBox* box = dialogtest::RefusalBox(*dialog);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Please enter an integer.");
  box->accept();
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4000);
  EXPECT_TRUE(mainWindow.Taken().empty());
}

// A remote port that another program holds is refused: the setting and the
// field keep the port in use, and the dialog stays open.
TEST_F(OptionsDialogTest, RefusesARemotePortThatIsInUseAndKeepsTheOldOne) {
  settings.SetIntParam(OPTION_REMOTE_PORT, 4000);
  int error = 0;
  const platform::TcpListener taken = platform::TcpListener::Listen(0, 1, &error);
  ASSERT_TRUE(taken.Valid());
  auto dialog = Open();
  Control<QLineEdit>(*dialog, 1056)->setText(QString::number(taken.Port()));
  Click(*dialog, 1);
  EXPECT_TRUE(dialog->isVisible());
  QMessageBox* box = dialogtest::RefusalBox(*dialog);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(),
            QString("Port %1 is in use by another program; remote control stays on port 4000.").arg(taken.Port()));
  box->accept();
  EXPECT_EQ(Control<QLineEdit>(*dialog, 1056)->text(), "4000");
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4000);
  EXPECT_TRUE(mainWindow.Taken().empty());
}

TEST_F(OptionsDialogTest, RefusesAPortNumberOutsideTheTcpPorts) {
  settings.SetIntParam(OPTION_REMOTE_PORT, 4000);
  auto dialog = Open();
  for (const char* text : {"0", "65536", "-4000", "99999999999"}) {
    SCOPED_TRACE(text);
    Control<QLineEdit>(*dialog, 1056)->setText(text);
    Click(*dialog, 1);
    EXPECT_TRUE(dialog->isVisible());
    QMessageBox* box = dialogtest::RefusalBox(*dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Please enter an integer between 1 and 65535.");
    box->accept();
  }
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4000);
  EXPECT_TRUE(mainWindow.Taken().empty());
  for (const char* text : {"1", "65535"}) {
    auto again = Open();
    Control<QLineEdit>(*again, 1056)->setText(text);
    Click(*again, 1);
    EXPECT_EQ(again->result(), QDialog::Accepted) << text;
    EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), std::stoi(text));
  }
}

}  // namespace
