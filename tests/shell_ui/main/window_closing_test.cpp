// Closing the window: at once when nothing runs; while jobs run, a question
// first (Keep Working is the default), and a quit that cancels every
// running job before the threads end and says so in the log.
#include <QMessageBox>
#include <QPushButton>

#include "engine/core/device_event.h"
#include "main_window_fixture.h"
#include "shell/grid/main_commands.h"

namespace maintest {
namespace {

class ClosingTest : public MainWindowTest {
 protected:
  void Busy(DeviceNumber device) {
    ASSERT_TRUE(platform::PostWindowMessage<WM_DEVICE_STATUS>(
        window->Handle(), MakeDeviceStatusRecord(EVENT_FLASH_PROGRESS, device, 1, 1, 40)));
    FlushWindow();
  }
  QMessageBox* Question() {
    QMessageBox* box = window->findChild<QMessageBox*>("closeQuestion");
    return box != nullptr && box->isVisible() ? box : nullptr;
  }
  // The core thread's cancels, in order.
  std::vector<platform::WParam> CancelsToCore() {
    std::vector<platform::WParam> devices;
    for (const platform::Message& m : Drain(core)) {
      if (m.number == WM_CANCEL_DEVICE) devices.push_back(m.wParam);
    }
    return devices;
  }
};

TEST_F(ClosingTest, WithNothingRunningTheWindowEndsAtOnce) {
  Open();
  Attach(3);
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Question(), nullptr);
  EXPECT_TRUE(CancelsToCore().empty());
}

TEST_F(ClosingTest, WhileAJobRunsItAsksAndKeepWorkingIsTheDefault) {
  Open();
  Attach(3);
  Busy(3);
  window->close();
  QMessageBox* box = Question();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(box->text(), "A job is running on 1 device (USB3).");
  EXPECT_EQ(box->informativeText(), "Cancel the jobs and quit, or keep working?");
  auto* keep = box->findChild<QPushButton*>("closeQuestionKeepWorking");
  ASSERT_NE(keep, nullptr);
  EXPECT_EQ(box->defaultButton(), keep);
  EXPECT_EQ(box->escapeButton(), keep);
  keep->click();
  EXPECT_TRUE(PumpUntil([&] { return Question() == nullptr; }));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(CancelsToCore().empty());
  for (const std::string& line : LogLines()) EXPECT_EQ(line.rfind("Quit:", 0), std::string::npos) << line;
}

TEST_F(ClosingTest, QuitCancelsEveryRunningJobLogsItAndEnds) {
  Open();
  Attach(3);
  Attach(8);
  PostToWindow(WM_DEVICE_ATTACHED, DEVICE_FIRST_COM, 0);
  FlushWindow();
  Busy(3);
  Busy(DEVICE_FIRST_COM);
  window->close();
  QMessageBox* box = Question();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Jobs are running on 2 devices (USB3, COM1).");
  Drain(core);
  auto* quit = box->findChild<QPushButton*>("closeQuestionQuit");
  ASSERT_NE(quit, nullptr);
  quit->click();
  EXPECT_TRUE(PumpUntil([&] { return !window->isVisible(); }));
  EXPECT_EQ(CancelsToCore(), (std::vector<platform::WParam>{3, DEVICE_FIRST_COM}));
  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Quit: cancelling the jobs running on 2 devices (USB3, COM1)"),
            lines.end());
}

TEST_F(ClosingTest, ExitAsksTooAndASecondCloseRaisesTheSameQuestion) {
  Open();
  Attach(3);
  Busy(3);
  window->OnCommand(ID_EXIT);
  QMessageBox* box = Question();
  ASSERT_NE(box, nullptr);
  window->close();
  EXPECT_EQ(window->findChildren<QMessageBox*>("closeQuestion").size(), 1u);
  box->findChild<QPushButton*>("closeQuestionQuit")->click();
  EXPECT_TRUE(PumpUntil([&] { return !window->isVisible(); }));
  EXPECT_EQ(CancelsToCore(), (std::vector<platform::WParam>{3}));
}

}  // namespace
}  // namespace maintest
