#include "shell/ui/app/program_icon.h"

#include <QString>

// The resource lives in a static library: it is registered by name here, so
// that the linker keeps it in every program that shows the icon. (The
// registration must stand outside any namespace.)
QIcon ProgramIcon() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(vexaload);
    return true;
  }();
  (void)registered;
  return QIcon(QStringLiteral(":/icons/vexaload.png"));
}
