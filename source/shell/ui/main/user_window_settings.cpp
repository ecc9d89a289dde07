#include "shell/ui/main/user_window_settings.h"

#include <QSettings>
#include <QStringList>

#include "engine/core/app_settings.h"

namespace {

QSettings UserSettings() { return QSettings(QSettings::UserScope, "Quillon", "vexaload"); }

}  // namespace

CUserWindowSettings::CUserWindowSettings(const QString& windowTitle)
    : group_("MainWindow/" + QString(windowTitle).replace('/', '_').replace('\\', '_')) {}

QString CUserWindowSettings::Key(const char* name) const { return group_ + "/" + name; }

QByteArray CUserWindowSettings::Geometry() const { return UserSettings().value(Key("geometry")).toByteArray(); }

std::optional<QRect> CUserWindowSettings::Place() const {
  const QVariant stored = UserSettings().value(Key("place"));
  if (!stored.canConvert<QRect>()) return std::nullopt;
  const QRect place = stored.toRect();
  if (!place.isValid()) return std::nullopt;
  return place;
}

void CUserWindowSettings::SetPlace(const QRect& place) {
  QSettings settings = UserSettings();
  settings.setValue(Key("place"), place);
  settings.sync();
}

std::vector<std::string> CUserWindowSettings::RecentFiles() const {
  std::vector<std::string> paths;
  for (const QString& path : UserSettings().value(Key("recentFiles")).toStringList()) {
    if (!path.isEmpty()) paths.push_back(path.toStdString());
  }
  return paths;
}

void CUserWindowSettings::SetRecentFiles(const std::vector<std::string>& paths) {
  QStringList list;
  for (const std::string& path : paths) list << QString::fromStdString(path);
  QSettings settings = UserSettings();
  settings.setValue(Key("recentFiles"), list);
  settings.sync();
}

void CUserWindowSettings::LoadRecentFilesInto(CAppSettings& settings) const {
  std::vector<std::string> stored = RecentFiles();
  std::vector<std::string> present;
  for (int i = 0; i < kMaxRecentFilesLimit; ++i) {
    std::string path = settings.GetAppString(APP_STRING_RECENT_FILE, i);
    if (path.empty()) break;
    present.push_back(std::move(path));
  }
  // Each one put at the head: the oldest first, the list's own last.
  for (auto it = stored.rbegin(); it != stored.rend(); ++it) settings.SetAppString(APP_STRING_RECENT_FILE, *it);
  for (auto it = present.rbegin(); it != present.rend(); ++it) settings.SetAppString(APP_STRING_RECENT_FILE, *it);
}

void CUserWindowSettings::SaveRecentFilesFrom(const CAppSettings& settings) {
  std::vector<std::string> paths;
  for (int i = 0; i < kMaxRecentFilesLimit; ++i) {
    std::string path = settings.GetAppString(APP_STRING_RECENT_FILE, i);
    if (path.empty()) break;
    paths.push_back(std::move(path));
  }
  SetRecentFiles(paths);
}
