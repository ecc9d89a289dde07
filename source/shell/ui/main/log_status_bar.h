#pragma once
// The main window's status bar: the latest line of the log file, so that a
// row's "Error" has its reason in view. Error lines show in the grid's
// error colour, warnings in a dark amber; a line too long for the bar is
// cut with an ellipsis and shown whole as the bar's tooltip.

#include <QStatusBar>

class QLabel;

class CLogStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  explicit CLogStatusBar(QWidget* parent = nullptr);

  void ShowLogLine(const QString& line);
  // The line shown (uncut) and its colour.
  QString LineText() const { return line_; }
  QColor LineColor() const;

  static const QColor kErrorColor;
  static const QColor kWarningColor;

 protected:
  // The label's new width cuts the line anew.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Elide();

  QLabel* label_ = nullptr;
  QString line_;
};
