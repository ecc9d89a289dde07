#include "shell/ui/dialogs/about_dlg.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/ui/dialogs/dialog_input.h"
#include "shell/ui/dialogs/hyperlink_label.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("aboutDialog");
  setWindowTitle("About");
  auto* layout = new QVBoxLayout(this);
  for (std::size_t i = 0; i < kTextIds.size(); ++i) {
    const bool isLink = i + 1 == kTextIds.size();
    QLabel* label = isLink ? new CHyperlinkLabel({}, this) : new QLabel(this);
    label->setObjectName(QString::number(kTextIds[i]));
    texts_[i] = label;
  }
  texts_[0]->setText(kProductLine);
  texts_[1]->setText(kNoticeLine);
  texts_[2]->setText(kFirmwareLine);
  texts_[11]->setText(kProductPage);
  for (QLabel* label : texts_) {
    // Empty texts take no room.
    if (label->text().isEmpty()) label->hide();
    layout->addWidget(label);
  }
  QFont bold = texts_[0]->font();
  bold.setBold(true);
  texts_[0]->setFont(bold);
  auto* link = static_cast<CHyperlinkLabel*>(texts_[11]);
  connect(link, &CHyperlinkLabel::clicked, this, [this] {
    QDesktopServices::openUrl(QUrl(kProductPage));
    emit linkOpened(kProductPage);
  });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("1");
  ok->setDefault(true);
  buttons->addWidget(ok);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CAboutDlg::Text(int id) const {
  for (std::size_t i = 0; i < kTextIds.size(); ++i) {
    if (kTextIds[i] == id) return texts_[i]->text();
  }
  return {};
}
