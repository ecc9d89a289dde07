#include "shell/ui/help/online_help_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QResizeEvent>
#include <QTextBrowser>

#include "shell/ui/help/help_pages.h"

COnlineHelpDlg::COnlineHelpDlg(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("onlineHelpWindow"));
  setWindowTitle(QString::fromLatin1(kTitle));
  setSizeGripEnabled(true);
  resize(504, 405);
  browser_->setObjectName(QStringLiteral("helpBrowser"));
  browser_->setOpenLinks(false);
  connect(browser_, &QTextBrowser::anchorClicked, this, &COnlineHelpDlg::Navigate);
  ShowStartPage();
  PlaceBrowser();
}

void COnlineHelpDlg::ShowStartPage() { browser_->setHtml(QString::fromUtf8(HelpIndexHtml())); }

void COnlineHelpDlg::ShowWindow() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void COnlineHelpDlg::Navigate(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
    QDesktopServices::openUrl(url);
    return;
  }
  browser_->setSource(url);
}

// The browser fills the window less one pixel left, right and bottom and
// two at the top.
void COnlineHelpDlg::PlaceBrowser() { browser_->setGeometry(1, 2, width() - 2, height() - 3); }

void COnlineHelpDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceBrowser();
}

void COnlineHelpDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
}
