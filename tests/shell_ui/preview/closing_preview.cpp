#include "closing_preview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <cstdio>

#include "shell/ui/main/flash_dlg.h"

namespace {

void Wait(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Written(bool saved, const QString& path) {
  if (saved) {
    std::printf("%s\n", qPrintable(path));
  } else {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  }
  return saved;
}

bool SaveCloseQuestion(CFlashDlg& window, const QString& folder) {
  window.close();
  Wait(400);
  auto* box = window.findChild<QMessageBox*>("closeQuestion");
  if (box == nullptr) {
    std::fprintf(stderr, "the close question did not open\n");
    return false;
  }
  const QRect area = window.frameGeometry().united(box->frameGeometry()).adjusted(0, 0, 8, 8);
  const QString path = folder + "/main_window_close_question.png";
  QScreen* screen = QGuiApplication::primaryScreen();
  const bool saved =
      screen != nullptr && screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path);
  if (auto* keep = box->findChild<QPushButton*>("closeQuestionKeepWorking")) keep->click();
  Wait(200);
  return Written(saved, path);
}

bool SaveWideWindow(CFlashDlg& window, const QString& folder) {
  const QSize before = window.size();
  window.resize(before.width() + 420, before.height());
  Wait(300);
  const QString path = folder + "/main_window_wide.png";
  const bool saved = window.grab().save(path);
  window.resize(before);
  Wait(200);
  return Written(saved, path);
}

}  // namespace

bool SaveClosingAndWideShots(CFlashDlg& window, const QString& folder) {
  const bool question = SaveCloseQuestion(window, folder);
  return SaveWideWindow(window, folder) && question;
}
