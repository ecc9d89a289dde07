#pragma once
// The "Options" dialog: communication settings, the remote-control port and
// the preferences. It reads the shared settings when it opens and writes
// them back when OK is pressed; Cancel changes nothing.

#include <QDialog>

class CAppSettings;
class QCheckBox;
class QComboBox;
class QLineEdit;

class COptionsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit COptionsDlg(CAppSettings& settings, QWidget* parent = nullptr);

  void accept() override;

 private:
  bool RemotePortAvailable(long long port);
  void BuildControls();
  void ReadSettings();
  void OnProtocolChanged(int index);
  void OnSmartFlashingClicked(bool checked);
  void SetSerialListsEnabled(bool enabled);
  // Writes the list's index as the option unless the list shows no entry
  // (a stored value that fits no entry is kept as it is).
  void WriteListOption(int id, const QComboBox* list);
  void PostPortChange();

  CAppSettings& settings_;
  int portAtOpening_ = 0;

  QComboBox* protocol_ = nullptr;
  QComboBox* serialPort_ = nullptr;
  QComboBox* dataRate_ = nullptr;
  QComboBox* serialCard_ = nullptr;
  QLineEdit* remotePort_ = nullptr;
  QCheckBox* overrideChecksum_ = nullptr;
  QCheckBox* autoErase_ = nullptr;
  QCheckBox* autoMagicKey_ = nullptr;
  QCheckBox* remoteControl_ = nullptr;
  QCheckBox* alwaysOnTop_ = nullptr;
  QCheckBox* smartFlashing_ = nullptr;
};
