#pragma once
// "About": the program's name and release, a notice line, the firmware
// version, and a link to the product's page on the support server.

#include <QDialog>

#include <array>

class QLabel;

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kProductLine = "Vexa20 Flash R02.00";
  static constexpr const char* kNoticeLine = "Flashing suite for Vexa20 radios. Free software under the MIT License.";
  static constexpr const char* kFirmwareLine = "Firmware Version R5E.06.00";
  static constexpr const char* kProductPage = "http://support.quillon.invalid/vexa20_flash.html";

  explicit CAboutDlg(QWidget* parent = nullptr);

  // The text with the control id; empty for an id the dialog does not have.
  QString Text(int id) const;

 signals:
  // The product page was asked for (a click on the link); the dialog has
  // already handed it to the desktop.
  void linkOpened(const QString& address);

 private:
  static constexpr std::array<int, 12> kTextIds{1075, 1076, 1077, 1078, 1079, 1080,
                                                1085, 1084, 1081, 1082, 1083, 1101};
  std::array<QLabel*, 12> texts_{};
};
