#pragma once
// The online-help window: local help pages in a text browser. Addresses on
// the web (the error-report page among them) open in the desktop's browser.
// OK, Cancel and the close box only hide the window; it lives as long as its
// owner.

#include <QDialog>
#include <QUrl>

class QTextBrowser;

class COnlineHelpDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "Quillon Online Help";

  explicit COnlineHelpDlg(QWidget* parent = nullptr);

  // Goes back to the local help text.
  void ShowStartPage();
  // Shows the window (restored when minimised, to the foreground).
  void ShowWindow();
  // An http or https address opens in the desktop's browser; any other
  // address is shown here.
  void Navigate(const QUrl& url);

  QTextBrowser* Browser() const { return browser_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PlaceBrowser();

  QTextBrowser* browser_;
};
