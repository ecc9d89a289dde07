#pragma once
// The file dialog that every file-choosing step uses: Qt's own dialog (not
// the desktop's), filters given the program's way ("Name (*.a;*.b)|*.a;*.b|
// All Files (*.*)|*.*||") and converted for Qt, "*.*" meaning every file.
// DoModal disables the owner window while the dialog is open and enables it
// again afterwards, and answers 1 (OK) for a chosen file or 2 (Cancel).

#include <QFileDialog>
#include <QStringList>

class CAppFileDialog : public QFileDialog {
  Q_OBJECT
 public:
  enum class Mode { Open, Save };

  CAppFileDialog(Mode mode, const QString& defaultExtension, const QString& initialName, const QString& filter,
                 QWidget* parent = nullptr);

  int DoModal();
  // The chosen path; empty before a file was chosen.
  QString GetPathName() const;

  // "A (*.x;*.y)|*.x;*.y|All Files (*.*)|*.*||" as Qt's name filters:
  // {"A (*.x *.y)", "All Files (*)"}.
  static QStringList ConvertFilter(const QString& filter);
};
