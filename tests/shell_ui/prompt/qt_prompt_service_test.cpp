#include "shell/ui/prompt/qt_prompt_service.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>

#include <atomic>
#include <thread>

#include "engine/core/app_settings.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/prompt/prompt_service.h"
#include "shell/prompt/file_filters.h"
#include "shell/ui/dialogs/app_file_dialog.h"
#include "shell/userio/query_request.h"
#include "shell/userio/user_io_thread.h"
#include "../../shell/support/shell_test_support.h"

namespace {

constexpr int kDeadlineMs = 20000;

std::shared_ptr<PromptCall> Box(std::uint32_t style, const std::string& text) {
  auto call = std::make_shared<PromptCall>();
  call->caption = "Vexa20 Flash";
  call->text = text;
  call->style = style;
  return call;
}

// Runs the GUI thread's events until the condition holds or the deadline passes.
bool ProcessUntil(const std::function<bool()>& condition) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > kDeadlineMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  }
  return nullptr;
}

// Asks on a worker thread and keeps its answer.
class Asker {
 public:
  Asker(std::shared_ptr<IShellPromptService> service, std::shared_ptr<PromptCall> call)
      : thread_([this, service, call] {
          result_ = ShowPromptAndWait(service, call);
          done_ = true;
        }) {}
  ~Asker() { thread_.join(); }
  bool Done() const { return done_; }
  int Result() const { return result_; }

 private:
  std::atomic<bool> done_{false};
  std::atomic<int> result_{-1};
  std::thread thread_;
};

class QtPromptServiceTest : public ::testing::Test {
 protected:
  ~QtPromptServiceTest() override {
    service->Shutdown(kAnswerAbort);
    ProcessUntil([] { return OpenBox() == nullptr; });
  }
  std::shared_ptr<CQtPromptService> service = std::make_shared<CQtPromptService>();
};

struct ButtonCase {
  std::uint32_t style;
  QMessageBox::StandardButton click;
  int expected;
};

class BoxAnswers : public QtPromptServiceTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(BoxAnswers, AWorkerGetsTheAnswerOfARealBox) {
  Asker asker(service, Box(GetParam().style, "Auto erase flash memory is not enabled\r\nContinue?"));
  ASSERT_TRUE(ProcessUntil([] { return OpenBox() != nullptr; }));
  QMessageBox* box = OpenBox();
  EXPECT_EQ(box->windowTitle(), "Vexa20 Flash");
  EXPECT_EQ(box->text(), "Auto erase flash memory is not enabled\nContinue?");
  QAbstractButton* button = box->button(GetParam().click);
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Buttons, BoxAnswers,
                         ::testing::Values(ButtonCase{0x24, QMessageBox::Yes, kAnswerYes},
                                           ButtonCase{0x24, QMessageBox::No, kAnswerNo},
                                           ButtonCase{0x15, QMessageBox::Retry, kAnswerRetry},
                                           ButtonCase{0x15, QMessageBox::Cancel, kAnswerCancel},
                                           ButtonCase{0x10, QMessageBox::Ok, kAnswerOk},
                                           ButtonCase{0x03, QMessageBox::Cancel, kAnswerCancel}));

TEST_F(QtPromptServiceTest, AnEscapedBoxIsCancel) {
  Asker asker(service, Box(0x15, "Error> x"));
  ASSERT_TRUE(ProcessUntil([] { return OpenBox() != nullptr; }));
  QTest::keyClick(OpenBox(), Qt::Key_Escape);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), kAnswerCancel);
}

// A destructive question names its button for what it does and makes
// Cancel the default, so that Enter never does it.
TEST_F(QtPromptServiceTest, ANamedBoxSaysWhatItsButtonDoesAndEnterCancels) {
  auto call = Box(kStyleOkCancel | kIconQuestion | kStyleDefaultButton2, "Format File System?");
  call->firstButton = "Format";
  Asker asker(service, call);
  ASSERT_TRUE(ProcessUntil([] { return OpenBox() != nullptr; }));
  QMessageBox* box = OpenBox();
  ASSERT_NE(box->button(QMessageBox::Ok), nullptr);
  EXPECT_EQ(box->button(QMessageBox::Ok)->text(), "Format");
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
  QTest::keyClick(box, Qt::Key_Return);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), kAnswerCancel);
}

// A box asked while the program starts, before its window is shown, opens
// once the window is there, over it.
TEST_F(QtPromptServiceTest, ABoxAskedBeforeTheWindowShowsOpensOverItOnceItDoes) {
  QWidget window;
  window.setGeometry(300, 200, 600, 300);
  service->SetParentWindow(&window);
  Asker asker(service, Box(0x10, "Error> Unable to read product file"));
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(OpenBox(), nullptr);
  window.show();
  ASSERT_TRUE(ProcessUntil([] { return OpenBox() != nullptr; }));
  QMessageBox* box = OpenBox();
  EXPECT_EQ(box->parentWidget(), &window);
  EXPECT_TRUE(window.frameGeometry().contains(box->frameGeometry().center()))
      << box->frameGeometry().x() << "," << box->frameGeometry().y();
  QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), kAnswerOk);
}

// A yes/no/cancel question keeps its text; its Yes and No buttons say what
// they do, and with No the default Enter keeps the file.
TEST_F(QtPromptServiceTest, AYesNoCancelQuestionNamesItsButtonsAndEnterAnswersNo) {
  auto call = Box(kStyleYesNoCancel | kIconQuestion | kStyleDefaultButton2, "File already exists. Overwrite it?");
  call->firstButton = "&Overwrite";
  call->secondButton = "&Keep Existing";
  Asker asker(service, call);
  ASSERT_TRUE(ProcessUntil([] { return OpenBox() != nullptr; }));
  QMessageBox* box = OpenBox();
  EXPECT_EQ(box->text(), "File already exists. Overwrite it?");
  EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "&Overwrite");
  EXPECT_EQ(box->button(QMessageBox::No)->text(), "&Keep Existing");
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
  QTest::keyClick(box, Qt::Key_Return);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), kAnswerNo);
}

TEST_F(QtPromptServiceTest, QuitWhileABoxIsOpenAnswersAbortAndClosesIt) {
  Asker asker(service, Box(0x24, "Open until the end"));
  ASSERT_TRUE(ProcessUntil([] { return OpenBox() != nullptr; }));
  service->Shutdown(kAnswerAbort);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), kAnswerAbort);
  EXPECT_TRUE(ProcessUntil([] { return OpenBox() == nullptr; }));
  // Later prompts are answered at once.
  EXPECT_EQ(ShowPromptAndWait(service, Box(0x24, "after")), kAnswerAbort);
}

TEST_F(QtPromptServiceTest, APromptNotYetShownWhenTheProgramEndsIsAnswered) {
  // No events run between the ask and the shutdown: the box never opens, and
  // the worker is answered all the same.
  std::atomic<int> workerAnswer{-1};
  std::thread asker([&] { workerAnswer = ShowPromptAndWait(service, Box(0x24, "from a worker")); });
  service->Shutdown(kAnswerAbort);
  asker.join();
  EXPECT_EQ(workerAnswer, kAnswerAbort);
  QCoreApplication::processEvents();
  EXPECT_EQ(OpenBox(), nullptr);
}

TEST_F(QtPromptServiceTest, ADialogKindWithoutADialogIsCancelled) {
  auto call = std::make_shared<PromptCall>();
  call->kind = PROMPT_OPTIONS;
  call->dialog = OptionsDialogData{};
  Asker asker(service, call);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), kAnswerCancel);
}

TEST_F(QtPromptServiceTest, ARegisteredDialogRejectedIsCancelAcceptedIsOk) {
  QPointer<QDialog> shown;
  service->RegisterDialog(PROMPT_ORVIX_OPTIONS, [&shown](QWidget* parent, PromptCall& call) {
    auto* dialog = new QDialog(parent);
    QObject::connect(dialog, &QDialog::accepted, dialog,
                     [&call] { std::get<OrvixOptionsDialogData>(call.dialog).chipSelect = 6; });
    shown = dialog;
    return dialog;
  });
  for (const bool accept : {false, true}) {
    auto call = std::make_shared<PromptCall>();
    call->kind = PROMPT_ORVIX_OPTIONS;
    call->dialog = OrvixOptionsDialogData{};
    Asker asker(service, call);
    ASSERT_TRUE(ProcessUntil([&] { return shown && shown->isVisible(); }));
    if (accept) shown->accept();
    else shown->reject();
    ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
    EXPECT_EQ(asker.Result(), accept ? kAnswerOk : kAnswerCancel);
    EXPECT_EQ(std::get<OrvixOptionsDialogData>(call->dialog).chipSelect, accept ? 6 : 0);
  }
}

// The save dialog takes a name that does not exist yet (a read-back's new
// output file) and leaves the overwrite question to the asker; the open
// dialog takes only an existing file.
TEST_F(QtPromptServiceTest, TheSaveDialogTakesANewFileNameAndTheOpenDialogAnExistingOne) {
  for (const PromptKind kind : {kFileSavePrompt, kFileOpenPrompt}) {
    auto call = std::make_shared<PromptCall>();
    call->kind = kind;
    call->text = "Save As";
    call->dialog = FileOpenDialogData{"S-record files (*.s)|*.s||", {}};
    Asker asker(service, call);
    QPointer<QFileDialog> dialog;
    ASSERT_TRUE(ProcessUntil([&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) dialog = d;
      }
      return dialog != nullptr;
    }));
    const bool save = kind == kFileSavePrompt;
    EXPECT_EQ(dialog->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->testOption(QFileDialog::DontConfirmOverwrite), save);
    dialog->reject();
    ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
    EXPECT_EQ(asker.Result(), kAnswerCancel);
  }
}

// Every filter of the program reaches Qt as one name filter per pair, the
// patterns split ("Image files (*.s19 *.bin)"), on both roads to a file
// dialog: the prompt service's and the program's own file dialog.
TEST_F(QtPromptServiceTest, EveryFileDialogGivesQtTheFiltersOneWay) {
  for (const char* filter : kProgramFileFilters) {
    SCOPED_TRACE(filter);
    QStringList expected;
    for (const std::string& f : ToolkitNameFilters(filter)) expected << QString::fromStdString(f);
    auto call = std::make_shared<PromptCall>();
    call->kind = kFileOpenPrompt;
    call->dialog = FileOpenDialogData{filter, {}};
    Asker asker(service, call);
    QPointer<QFileDialog> dialog;
    ASSERT_TRUE(ProcessUntil([&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) dialog = d;
      }
      return dialog != nullptr;
    }));
    EXPECT_EQ(dialog->nameFilters(), expected);
    dialog->reject();
    ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
    CAppFileDialog own(CAppFileDialog::Mode::Open, "s19", {}, filter);
    EXPECT_EQ(own.nameFilters(), expected);
  }
  EXPECT_EQ(ToolkitNameFilters("Data files (*.s19;*.bin)|*.s19;*.bin||").front(), "Data files (*.s19 *.bin)");
  // The radio's image dialog offers S-records, what its loader reads.
  EXPECT_EQ(ToolkitNameFilters(kImageFileFilter).front(), "S-record images (*.s19)");
}

TEST_F(QtPromptServiceTest, AnActionRunsOnTheGuiThread) {
  std::atomic<bool> onGui{false};
  service->RegisterAction(PROMPT_ERROR_REPORT, [&onGui](PromptCall&) {
    onGui = QThread::currentThread() == QCoreApplication::instance()->thread();
    return 0;
  });
  auto call = std::make_shared<PromptCall>();
  call->kind = PROMPT_ERROR_REPORT;
  call->dialog = ErrorReportData{};
  Asker asker(service, call);
  ASSERT_TRUE(ProcessUntil([&] { return asker.Done(); }));
  EXPECT_EQ(asker.Result(), 0);
  EXPECT_TRUE(onGui);
}

// The user-I/O thread behind the real bridge: log lines go on while its box
// is open, and the box's answer is the prompt's reply.
TEST_F(QtPromptServiceTest, TheUserIoThreadKeepsLoggingWhileItsBoxIsOpen) {
  shell_test::TempFolder dir;
  shell_test::CurrentDirectory cwd(dir.Dir());
  dir.Write("Quor_Plover.qlp", "product Vexa_Series { processor Harrow; }\n");
  shell_test::RecordingTarget mainWindow{PT_MAIN_WINDOW};
  shell_test::RecordingTarget asker{PT_REMOTE_IO};
  CAppSettings settings;
  UserIoSeams seams;
  seams.prompts = service;
  CUserIOThread thread(settings, seams);
  SetTargetThread(PT_USER_IO, thread.Id());
  ASSERT_TRUE(thread.Create());

  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::make_unique<PromptRequest>(PromptRequest{11, PT_REMOTE_IO, 1, std::nullopt}));
  ASSERT_TRUE(ProcessUntil([] { return OpenBox() != nullptr; }));
  EXPECT_EQ(OpenBox()->text(), "Processing complete");
  PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::make_unique<std::string>("logged while the box is open"));
  EXPECT_TRUE(ProcessUntil(
      [&] { return dir.Read("Vexa20 Flash.log").find("logged while the box is open") != std::string::npos; }));
  QTest::mouseClick(OpenBox()->button(QMessageBox::Ok), Qt::LeftButton);
  std::optional<platform::Message> reply;
  ASSERT_TRUE(ProcessUntil([&] {
    reply = asker.Queue().TakeMatching(WM_PROMPT_REPLY, WM_PROMPT_REPLY, platform::Milliseconds(0));
    return reply.has_value();
  }));
  EXPECT_EQ(reply->wParam, static_cast<platform::WParam>(kAnswerOk));

  PostToTarget<WM_QUIT_THREAD>(PT_USER_IO);
  thread.Join();
  SetTargetThread(PT_USER_IO, platform::kNoHandle);
}

}  // namespace
