#pragma once
// The progress bar of a grid row: a filled part and an empty part in
// colours of its own, with a text centred over both that takes one colour
// over the filled part and another over the empty part. It paints without
// erasing its background (Qt's backing store is the off-screen buffer), and
// a new position repaints only when the filled width in pixels changes.

#include <QColor>
#include <QString>
#include <QWidget>

#include "shell/ui/progress/progress_geometry.h"

class CTextProgressCtrl : public QWidget {
  Q_OBJECT

 public:
  explicit CTextProgressCtrl(QWidget* parent = nullptr);

  void SetBarColour(QColor colour) { barColour_ = colour; }
  void SetBgColour(QColor colour) { bgColour_ = colour; }
  void SetTextColour(QColor colour) { textColour_ = colour; }      // over the empty part
  void SetTextBkColour(QColor colour) { textBkColour_ = colour; }  // over the filled part
  QColor GetBarColour() const { return barColour_; }
  QColor GetBgColour() const { return bgColour_; }
  QColor GetTextColour() const { return textColour_; }
  QColor GetTextBkColour() const { return textBkColour_; }

  void SetShowText(bool show);
  bool ShowText() const { return showText_; }
  void SetRange(int minimum, int maximum) { range_ = {minimum, maximum}; }
  ProgressRange Range() const { return range_; }
  // Returns the previous position.
  int SetPos(int position);
  int GetPos() const { return position_; }
  int StepIt() { return SetPos(position_ + step_); }
  int OffsetPos(int delta) { return SetPos(position_ + delta); }
  // Returns the previous step.
  int SetStep(int step);

  void SetText(const QString& text);
  QString Text() const { return text_; }
  // The text drawn over the bar.
  QString Caption() const;
  int FilledWidth() const { return filledWidth_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int position_ = 0;
  int step_ = 1;
  ProgressRange range_{};
  QString text_;
  bool showText_ = true;
  int filledWidth_ = -1;
  QColor barColour_;
  QColor bgColour_;
  QColor textColour_;
  QColor textBkColour_;
};
