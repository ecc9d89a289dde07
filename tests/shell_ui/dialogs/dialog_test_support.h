#pragma once
// Helpers of the dialog tests: finding controls by their ids, the main
// window as a recording queue, and waiting for a refusal box.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "platform/target_registry.h"

namespace dialogtest {

// The mnemonics of a dialog's labels, check boxes and radio buttons: how
// many texts there are and how many different letters they use. A text
// without a mnemonic fails the test that asks.
struct MnemonicCount {
  int texts = 0;
  int letters = 0;
};

inline MnemonicCount CountMnemonics(const QWidget& dialog) {
  std::set<QChar> letters;
  int texts = 0;
  auto take = [&](const QString& text) {
    const int amp = text.indexOf('&');
    EXPECT_GE(amp, 0) << text.toStdString() << " has no mnemonic";
    ++texts;
    if (amp >= 0 && amp + 1 < text.size()) letters.insert(text.at(amp + 1).toLower());
  };
  for (const QLabel* label : dialog.findChildren<QLabel*>()) take(label->text());
  for (const QAbstractButton* button : dialog.findChildren<QCheckBox*>()) take(button->text());
  for (const QAbstractButton* button : dialog.findChildren<QRadioButton*>()) take(button->text());
  return {texts, static_cast<int>(letters.size())};
}

template <class T>
T* Control(QWidget& dialog, int id) {
  T* control = dialog.findChild<T*>(QString::number(id));
  EXPECT_NE(control, nullptr) << "no control " << id;
  return control;
}

inline void Click(QWidget& dialog, int id) {
  auto* button = Control<QAbstractButton>(dialog, id);
  if (button != nullptr) button->click();
}

// The refusal box that a dialog opens over itself for a bad field; null
// when it opened none.
inline QMessageBox* RefusalBox(QWidget& dialog) {
  for (QMessageBox* box : dialog.findChildren<QMessageBox*>("inputRefused")) {
    if (box->isVisible()) return box;
  }
  return nullptr;
}

// The main window as a queue: what the dialogs post to it lands here.
class MainWindowQueue {
 public:
  MainWindowQueue() { SetMainWindow(queue_.handle()); }
  ~MainWindowQueue() { ClearMainWindow(); }

  struct Posted {
    std::uint32_t id;
    platform::WParam wParam;
    platform::LParam lParam;
    bool operator==(const Posted&) const = default;
  };

  // Every message posted so far, in order. Posting puts a message in the
  // queue before PostToTarget returns, so a sentinel posted now comes
  // after all of them.
  std::vector<Posted> Taken() {
    constexpr std::uint32_t kSentinel = WM_APP + 0x3FF;
    PostToTarget(PT_MAIN_WINDOW, platform::Message(kSentinel, 0, 0));
    std::vector<Posted> all;
    while (auto m = queue_.queue().TryGet()) {
      if (m->number == kSentinel) break;
      all.push_back({m->number, m->wParam, m->lParam});
    }
    return all;
  }

 private:
  platform::RegisteredQueue queue_{platform::TargetKind::Window};
};

}  // namespace dialogtest
