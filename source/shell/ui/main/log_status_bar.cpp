#include "shell/ui/main/log_status_bar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>

#include "shell/log/log_line_kind.h"

const QColor CLogStatusBar::kErrorColor{139, 0, 0};
const QColor CLogStatusBar::kWarningColor{153, 87, 0};

CLogStatusBar::CLogStatusBar(QWidget* parent) : QStatusBar(parent) {
  setObjectName("statusBar");
  setSizeGripEnabled(false);
  label_ = new QLabel(this);
  label_->setObjectName("latestLogLine");
  // The label never asks the window for more room than it has: a long line
  // is cut to the width the user gave the window.
  label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label_->setTextFormat(Qt::PlainText);
  label_->installEventFilter(this);
  addWidget(label_, 1);
}

void CLogStatusBar::ShowLogLine(const QString& line) {
  line_ = QString::fromStdString(SingleRowText(line.toStdString()));
  QPalette palette = label_->palette();
  palette.setColor(QPalette::WindowText, LineColor());
  label_->setPalette(palette);
  label_->setToolTip(line_);
  Elide();
}

QColor CLogStatusBar::LineColor() const {
  switch (ClassifyLogLine(line_.toStdString())) {
    case LogLineKind::Error: return kErrorColor;
    case LogLineKind::Warning: return kWarningColor;
    case LogLineKind::Progress: break;
  }
  return palette().color(QPalette::WindowText);
}

bool CLogStatusBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == label_ && event->type() == QEvent::Resize) Elide();
  return QStatusBar::eventFilter(watched, event);
}

void CLogStatusBar::Elide() {
  const int room = std::max(0, label_->width() - 2 * label_->margin());
  label_->setText(QFontMetrics(label_->font()).elidedText(line_, Qt::ElideRight, room));
}
