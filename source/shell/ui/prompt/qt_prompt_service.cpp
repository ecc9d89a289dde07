#include "shell/ui/prompt/qt_prompt_service.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <utility>

#include "engine/prompt/prompt_service.h"
#include "shell/prompt/file_filters.h"

// One prompt that has begun and is not yet answered.
struct CQtPromptService::Pending {
  std::uint64_t id = 0;
  Done done;
  std::shared_ptr<PromptCall> call;  // kept alive until the answer
  std::atomic<bool> answered{false};
  QPointer<QWidget> widget;  // GUI thread only
};

namespace {

QString FromText(const std::string& text) {
  // Boxes break lines with CR LF; Qt wants LF alone.
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QMessageBox::Icon IconOfStyle(std::uint32_t style) {
  switch (style & kIconMask) {
    case kIconStop: return QMessageBox::Critical;
    case kIconQuestion: return QMessageBox::Question;
    case kIconExclamation: return QMessageBox::Warning;
    case kIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

QStringList FiltersOf(const std::string& filter) {
  QStringList filters;
  for (const std::string& f : ToolkitNameFilters(filter)) filters << QString::fromStdString(f);
  return filters;
}

// The box's standard buttons in the order of their style ("OK, Cancel").
QList<QAbstractButton*> OrderedButtons(const QMessageBox& box) {
  static constexpr QMessageBox::StandardButton kOrder[] = {QMessageBox::Ok,    QMessageBox::Abort, QMessageBox::Retry,
                                                           QMessageBox::Ignore, QMessageBox::Yes,  QMessageBox::No,
                                                           QMessageBox::Cancel};
  QList<QAbstractButton*> buttons;
  for (const QMessageBox::StandardButton which : kOrder) {
    if (QAbstractButton* b = box.button(which)) buttons << b;
  }
  return buttons;
}

// How long a prompt waits at most for the main window to come on the screen.
constexpr int kParentWaitMs = 5000;

bool OnGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

}  // namespace

CQtPromptService::CQtPromptService(QObject* parent) : QObject(parent) {}

CQtPromptService::~CQtPromptService() { Shutdown(kAnswerAbort); }

void CQtPromptService::SetParentWindow(QWidget* window) {
  parentWindow_ = window;
  parentReady_ = window == nullptr || (window->windowHandle() != nullptr && window->windowHandle()->isExposed());
  if (window == nullptr) return;
  window->installEventFilter(this);
  WatchParentWindowHandle();
}

void CQtPromptService::WatchParentWindowHandle() {
  if (QWindow* handle = parentWindow_ ? parentWindow_->windowHandle() : nullptr) {
    handle->removeEventFilter(this);
    handle->installEventFilter(this);
  }
}

bool CQtPromptService::eventFilter(QObject* watched, QEvent* event) {
  if (!parentReady_ && parentWindow_) {
    // The native window exists once the widget is shown; it is exposed
    // once the window manager has mapped it in its place.
    if (watched == parentWindow_.data() && event->type() == QEvent::Show) WatchParentWindowHandle();
    QWindow* handle = parentWindow_->windowHandle();
    if (handle != nullptr && watched == handle && event->type() == QEvent::Expose && handle->isExposed()) {
      ShowPromptsWaitingForParent();
    }
  }
  return QObject::eventFilter(watched, event);
}

void CQtPromptService::ShowPromptsWaitingForParent() {
  parentReady_ = true;
  // Opened after the window's own handling of the event, in its place.
  for (auto& show : std::exchange(waitingForParent_, {})) QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
}

void CQtPromptService::RegisterDialog(PromptKind kind, DialogFactory factory) {
  std::lock_guard lock(mutex_);
  dialogs_[kind] = std::move(factory);
}

void CQtPromptService::RegisterAction(PromptKind kind, Action action) {
  std::lock_guard lock(mutex_);
  actions_[kind] = std::move(action);
}

int CQtPromptService::AnswerOfButton(int standardButton) {
  switch (standardButton) {
    case QMessageBox::Ok: return kAnswerOk;
    case QMessageBox::Cancel: return kAnswerCancel;
    case QMessageBox::Abort: return kAnswerAbort;
    case QMessageBox::Retry: return kAnswerRetry;
    case QMessageBox::Ignore: return 5;
    case QMessageBox::Yes: return kAnswerYes;
    case QMessageBox::No: return kAnswerNo;
    default: return kAnswerCancel;
  }
}

int CQtPromptService::ButtonsOfStyle(std::uint32_t style) {
  switch (style & kStyleButtonsMask) {
    case kStyleOkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case kStyleAbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case kStyleYesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case kStyleYesNo: return QMessageBox::Yes | QMessageBox::No;
    case kStyleRetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

std::shared_ptr<CQtPromptService::Pending> CQtPromptService::Register(Done done) {
  auto pending = std::make_shared<Pending>();
  pending->done = std::move(done);
  std::lock_guard lock(mutex_);
  pending->id = ++nextId_;
  pending_[pending->id] = pending;
  return pending;
}

void CQtPromptService::Finish(const std::shared_ptr<Pending>& pending, int answer) {
  if (pending->answered.exchange(true)) return;
  {
    std::lock_guard lock(mutex_);
    pending_.erase(pending->id);
  }
  pending->done(answer);
}

void CQtPromptService::Begin(std::shared_ptr<PromptCall> call, Done done) {
  {
    std::lock_guard lock(mutex_);
    if (shutdownAnswer_) {
      const int answer = *shutdownAnswer_;
      done(answer);
      return;
    }
  }
  auto pending = Register(std::move(done));
  pending->call = call;
  if (OnGuiThread()) {
    // The asker is the GUI thread itself: the prompt runs modally here.
    Show(call, pending, true);
    return;
  }
  QMetaObject::invokeMethod(this, [this, call, pending] { Show(call, pending, false); }, Qt::QueuedConnection);
}

void CQtPromptService::Show(const std::shared_ptr<PromptCall>& call, const std::shared_ptr<Pending>& pending,
                            bool modalHere) {
  if (pending->answered) return;  // answered by a shutdown before it could open
  if (!modalHere && parentWindow_ && !parentReady_) {
    // A window that never comes on the screen does not hold a question up
    // for good: it opens all the same after a while.
    if (waitingForParent_.empty()) QTimer::singleShot(kParentWaitMs, this, [this] { ShowPromptsWaitingForParent(); });
    waitingForParent_.push_back([this, call, pending] { Show(call, pending, false); });
    return;
  }
  Action action;
  {
    std::lock_guard lock(mutex_);
    if (auto it = actions_.find(call->kind); it != actions_.end()) action = it->second;
  }
  if (action) {
    int answer = kAnswerCancel;
    try {
      answer = action(*call);
    } catch (...) {
      answer = kAnswerAbort;
    }
    Finish(pending, answer);
    return;
  }
  bool isBox = false;
  QWidget* widget = MakeWidget(call, isBox);
  if (widget == nullptr) {
    Finish(pending, kAnswerCancel);  // a dialog kind with no dialog registered
    return;
  }
  pending->widget = widget;
  auto* dialog = static_cast<QDialog*>(widget);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::finished, this, [this, dialog, pending, isBox](int result) {
    int answer = result;
    if (isBox) {
      auto* box = static_cast<QMessageBox*>(dialog);
      answer = AnswerOfButton(box->standardButton(box->clickedButton()));
    } else if (result == QDialog::Rejected) {
      answer = kAnswerCancel;
    }
    Finish(pending, answer);
  });
  if (modalHere) {
    dialog->exec();
  } else {
    dialog->open();
  }
}

QWidget* CQtPromptService::ParentForNewPrompt() {
  // A prompt that opens while another is shown (the FlashPack Manager's
  // error box) goes over that one, so the user sees it at once.
  std::lock_guard lock(mutex_);
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
    QWidget* open = it->second->widget.data();
    if (open != nullptr && open->isVisible()) return open;
  }
  return parentWindow_.data();
}

QWidget* CQtPromptService::MakeWidget(const std::shared_ptr<PromptCall>& call, bool& isBox) {
  isBox = call->IsMessageBox();
  if (isBox) return MakeBox(*call);
  if (std::holds_alternative<FileOpenDialogData>(call->dialog)) return MakeFileDialog(*call);
  DialogFactory factory;
  {
    std::lock_guard lock(mutex_);
    if (auto it = dialogs_.find(call->kind); it != dialogs_.end()) factory = it->second;
  }
  return factory ? factory(ParentForNewPrompt(), *call) : nullptr;
}

QMessageBox* CQtPromptService::MakeBox(const PromptCall& call) {
  auto* box = new QMessageBox(IconOfStyle(call.style), QString::fromStdString(call.caption), FromText(call.text),
                              static_cast<QMessageBox::StandardButtons>(ButtonsOfStyle(call.style)),
                              ParentForNewPrompt());
  box->setObjectName(QStringLiteral("promptBox"));
  const QList<QAbstractButton*> buttons = OrderedButtons(*box);
  if (!call.firstButton.empty() && !buttons.isEmpty()) buttons[0]->setText(QString::fromStdString(call.firstButton));
  if (!call.secondButton.empty() && buttons.size() > 1) buttons[1]->setText(QString::fromStdString(call.secondButton));
  if ((call.style & kStyleDefaultButton2) != 0 && buttons.size() > 1) {
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons[1]));
    buttons[1]->setFocus();
  }
  return box;
}

QDialog* CQtPromptService::MakeFileDialog(PromptCall& call) {
  auto* dialog = new QFileDialog(ParentForNewPrompt(), QString::fromStdString(call.text));
  dialog->setObjectName(QStringLiteral("promptFileDialog"));
  if (call.kind == kFileSavePrompt) {
    // A new name may be typed; the asker puts its own overwrite question.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
  } else {
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
  }
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setNameFilters(FiltersOf(std::get<FileOpenDialogData>(call.dialog).filter));
  auto* data = &std::get<FileOpenDialogData>(call.dialog);
  connect(dialog, &QFileDialog::fileSelected, dialog,
          [data](const QString& file) { data->chosenPath = file.toStdString(); });
  return dialog;
}

void CQtPromptService::Shutdown(int answer) {
  std::map<std::uint64_t, std::shared_ptr<Pending>> pending;
  {
    std::lock_guard lock(mutex_);
    shutdownAnswer_ = answer;
    pending.swap(pending_);
  }
  for (auto& [id, p] : pending) {
    if (p->answered.exchange(true)) continue;
    p->done(answer);
    // The open box goes as well (on the GUI thread).
    const auto closeWidget = [p] {
      if (p->widget) p->widget->close();
    };
    if (OnGuiThread()) {
      closeWidget();
    } else {
      QMetaObject::invokeMethod(this, closeWidget, Qt::QueuedConnection);
    }
  }
}
