#include "shell/ui/dialogs/app_file_dialog.h"

#include <QApplication>
#include <QPointer>

#include "engine/prompt/prompt_answer.h"
#include "shell/prompt/file_filters.h"

QStringList CAppFileDialog::ConvertFilter(const QString& filter) {
  QStringList filters;
  for (const std::string& f : ToolkitNameFilters(filter.toStdString())) filters << QString::fromStdString(f);
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
