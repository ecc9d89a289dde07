#include "shell/download/product_download.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/status_report.h"
#include "platform/file_finder.h"
#include "platform/file_io.h"
#include "shell/download/remote_text.h"
#include "shell/log/post_log_line.h"

namespace {

constexpr const char* kProductListPath = "/qlp/qlp_list.txt";

// Receives one remote file into a temporary file beside its target.
class RemoteFileReceiver {
 public:
  RemoteFileReceiver(const DownloadSettings& settings, const std::string& address, const std::string& name)
      : settings_(settings), address_(address), name_(name), path_(InWorkingDirectory(settings, name)) {}

  bool OnStatus(long status) {
    if (status != 200) return false;
    settings_.log("Saving remote file " + address_ + " as " + name_);
    if (platform::IsReadOnlyFile(path_)) {
      result_ = SaveRemoteFileResult::AccessDenied;
      return false;
    }
    if (!writer_.Open(path_)) {
      result_ = SaveRemoteFileResult::CreateFailed;
      return false;
    }
    return true;
  }

  bool OnBody(std::string_view piece) { return Write(lines_.Take(piece)); }

  SaveRemoteFileResult Finish(bool transferred) {
    if (result_ != SaveRemoteFileResult::RemoteFailed) return result_;
    if (!transferred) return SaveRemoteFileResult::RemoteFailed;
    if (!Write(lines_.Finish()) || !writer_.Commit()) return SaveRemoteFileResult::WriteFailed;
    return SaveRemoteFileResult::Saved;
  }

 private:
  bool Write(const std::string& text) {
    if (text.empty() || writer_.Write(text.data(), text.size())) return true;
    result_ = SaveRemoteFileResult::WriteFailed;
    return false;
  }

  const DownloadSettings& settings_;
  const std::string& address_;
  const std::string& name_;
  std::string path_;
  platform::AtomicFileWriter writer_;  // discards its temporary file unless committed
  LineNormaliser lines_;
  SaveRemoteFileResult result_ = SaveRemoteFileResult::RemoteFailed;
};

// A name that is no file of the working directory: empty, "." or "..".
bool NamesLocalFile(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

std::string NoLocalFileLine(const std::string& address) {
  return "Error> The list entry " + address + " names no file to save";
}

void PostStatus(StatusReportState state, const char* text) {
  auto report = std::make_unique<StatusReport>();
  report->state = state;
  report->text = text;
  report->lineWork = true;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
}

}  // namespace

SaveRemoteFileResult SaveRemoteFile(const DownloadSettings& settings, const std::string& address,
                                    const std::string& name) {
  if (!NamesLocalFile(name)) {
    settings.log(NoLocalFileLine(address));
    return SaveRemoteFileResult::CreateFailed;
  }
  RemoteFileReceiver receiver(settings, address, name);
  const auto result = platform::HttpGet(
      address, settings.http, [&receiver](long status) { return receiver.OnStatus(status); },
      [&receiver](std::string_view piece) { return receiver.OnBody(piece); });
  return receiver.Finish(result.completed);
}

bool DownloadProductFiles(const DownloadSettings& settings) {
  const auto list = FetchRemoteText(settings, ServerBase(settings.server) + kProductListPath);
  if (!list) return false;
  for (const std::string& line : SplitTextLines(*list)) {
    if (line.empty()) continue;
    const auto name = LocalFileName(line);
    if (!name) {
      settings.log(NoLocalFileLine(line));
      return false;
    }
    if (SaveRemoteFile(settings, line, *name) != SaveRemoteFileResult::Saved) return false;
  }
  return true;
}

void OnDownloadProductFiles(const DownloadSettings& settings, bool fromScript,
                            const std::function<void()>& reselectProduct) {
  settings.log("Downloading the latest QLP files from " + settings.server);
  if (DownloadProductFiles(settings)) {
    if (fromScript) {
      PostStatus(STATUS_DONE, "Processing Complete");
    } else {
      PostToTarget<WM_SHOW_PRODUCT_LIST>(PT_MAIN_WINDOW);
    }
    return;
  }
  settings.log("Error> Unable to download the latest QLPs from server. " + settings.server);
  if (fromScript) {
    PostStatus(STATUS_ERROR, "");
    return;
  }
  if (reselectProduct) reselectProduct();
  PostErrorPrompt();
}
