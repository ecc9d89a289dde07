#include "shell/ui/dialogs/app_file_dialog.h"

#include <QApplication>
#include <QPointer>
#include <QRegularExpression>

namespace {

constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;

// "*.s19;*.bin" -> "*.s19 *.bin"; "*.*" -> "*".
QString ConvertPatterns(const QString& patterns) {
  QStringList out;
  for (QString pattern : patterns.split(';', Qt::SkipEmptyParts)) {
    pattern = pattern.trimmed();
    out << (pattern == "*.*" ? QString("*") : pattern);
  }
  return out.join(' ');
}

}  // namespace

QStringList CAppFileDialog::ConvertFilter(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;  // the closing "||"
    // The name loses its own pattern list; Qt reads the patterns from the
    // parentheses, so they are written there the way Qt wants them.
    QString name = parts[i];
    name.remove(QRegularExpression("\\s*\\([^)]*\\)\\s*$"));
    filters << QString("%1 (%2)").arg(name, ConvertPatterns(parts[i + 1]));
  }
  return filters;
}

CAppFileDialog::CAppFileDialog(Mode mode, const QString& defaultExtension, const QString& initialName,
                               const QString& filter, QWidget* parent)
    : QFileDialog(parent) {
  setObjectName("appFileDialog");
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(mode == Mode::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  setFileMode(mode == Mode::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  setDefaultSuffix(defaultExtension);
  const QStringList filters = ConvertFilter(filter);
  if (!filters.isEmpty()) setNameFilters(filters);
  if (!initialName.isEmpty()) selectFile(initialName);
}

int CAppFileDialog::DoModal() {
  QPointer<QWidget> focus = QApplication::focusWidget();
  QPointer<QWidget> owner = parentWidget() ? parentWidget()->window() : nullptr;
  const bool disabledOwner = owner && owner->isEnabled();
  if (disabledOwner) owner->setEnabled(false);
  // The dialog itself stays usable while its owner is disabled.
  setEnabled(true);
  const int result = exec();
  if (disabledOwner && owner) owner->setEnabled(true);
  if (focus) focus->setFocus();
  return result == QDialog::Accepted && !selectedFiles().isEmpty() ? kAnswerOk : kAnswerCancel;
}

QString CAppFileDialog::GetPathName() const {
  const QStringList files = selectedFiles();
  return result() == QDialog::Accepted && !files.isEmpty() ? files.first() : QString();
}
