#include "shell/download/kernel_update.h"

#include "engine/prompt/prompt_answer.h"
#include "shell/download/kernel_version.h"
#include "shell/download/product_download.h"
#include "shell/download/remote_text.h"

namespace {

constexpr const char* kKernelListPath = "/kernel/kernel_list.txt";

std::string AfterLastSlash(const std::string& line) {
  const std::size_t slash = line.find_last_of('/');
  return slash == std::string::npos ? line : line.substr(slash + 1);
}

// Logs why a kernel could not be saved.
void LogSaveFailure(const DownloadSettings& settings, SaveRemoteFileResult result, const std::string& name) {
  switch (result) {
    case SaveRemoteFileResult::AccessDenied:
      settings.log("Error> The file " + name + " is read-only and could not be updated.");
      break;
    case SaveRemoteFileResult::CreateFailed:
    case SaveRemoteFileResult::WriteFailed:
      settings.log("Error> Unable to save the file " + name);
      break;
    default:
      settings.log("Error> The kernels could not be updated");
      break;
  }
}

}  // namespace

bool CheckKernelUpdates(const DownloadSettings& settings, const KernelUpdateBox& showBox) {
  const auto list = FetchRemoteText(settings, ServerBase(settings.server) + kKernelListPath);
  if (!list) {
    settings.log("Error> Unable to check for kernel updates");
    return true;
  }
  settings.log("Checking for kernel updates");
  int answer = 0;  // asked once; the answer holds for the rest of the list
  for (const std::string& line : SplitTextLines(*list)) {
    if (line.empty()) continue;
    const std::string remoteName = AfterLastSlash(line);
    const KernelVersion remote = ParseKernelVersion(remoteName.substr(0, remoteName.find('.')));
    std::string localName = KernelFileForFamily(remote.family);
    if (localName.empty()) localName = remoteName;
    const KernelVersion local = ParseKernelVersion(ReadKernelFileVersion(settings, localName));
    if (local.minor >= remote.minor || local.kind == 'i') continue;
    if (answer == 0) answer = showBox("A kernel update is available.  Would you like to upgrade now?",
                                      kKernelBoxYesNoInformation);
    if (answer != kAnswerYes) continue;
    const SaveRemoteFileResult saved =
        LocalFileName(localName) ? SaveRemoteFile(settings, line, localName) : SaveRemoteFileResult::CreateFailed;
    if (saved != SaveRemoteFileResult::Saved) {
      LogSaveFailure(settings, saved, localName);
      return false;
    }
  }
  if (answer == kAnswerYes) showBox("The kernels were updated successfully.", kKernelBoxOk);
  return true;
}
