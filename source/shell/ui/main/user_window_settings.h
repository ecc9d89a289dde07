#pragma once
// What the main window keeps in the user's own Qt settings
// (~/.config/Quillon/vexaload.conf), one group per window title: the
// window's place and size, and the recent files. The configuration file's
// keys are fixed and its rewrite leaves the recent files out, so they live
// here, beside the window's place.

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

class CAppSettings;

class CUserWindowSettings {
 public:
  explicit CUserWindowSettings(const QString& windowTitle);

  // The window's saved geometry (QWidget::saveGeometry), empty when none.
  QByteArray Geometry() const;
  void SetGeometry(const QByteArray& geometry);

  // The recent files, most recent first.
  std::vector<std::string> RecentFiles() const;
  void SetRecentFiles(const std::vector<std::string>& paths);

  // Puts the stored recent files into the settings' list, the most recent
  // at its head, under any the list already has.
  void LoadRecentFilesInto(CAppSettings& settings) const;
  // Stores the settings' recent files (as many as the menu offers).
  void SaveRecentFilesFrom(const CAppSettings& settings);

 private:
  QString Key(const char* name) const;
  QString group_;
};
