// The product-file download against a real HTTP server on loopback.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "download_fixture.h"
#include "engine/core/messages.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "shell/download/product_download.h"
#include "shell/download/remote_text.h"

namespace {

using Lines = std::vector<std::string>;

class ProductDownloadTest : public DownloadTest {
 protected:
  // The one message the user-I/O queue holds, as {number, state, text} for
  // a status report.
  void ExpectStatus(StatusReportState state, const std::string& text) {
    auto message = userIo_.queue().TryGet();
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->number, WM_SET_STATUS);
    auto report = message->Take<WM_SET_STATUS>();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->state, state);
    EXPECT_EQ(report->text, text);
    EXPECT_TRUE(userIo_.queue().Empty());
    EXPECT_TRUE(mainWindow_.queue().Empty());
  }
  std::string FailureLine() const { return "Error> Unable to download the latest QLPs from server. " + settings_.server; }
  std::string StartLine() const { return "Downloading the latest QLP files from " + settings_.server; }
};

TEST_F(ProductDownloadTest, TwoFilesSavedInListOrderReplacingOlderCopies) {
  WriteLocal("alpha.qlp", "old alpha\n");
  WriteLocal("beta.qlp", "old beta\n");
  const std::string alpha = server_.Url("/files/alpha.qlp");
  const std::string beta = server_.Url("/other/dir/beta.qlp");
  ServeList(alpha + "\n" + beta + "\n");
  server_.Serve("/files/alpha.qlp", {200, "PRODUCT alpha\r\n{\r\n}"});
  server_.Serve("/other/dir/beta.qlp", {200, "PRODUCT beta\n"});

  OnDownloadProductFiles(settings_, false, [] { FAIL() << "no reselection after success"; });

  EXPECT_EQ(log_, (Lines{StartLine(), "Saving remote file " + alpha + " as alpha.qlp",
                         "Saving remote file " + beta + " as beta.qlp"}));
  EXPECT_EQ(ReadLocal("alpha.qlp"), "PRODUCT alpha\n{\n}\n");
  EXPECT_EQ(ReadLocal("beta.qlp"), "PRODUCT beta\n");
  EXPECT_EQ(RequestedPaths(), (Lines{"/qlp/qlp_list.txt", "/files/alpha.qlp", "/other/dir/beta.qlp"}));
  EXPECT_EQ(FolderEntries(), (Lines{"alpha.qlp", "beta.qlp"}));
  // From the user: the main window opens the product list.
  auto message = mainWindow_.queue().TryGet();
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->number, WM_SHOW_PRODUCT_LIST);
  EXPECT_TRUE(userIo_.queue().Empty());
}

TEST_F(ProductDownloadTest, RequestsAskForAFreshCopy) {
  ServeList("");
  EXPECT_TRUE(DownloadProductFiles(settings_));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].headers.find("Cache-Control: no-cache"), std::string::npos) << requests[0].headers;
  EXPECT_NE(requests[0].headers.find("Pragma: no-cache"), std::string::npos) << requests[0].headers;
}

TEST_F(ProductDownloadTest, ScriptSuccessReportsDone) {
  ServeList(server_.Url("/a.qlp"));  // a last line without a line end
  server_.Serve("/a.qlp", {200, ""});
  OnDownloadProductFiles(settings_, true, nullptr);
  EXPECT_EQ(ReadLocal("a.qlp"), "");
  ExpectStatus(STATUS_DONE, "Processing Complete");
}

TEST_F(ProductDownloadTest, BaseWithTrailingSlashesGivesTheSameListAddress) {
  settings_.server = server_.Url("") + "///";
  ServeList("");
  EXPECT_TRUE(DownloadProductFiles(settings_));
  EXPECT_EQ(RequestedPaths(), Lines{"/qlp/qlp_list.txt"});
}

TEST_F(ProductDownloadTest, ListNotFoundWritesNothingAndScriptGetsError) {
  OnDownloadProductFiles(settings_, true, nullptr);
  EXPECT_EQ(log_, (Lines{StartLine(), FailureLine()}));
  EXPECT_TRUE(FolderEntries().empty());
  ExpectStatus(STATUS_ERROR, "");
}

TEST_F(ProductDownloadTest, FailureFromTheUserReselectsTheProductThenShowsTheErrorBox) {
  int reselected = 0;
  OnDownloadProductFiles(settings_, false, [&] {
    EXPECT_EQ(log_.back(), FailureLine());  // the line is logged before the box is asked for
    ++reselected;
  });
  EXPECT_EQ(reselected, 1);
  auto message = userIo_.queue().TryGet();
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->number, WM_USER_PROMPT);
  auto prompt = message->Take<WM_USER_PROMPT>();
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(prompt->kind, PROMPT_ERROR);
  EXPECT_EQ(prompt->replyTarget, PT_USER_IO);
  EXPECT_EQ(prompt->wantReply, 0);
  EXPECT_TRUE(userIo_.queue().Empty());
  EXPECT_TRUE(mainWindow_.queue().Empty());
}

TEST_F(ProductDownloadTest, ServerErrorOnSecondFileKeepsTheFirstAndTheOldSecond) {
  WriteLocal("second.qlp", "old second\n");
  ServeList(server_.Url("/first.qlp") + "\n" + server_.Url("/second.qlp") + "\n");
  server_.Serve("/first.qlp", {200, "new first\n"});
  server_.Serve("/second.qlp", {500, "broken"});
  OnDownloadProductFiles(settings_, true, nullptr);
  EXPECT_EQ(ReadLocal("first.qlp"), "new first\n");
  EXPECT_EQ(ReadLocal("second.qlp"), "old second\n");
  EXPECT_EQ(log_, (Lines{StartLine(), "Saving remote file " + server_.Url("/first.qlp") + " as first.qlp",
                         FailureLine()}));
  ExpectStatus(STATUS_ERROR, "");
}

TEST_F(ProductDownloadTest, ConnectionRefusedFails) {
  settings_.server = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::UnusedPort());
  OnDownloadProductFiles(settings_, true, nullptr);
  EXPECT_EQ(log_, (Lines{StartLine(), FailureLine()}));
  ExpectStatus(STATUS_ERROR, "");
}

TEST_F(ProductDownloadTest, RedirectsAreFollowedToTheirAnswer) {
  server_.Serve("/qlp/qlp_list.txt", {302, "moved", "/real/list.txt"});
  server_.Serve("/real/list.txt", {200, server_.Url("/short/name.qlp") + "\n"});
  server_.Serve("/short/name.qlp", {301, "redirect body", server_.Url("/long/name.qlp")});
  server_.Serve("/long/name.qlp", {200, "the real file\n"});
  EXPECT_TRUE(DownloadProductFiles(settings_));
  EXPECT_EQ(ReadLocal("name.qlp"), "the real file\n");
  EXPECT_EQ(RequestedPaths(), (Lines{"/qlp/qlp_list.txt", "/real/list.txt", "/short/name.qlp", "/long/name.qlp"}));
}

TEST_F(ProductDownloadTest, CrLfListWithBlankLinesNamesFilesWithoutCarriageReturns) {
  ServeList(server_.Url("/one.qlp") + "\r\n\r\n" + server_.Url("/two.qlp") + "\r\n");
  server_.Serve("/one.qlp", {200, "1\r\n"});
  server_.Serve("/two.qlp", {200, "2\r\n"});
  EXPECT_TRUE(DownloadProductFiles(settings_));
  EXPECT_EQ(FolderEntries(), (Lines{"one.qlp", "two.qlp"}));
  EXPECT_EQ(ReadLocal("two.qlp"), "2\n");
}

TEST_F(ProductDownloadTest, InterruptedTransferLeavesTheOldCopyIntact) {
  WriteLocal("keep.qlp", "working product\n");
  ServeList(server_.Url("/keep.qlp") + "\n");
  HttpReply cut{200, std::string(5000, 'x') + "\n"};
  cut.cutAfter = 1000;
  server_.Serve("/keep.qlp", cut);
  OnDownloadProductFiles(settings_, true, nullptr);
  EXPECT_EQ(ReadLocal("keep.qlp"), "working product\n");
  EXPECT_EQ(FolderEntries(), Lines{"keep.qlp"});  // no temporary file left behind
  ExpectStatus(STATUS_ERROR, "");
}

TEST_F(ProductDownloadTest, StalledTransferIsAbandoned) {
  settings_.http.stallSeconds = 1;
  WriteLocal("slow.qlp", "old\n");
  HttpReply stall{200, std::string(100, 'y')};
  stall.cutAfter = 0;  // the status line and headers, then nothing
  stall.stallAfterCut = true;
  server_.Serve("/slow.qlp", stall);
  EXPECT_EQ(SaveRemoteFile(settings_, server_.Url("/slow.qlp"), "slow.qlp"), SaveRemoteFileResult::RemoteFailed);
  EXPECT_EQ(ReadLocal("slow.qlp"), "old\n");
}

// A list line without a local name fails with its own line, before the
// server is asked for it and without the saving line.
TEST_F(ProductDownloadTest, ListedNamesThatNameNoFileFailTheDownload) {
  for (const char* line : {"/dir/", "/dir/..", "/."}) {
    log_.clear();
    ServeList(server_.Url(line) + "\n" + server_.Url("/after.qlp") + "\n");
    EXPECT_FALSE(DownloadProductFiles(settings_)) << line;
    EXPECT_EQ(log_, Lines{"Error> The list entry " + server_.Url(line) + " names no file to save"});
  }
  EXPECT_EQ(RequestedPaths(), (Lines{"/qlp/qlp_list.txt", "/qlp/qlp_list.txt", "/qlp/qlp_list.txt"}));
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(ProductDownloadTest, SavingUnderNoNameAsksNothing) {
  server_.Serve("/f.qlp", {200, "x\n"});
  for (const char* name : {"", ".", ".."}) {
    EXPECT_EQ(SaveRemoteFile(settings_, server_.Url("/f.qlp"), name), SaveRemoteFileResult::CreateFailed) << name;
  }
  EXPECT_TRUE(RequestedPaths().empty());
  EXPECT_EQ(log_, Lines(3, "Error> The list entry " + server_.Url("/f.qlp") + " names no file to save"));
}

TEST_F(ProductDownloadTest, AScriptDownloadWithANamelessEntryEndsInError) {
  ServeList(server_.Url("/dir/") + "\n");
  OnDownloadProductFiles(settings_, true, [] { FAIL() << "no reselection from a script"; });
  EXPECT_EQ(log_, (Lines{StartLine(), "Error> The list entry " + server_.Url("/dir/") + " names no file to save",
                         FailureLine()}));
  ExpectStatus(STATUS_ERROR, "");
}

TEST_F(ProductDownloadTest, ReadOnlyLocalFileIsNotReplaced) {
  WriteLocal("locked.qlp", "locked\n");
  ASSERT_EQ(::chmod((folder_ + "/locked.qlp").c_str(), 0444), 0);
  server_.Serve("/locked.qlp", {200, "new\n"});
  EXPECT_EQ(SaveRemoteFile(settings_, server_.Url("/locked.qlp"), "locked.qlp"), SaveRemoteFileResult::AccessDenied);
  EXPECT_EQ(ReadLocal("locked.qlp"), "locked\n");
}

TEST_F(ProductDownloadTest, MissingWorkingFolderCannotCreateTheFile) {
  settings_.workingDirectory = folder_ + "/absent/";
  server_.Serve("/f.qlp", {200, "x\n"});
  EXPECT_EQ(SaveRemoteFile(settings_, server_.Url("/f.qlp"), "f.qlp"), SaveRemoteFileResult::CreateFailed);
}

struct NameCase {
  const char* address;
  const char* name;  // null: refused
};

TEST(LocalFileName, AfterTheLastSlash) {
  const NameCase cases[] = {
      {"http://host/a/b.qlp", "b.qlp"}, {"b.qlp", "b.qlp"},   {"http://host/dir/", nullptr},
      {"http://host/..", nullptr},      {"http://host/.", nullptr}, {"", nullptr},
      {"http://host/a.b/..c", "..c"},
  };
  for (const auto& c : cases) {
    const auto name = LocalFileName(c.address);
    if (c.name == nullptr) {
      EXPECT_FALSE(name.has_value()) << c.address;
    } else {
      EXPECT_EQ(name.value_or("<none>"), c.name) << c.address;
    }
  }
}

TEST(SplitTextLines, Table) {
  EXPECT_EQ(SplitTextLines(""), Lines{});
  EXPECT_EQ(SplitTextLines("a"), Lines{"a"});
  EXPECT_EQ(SplitTextLines("a\n"), Lines{"a"});
  EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\n\nb\r"), (Lines{"a", "", "b"}));
}

TEST(LineNormaliser, CarriageReturnSplitAcrossPieces) {
  LineNormaliser lines;
  std::string out = lines.Take("one\r");
  out += lines.Take("\ntwo");
  out += lines.Finish();
  EXPECT_EQ(out, "one\ntwo\n");
}

}  // namespace

#include "shell/download/download_from_settings.h"

namespace {

TEST_F(ProductDownloadTest, SettingsComeFromTheSharedSettingsAndLinesGoToTheUserIoThread) {
  CAppSettings shared;
  shared.SetAppString(APP_STRING_WORKING_DIRECTORY, folder_ + "/");
  shared.SetStringParam(OPTION_SERVER, server_.Url("/"));
  ServeList(server_.Url("/p.qlp") + "\n");
  server_.Serve("/p.qlp", {200, "p\n"});
  OnDownloadProductFiles(DownloadSettingsFrom(shared), true, nullptr);
  EXPECT_EQ(ReadLocal("p.qlp"), "p\n");
  Lines lines;
  std::optional<platform::Message> message;
  while ((message = userIo_.queue().TryGet()) && message->number == WM_LOG_LINE) {
    lines.push_back(*message->Take<WM_LOG_LINE>());
  }
  EXPECT_EQ(lines, (Lines{"Downloading the latest QLP files from " + server_.Url("/"),
                          "Saving remote file " + server_.Url("/p.qlp") + " as p.qlp"}));
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->number, WM_SET_STATUS);
}

}  // namespace
