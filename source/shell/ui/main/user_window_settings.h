#pragma once
// What the main window keeps in the user's own Qt settings
// (~/.config/Quillon/vexaload.conf), one group per window title: the
// window's place and size, and the recent files. The configuration file's
// keys are fixed and its rewrite leaves the recent files out, so they live
// here, beside the window's place.

#include <QByteArray>
#include <QRect>
#include <QString>
#include <optional>
#include <string>
#include <vector>

class CAppSettings;

class CUserWindowSettings {
 public:
  explicit CUserWindowSettings(const QString& windowTitle);

  // The window's place: its frame's top-left corner (where the window
  // manager puts the frame, title bar included) and the size of its inside;
  // none when no place was kept yet.
  std::optional<QRect> Place() const;
  void SetPlace(const QRect& place);
  // The geometry older versions kept (QWidget::saveGeometry), empty when
  // none; read only when no place is kept.
  QByteArray Geometry() const;

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
