#pragma once
// A static text with the look of a hyperlink: dark blue, the hand cursor,
// underlined while the pointer is over it. A click emits clicked().

#include <QLabel>

class CHyperlinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit CHyperlinkLabel(const QString& text = {}, QWidget* parent = nullptr);

  bool IsUnderlined() const { return font().underline(); }

 signals:
  void clicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetUnderline(bool on);
};

// Gives an existing label the hyperlink look (colour, cursor, underline
// while hovered); false for a null label.
bool MakeHyperlink(QLabel* label);
