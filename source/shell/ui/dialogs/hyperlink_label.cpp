#include "shell/ui/dialogs/hyperlink_label.h"

#include <QEnterEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QPalette>

namespace {

const QColor kLinkColour(0, 0, 192);

// Underlines the label while the pointer is over it.
class HoverUnderline : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* label = static_cast<QLabel*>(watched);
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
      QFont font = label->font();
      font.setUnderline(event->type() == QEvent::Enter);
      label->setFont(font);
    }
    return false;
  }
};

void ApplyLinkLook(QLabel* label) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, kLinkColour);
  label->setPalette(palette);
  label->setCursor(Qt::PointingHandCursor);
}

}  // namespace

CHyperlinkLabel::CHyperlinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) { ApplyLinkLook(this); }

void CHyperlinkLabel::SetUnderline(bool on) {
  QFont f = font();
  f.setUnderline(on);
  setFont(f);
}

void CHyperlinkLabel::enterEvent(QEnterEvent* event) {
  SetUnderline(true);
  QLabel::enterEvent(event);
}

void CHyperlinkLabel::leaveEvent(QEvent* event) {
  SetUnderline(false);
  QLabel::leaveEvent(event);
}

void CHyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

bool MakeHyperlink(QLabel* label) {
  if (label == nullptr) return false;
  ApplyLinkLook(label);
  label->installEventFilter(new HoverUnderline(label));
  return true;
}
