#pragma once
// "FlashPack Manager": the flashpacks found in a radio after an extract,
// with add, delete and Update Flash as jobs for the core thread on that one
// device. While it is open it is the second window: status records of the
// main window come here on the GUI thread, in order; its own device's errors
// stop the device's queue and show the error box, everything else goes on to
// the grid. Messages still queued when it closes go on to the main window.
//
// It holds a share of the device's pack set, so an extract that replaces
// the set, or a job that changes it, cannot free it under the dialog (the
// set takes its own lock for every read).

#include <QDialog>
#include <QList>
#include <QUrl>

#include <memory>
#include <optional>

#include "engine/core/device_number.h"
#include "platform/message.h"

class CAppSettings;
class CPackManager;
class GuiWindowTarget;
class QLabel;
class QListWidget;
class QTreeWidget;

namespace lumbrapack {
struct PackRecord;
}

// The row texts of one pack.
struct FlashpackRowTexts {
  QString name, family, version, build, size;
};
FlashpackRowTexts FlashpackRow(const lumbrapack::PackRecord& record);
// "%d KB" of the byte count rounded to the nearest KB.
QString KilobyteText(unsigned long bytes);

class CFlashPackManagerDlg : public QDialog {
  Q_OBJECT
 public:
  CFlashPackManagerDlg(std::shared_ptr<CPackManager> packs, DeviceNumber device, CAppSettings& settings,
                       QWidget* parent = nullptr);
  ~CFlashPackManagerDlg() override;

  void FillList();
  // Adds the pack file as a job.
  void AddFile(const QString& path);
  // Adds each dropped local file (paths of up to 256 characters), a
  // shortcut by the file it names.
  void OnFilesDropped(const QList<QUrl>& urls);

  void done(int result) override;

 protected:
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void FitColumns();
  void OnAdd();
  void OnDelete();
  void OnUpdateFlash();
  void OnMessage(platform::Message& message);
  void OnDeviceStatus(platform::Message& message);
  void StopTarget();

  std::shared_ptr<CPackManager> packs_;
  DeviceNumber device_;
  CAppSettings& settings_;
  std::unique_ptr<GuiWindowTarget> target_;
  bool forwarding_ = false;

  QTreeWidget* list_ = nullptr;
  QLabel* used_ = nullptr;
  QLabel* free_ = nullptr;
  QLabel* total_ = nullptr;
};
