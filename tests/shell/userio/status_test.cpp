#include <gtest/gtest.h>

#include <algorithm>

#include "user_io_fixture.h"

namespace shell_test {
namespace {

class StatusTest : public UserIoFixture {
 protected:
  void SetUp() override {
    WriteDefaultProduct();
    Start();
  }
};

struct Step {
  std::int32_t state;
  const char* text;
};

struct StatusCase {
  const char* name;
  std::vector<Step> reports;
  const char* resetArgument;  // nullptr: no reset
  const char* expected;
};

class StatusTable : public StatusTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTable, AnswersTheHeldStatus) {
  for (const Step& step : GetParam().reports) Report(step.state, step.text);
  if (GetParam().resetArgument) Query(QUERY_STATUS, GetParam().resetArgument);
  EXPECT_EQ(Status(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Machine, StatusTable,
    ::testing::Values(
        StatusCase{"BusyReplacesIdle", {{STATUS_BUSY, "Flashing 40%"}}, nullptr, "BUSY \"Flashing 40%\""},
        StatusCase{"DoneAfterBusy", {{STATUS_BUSY, "x"}, {STATUS_DONE, "Processing Complete"}}, nullptr,
                   "DONE \"Processing Complete\""},
        StatusCase{"ErrorIsSticky", {{STATUS_ERROR, "Link lost"}, {STATUS_DONE, "Processing Complete"}}, nullptr,
                   "ERROR \"Link lost\""},
        StatusCase{"ResetInAnyCase", {{STATUS_ERROR, "Link lost"}}, "rEsEt", "IDLE \"Status reset to idle\""},
        StatusCase{"ReportsCountAgainAfterReset", {{STATUS_ERROR, "e"}}, "RESET", "IDLE \"Status reset to idle\""},
        StatusCase{"OtherArgumentsDoNotReset", {{STATUS_ERROR, "e"}}, "restart", "ERROR \"e\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StatusTest, ResetCancelsTheErrorRowsOfTheWindow) {
  mainWindow.TakeAll();
  Query(QUERY_STATUS, "reset");
  EXPECT_EQ(WindowMessages(), std::vector<std::uint32_t>{WM_RESET_ALL_ROWS});
  Report(STATUS_BUSY, "again");
  EXPECT_EQ(Status(), "BUSY \"again\"");
}

// The core's "queue empty" DONE says how many accepted jobs it had received;
// one from before the latest accepted job is about earlier work.
void ReportQueueEmpty(std::int64_t acceptedJobsReceived) {
  auto report = std::make_unique<StatusReport>();
  report->state = STATUS_DONE;
  report->text = "Processing Complete";
  report->acceptedJobsReceived = acceptedJobsReceived;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
}

void ReportJobAccepted() {
  auto report = std::make_unique<StatusReport>();
  report->state = STATUS_BUSY;
  report->text = "Job queued";
  report->acceptsJob = true;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
}

TEST_F(StatusTest, AnAcceptedJobIsBusyUntilTheCoreHasSeenItAndRunEmpty) {
  ReportQueueEmpty(0);
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
  ReportJobAccepted();
  ReportQueueEmpty(0);  // the core ran empty before the job reached it
  EXPECT_EQ(Status(), "BUSY \"Job queued\"");
  ReportJobAccepted();
  ReportQueueEmpty(1);
  EXPECT_EQ(Status(), "BUSY \"Job queued\"");
  ReportQueueEmpty(2);
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
  // Other DONE reports are taken as they come.
  Report(STATUS_DONE, "Processing Complete");
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
}

TEST_F(StatusTest, DeleteIsBusyFromItsQueryOnAndCountsAsAcceptedWhileErrorHolds) {
  ReportQueueEmpty(0);
  EXPECT_EQ(Query(QUERY_DELETE, "old.s19"), "");
  EXPECT_EQ(Status(), "BUSY \"Job queued\"");
  ReportQueueEmpty(0);
  EXPECT_EQ(Status(), "BUSY \"Job queued\"");
  Report(STATUS_ERROR, "Link lost");
  ReportJobAccepted();  // counted, though ERROR holds
  // The reset clears the ERROR; the core says accepted work remains, so
  // the state is BUSY until that work has ended.
  coreReset.workRemains = true;
  Query(QUERY_STATUS, "RESET");
  EXPECT_EQ(Status(), "BUSY \"Job queued\"");
  ReportQueueEmpty(1);
  EXPECT_EQ(Status(), "BUSY \"Job queued\"");
  ReportQueueEmpty(2);
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
}

void ReportFlagged(std::int32_t state, const char* text, bool progressOnly, bool lineWork) {
  auto report = std::make_unique<StatusReport>();
  report->state = state;
  report->text = text;
  report->progressOnly = progressOnly;
  report->lineWork = lineWork;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
}

// The grid's progress text is taken while work runs; it never turns a DONE,
// an IDLE or an ERROR into BUSY.
TEST_F(StatusTest, ProgressTextIsTakenOnlyWhileBusy) {
  ReportQueueEmpty(0);
  ReportFlagged(STATUS_BUSY, "Flashing 99%", true, false);
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
  ReportJobAccepted();
  ReportFlagged(STATUS_BUSY, "Flashing 45%", true, false);
  EXPECT_EQ(Status(), "BUSY \"Flashing 45%\"");
  Report(STATUS_ERROR, "USB5> Flash failed");
  ReportFlagged(STATUS_BUSY, "Flashing 46%", true, false);
  EXPECT_EQ(Status(), "ERROR \"USB5> Flash failed\"");
}

// A line that works itself (a download, a script) ends DONE only when no
// queued work still runs.
TEST_F(StatusTest, ALinesOwnDoneWaitsForQueuedWork) {
  ReportJobAccepted();
  ReportFlagged(STATUS_BUSY, "Running script", false, true);
  ReportFlagged(STATUS_DONE, "Processing Complete", false, true);
  EXPECT_EQ(Status(), "BUSY \"Running script\"");
  ReportQueueEmpty(1);
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
  ReportFlagged(STATUS_BUSY, "Running script", false, true);
  ReportFlagged(STATUS_DONE, "Processing Complete", false, true);
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
}

TEST_F(StatusTest, AnErrorWithoutTextTakesTheLastErrorLineWithItsSentencesOnLines) {
  Log("USB2> Error> Flash failed. Check the cable.");
  Report(STATUS_ERROR, "");
  EXPECT_EQ(Status(), "ERROR \"Error> Flash failed\r\nCheck the cable.\"");
}

TEST_F(StatusTest, EveryWrittenLineGoesToTheWindowsStatusBarInOrder) {
  Log("USB2> Flashing radio.s19");
  Log("USB2> Error> Flash failed. Check the cable.");
  Flush();
  const auto lines = window->LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "USB2> Flashing radio.s19");
  EXPECT_EQ(lines.back(), "USB2> Error> Flash failed. Check the cable.");
  EXPECT_NE(LogText().find("USB2> Error> Flash failed. Check the cable."), std::string::npos);
}

TEST_F(StatusTest, AnErrorWithoutTextAndWithoutALogIsUndefined) {
  Flush();
  std::filesystem::remove(dir.File("Vexa20 Flash.log"));
  Report(STATUS_ERROR, "");
  EXPECT_EQ(Status(), "ERROR \"Error> undefined Quillon error\"");
}

TEST_F(StatusTest, ATitleTextMakesTheStatusBusyWhenIdle) {
  PostToTarget<WM_STATUS_TEXT>(PT_USER_IO, std::make_unique<std::string>("Flashing radio.s19"), 3);
  EXPECT_TRUE(WaitForStatus("BUSY \"3 Flashing radio.s19\""));
  const auto titles = window->Titles();
  // Shown at once without the new prefix, then with it by the idle pass.
  const auto first = std::find(titles.begin(), titles.end(), "Flashing radio.s19");
  ASSERT_NE(first, titles.end());
  EXPECT_NE(std::find(first, titles.end(), "3 Flashing radio.s19"), titles.end());
  EXPECT_EQ(titles.back(), "3 Flashing radio.s19");
}

TEST_F(StatusTest, RefreshTitleEndsTheBusyTitle) {
  PostToTarget<WM_STATUS_TEXT>(PT_USER_IO, std::make_unique<std::string>("Working"), 1);
  Flush();
  PostToTarget<WM_REFRESH_TITLE>(PT_USER_IO);
  Report(STATUS_DONE, "Processing Complete");
  EXPECT_EQ(Status(), "DONE \"Processing Complete\"");
  EXPECT_EQ(window->Titles().back(), "Vexa20 Flash");
}

TEST_F(StatusTest, ATitleTextDoesNotEndAnError) {
  Report(STATUS_ERROR, "bad");
  PostToTarget<WM_STATUS_TEXT>(PT_USER_IO, std::make_unique<std::string>("Working"), 0);
  Flush();
  EXPECT_EQ(Status(), "ERROR \"bad\"");
}

TEST_F(StatusTest, AlwaysOnTopFollowsTheOption) {
  settings.SetIntParam(OPTION_ALWAYS_ON_TOP, 0);
  PostToTarget<WM_APPLY_ALWAYS_ON_TOP>(PT_USER_IO);
  Flush();
  settings.SetIntParam(OPTION_ALWAYS_ON_TOP, 1);
  PostToTarget<WM_APPLY_ALWAYS_ON_TOP>(PT_USER_IO);
  Flush();
  EXPECT_EQ(window->OnTop(), (std::vector<bool>{false, true}));
}

TEST_F(StatusTest, TheIdleGuardDropsALogAboveOneMebibyte) {
  Flush();
  std::filesystem::resize_file(dir.File("Vexa20 Flash.log"), 1048577);
  Log("wakes the thread");  // written to the big file; the idle pass after it drops the file
  EXPECT_TRUE(WaitUntil([&] { return !dir.Exists("Vexa20 Flash.log"); }));
  Log("fresh");
  Flush();
  const std::string text = LogText();
  EXPECT_LT(text.size(), 1000u);
  EXPECT_NE(text.find("] fresh\n"), std::string::npos);
}

}  // namespace
}  // namespace shell_test
