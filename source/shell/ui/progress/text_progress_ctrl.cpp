#include "shell/ui/progress/text_progress_ctrl.h"

#include <QPainter>
#include <QPalette>

CTextProgressCtrl::CTextProgressCtrl(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted each time, so nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  const QPalette& p = palette();
  barColour_ = p.color(QPalette::Highlight);
  bgColour_ = p.color(QPalette::Base);
  textColour_ = p.color(QPalette::Highlight);
  textBkColour_ = p.color(QPalette::Base);
}

void CTextProgressCtrl::SetShowText(bool show) {
  if (show == showText_) return;
  showText_ = show;
  update();
}

int CTextProgressCtrl::SetPos(int position) {
  const int previous = position_;
  position_ = position;
  const int filled = ProgressFilledWidth(position_, range_, width());
  if (filled != filledWidth_) {
    filledWidth_ = filled;
    update();
  }
  return previous;
}

int CTextProgressCtrl::SetStep(int step) {
  const int previous = step_;
  step_ = step;
  return previous;
}

void CTextProgressCtrl::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

QString CTextProgressCtrl::Caption() const {
  return QString::fromStdString(ProgressCaption(text_.toStdString(), position_, range_));
}

void CTextProgressCtrl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  filledWidth_ = -1;
}

void CTextProgressCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect all = rect();
  const int split = all.left() + ProgressFilledWidth(position_, range_, all.width());
  const QRect filled(all.left(), all.top(), split - all.left(), all.height());
  const QRect empty(split, all.top(), all.right() - split + 1, all.height());
  painter.fillRect(filled, barColour_);
  painter.fillRect(empty, bgColour_);
  if (!showText_) return;
  const QString caption = Caption();
  painter.setFont(font());
  painter.setClipRect(filled);
  painter.setPen(textBkColour_);
  painter.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, caption);
  painter.setClipRect(empty);
  painter.setPen(textColour_);
  painter.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, caption);
}
