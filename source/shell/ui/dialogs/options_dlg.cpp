#include "shell/ui/dialogs/options_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "engine/core/app_settings.h"
#include "engine/core/device_number.h"
#include "platform/tcp_socket.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/ui/dialogs/dialog_input.h"

namespace {

constexpr int kSerialPortCount = 18;  // COM1 to COM18
// A TCP port the remote-control server can listen on.
constexpr int kLowestRemotePort = 1;
constexpr int kHighestRemotePort = 65535;

QComboBox* MakeList(QWidget* parent, const char* id, const QStringList& entries) {
  auto* list = new QComboBox(parent);
  list->setObjectName(id);
  list->addItems(entries);
  return list;
}

QCheckBox* MakeCheck(QWidget* parent, const char* id, const char* label) {
  auto* box = new QCheckBox(label, parent);
  box->setObjectName(id);
  return box;
}

// The list entry for a stored value; none (-1) when it fits no entry.
void SelectEntry(QComboBox* list, int value) { list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1); }

}  // namespace

COptionsDlg::COptionsDlg(CAppSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName("optionsDialog");
  setWindowTitle("Options");
  BuildControls();
  ReadSettings();
}

// Every label and check box has a mnemonic of its own (Alt+letter); a
// label's mnemonic moves the focus to its list or field.
void COptionsDlg::BuildControls() {
  auto* layout = new QVBoxLayout(this);

  auto* comm = new QGroupBox("Communication settings", this);
  auto* commForm = new QFormLayout(comm);
  protocol_ = MakeList(comm, "1023", {"RS232", "USB"});
  QStringList ports;
  for (int n = 1; n <= kSerialPortCount; ++n) ports << QString("COM%1").arg(n);
  serialPort_ = MakeList(comm, "1017", ports);
  dataRate_ = MakeList(comm, "1019", {"115200", "230400", "460800"});
  serialCard_ = MakeList(comm, "1099", {"1X (Default)", "2X", "4X"});
  commForm->addRow("&Protocol:", protocol_);
  commForm->addRow("&Serial port:", serialPort_);
  commForm->addRow("&Data rate (bps):", dataRate_);
  commForm->addRow("Serial &Card:", serialCard_);
  layout->addWidget(comm);

  auto* remote = new QGroupBox("Remote control settings", this);
  auto* remoteForm = new QFormLayout(remote);
  remotePort_ = new QLineEdit(remote);
  remotePort_->setObjectName("1056");
  remoteForm->addRow("Port &Number:", remotePort_);
  layout->addWidget(remote);

  auto* prefs = new QGroupBox("Preferences", this);
  auto* prefsBox = new QVBoxLayout(prefs);
  overrideChecksum_ = MakeCheck(prefs, "1020", "&Override S-record checksum validation");
  autoErase_ = MakeCheck(prefs, "1021", "Auto &erase flash memory");
  autoMagicKey_ = MakeCheck(prefs, "1022", "Auto program &Magic Key");
  remoteControl_ = MakeCheck(prefs, "1055", "Enable &remote control");
  alwaysOnTop_ = MakeCheck(prefs, "1087", "Always on &top");
  smartFlashing_ = MakeCheck(prefs, "1088", "Enable Smart &Flashing");
  for (QCheckBox* box : {overrideChecksum_, autoErase_, autoMagicKey_, remoteControl_, alwaysOnTop_, smartFlashing_}) {
    prefsBox->addWidget(box);
  }
  layout->addWidget(prefs);

  AddOkCancelRow(*this, *layout);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(protocol_, &QComboBox::currentIndexChanged, this, &COptionsDlg::OnProtocolChanged);
  connect(smartFlashing_, &QCheckBox::clicked, this, &COptionsDlg::OnSmartFlashingClicked);
}

void COptionsDlg::ReadSettings() {
  portAtOpening_ = settings_.GetIntParam(OPTION_SERIAL_PORT);
  remotePort_->setText(QString::number(settings_.GetIntParam(OPTION_REMOTE_PORT)));
  overrideChecksum_->setChecked(settings_.GetIntParam(OPTION_OVERRIDE_CHECKSUM) != 0);
  autoErase_->setChecked(settings_.GetIntParam(OPTION_AUTO_ERASE_FLASH) != 0);
  autoMagicKey_->setChecked(settings_.GetIntParam(OPTION_AUTO_PROGRAM_MAGIC_KEY) != 0);
  remoteControl_->setChecked(settings_.GetIntParam(OPTION_ENABLE_REMOTE_CONTROL) != 0);
  alwaysOnTop_->setChecked(settings_.GetIntParam(OPTION_ALWAYS_ON_TOP) != 0);
  smartFlashing_->setChecked(settings_.GetIntParam(OPTION_ENABLE_SMART_FLASHING) != 0);

  const bool usbAvailable = settings_.GetAppInt(APP_INT_USB_AVAILABLE) != 0;
  {
    const QSignalBlocker quiet(protocol_);
    SelectEntry(protocol_, usbAvailable ? settings_.GetIntParam(OPTION_COMM_PROTOCOL) : 0);
  }
  protocol_->setEnabled(usbAvailable);
  SetSerialListsEnabled(!(usbAvailable && settings_.GetIntParam(OPTION_COMM_PROTOCOL) == 1));
  autoErase_->setEnabled(!smartFlashing_->isChecked());

  SelectEntry(serialPort_, portAtOpening_);
  SelectEntry(dataRate_, settings_.GetIntParam(OPTION_DATA_RATE));
  SelectEntry(serialCard_, settings_.GetIntParam(OPTION_DATA_RATE_DIVISOR));
}

void COptionsDlg::SetSerialListsEnabled(bool enabled) {
  serialPort_->setEnabled(enabled);
  dataRate_->setEnabled(enabled);
  serialCard_->setEnabled(enabled);
}

void COptionsDlg::OnProtocolChanged(int index) { SetSerialListsEnabled(index == 0); }

void COptionsDlg::OnSmartFlashingClicked(bool checked) {
  if (checked) autoErase_->setChecked(true);
  autoErase_->setEnabled(!checked);
}

void COptionsDlg::WriteListOption(int id, const QComboBox* list) {
  if (list->currentIndex() >= 0) settings_.SetIntParam(id, list->currentIndex());
}

// A new remote port that another program holds would be saved and shown
// though remote control cannot listen on it: it is refused here, and the
// port in use stays in the field.
bool COptionsDlg::RemotePortAvailable(long long port) {
  const int now = settings_.GetIntParam(OPTION_REMOTE_PORT);
  if (port == now) return true;
  int error = 0;
  const platform::TcpListener probe = platform::TcpListener::Listen(
      static_cast<std::uint16_t>(port), 1, &error, settings_.GetAppString(APP_STRING_REMOTE_ADDRESS));
  if (probe.Valid()) return true;
  remotePort_->setText(QString::number(now));
  RefuseField(*this, *remotePort_,
              QString("Port %1 is in use by another program; remote control stays on port %2.").arg(port).arg(now));
  return false;
}

void COptionsDlg::accept() {
  const auto port = TakeBoundedInteger(*this, *remotePort_, kLowestRemotePort, kHighestRemotePort);
  if (!port) return;
  if (!RemotePortAvailable(*port)) return;
  settings_.SetIntParam(OPTION_REMOTE_PORT, static_cast<int>(*port));
  settings_.SetIntParam(OPTION_OVERRIDE_CHECKSUM, overrideChecksum_->isChecked() ? 1 : 0);
  settings_.SetIntParam(OPTION_AUTO_ERASE_FLASH, autoErase_->isChecked() ? 1 : 0);
  settings_.SetIntParam(OPTION_AUTO_PROGRAM_MAGIC_KEY, autoMagicKey_->isChecked() ? 1 : 0);
  settings_.SetIntParam(OPTION_ENABLE_REMOTE_CONTROL, remoteControl_->isChecked() ? 1 : 0);
  WriteListOption(OPTION_COMM_PROTOCOL, protocol_);
  WriteListOption(OPTION_SERIAL_PORT, serialPort_);
  WriteListOption(OPTION_DATA_RATE, dataRate_);
  WriteListOption(OPTION_DATA_RATE_DIVISOR, serialCard_);
  settings_.SetIntParam(OPTION_ALWAYS_ON_TOP, alwaysOnTop_->isChecked() ? 1 : 0);
  settings_.SetIntParam(OPTION_ENABLE_SMART_FLASHING, smartFlashing_->isChecked() ? 1 : 0);
  PostPortChange();
  QDialog::accept();
}

// The status grid drops the row of the port that was set at opening and,
// in RS232 mode, shows the port now set. A port number outside the COM
// range names no device and is not posted.
void COptionsDlg::PostPortChange() {
  const DeviceNumber before = DEVICE_FIRST_COM + portAtOpening_;
  if (IsSerialDevice(before)) PostToTarget<WM_DEVICE_REMOVED>(PT_MAIN_WINDOW, static_cast<platform::WParam>(before));
  if (settings_.GetIntParam(OPTION_COMM_PROTOCOL) != 0) return;
  const DeviceNumber now = DEVICE_FIRST_COM + settings_.GetIntParam(OPTION_SERIAL_PORT);
  if (IsSerialDevice(now)) PostToTarget<WM_DEVICE_ATTACHED>(PT_MAIN_WINDOW, static_cast<platform::WParam>(now), 1);
}
