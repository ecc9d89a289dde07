#pragma once
// The product-file update: the server publishes a list ("/qlp/qlp_list.txt"
// below its base address) with the full address of one file per line; every
// listed file is fetched into the working directory under the name after
// the line's last "/", over any older copy.
//
// A file is written to a temporary file beside its target and renamed over
// the old copy only when it arrived whole, so a failed transfer never
// destroys a working product file. Files saved before a failure stay.

#include <functional>
#include <string>

#include "shell/download/download_settings.h"

enum class SaveRemoteFileResult {
  Saved,
  RemoteFailed,  // unreachable, a status other than 200, or a broken transfer
  AccessDenied,  // the local file is read-only
  CreateFailed,  // the local file cannot be created
  WriteFailed,   // writing or replacing the local file failed
};

// Fetches one text file into the working directory as name, each line
// written with "\n" at its end. Logs "Saving remote file %s as %s" once the
// server has answered 200. A name that names no file (empty, "." or "..")
// asks the server nothing: it logs "Error> The list entry %s names no file
// to save" and gives CreateFailed.
SaveRemoteFileResult SaveRemoteFile(const DownloadSettings& settings, const std::string& address,
                                    const std::string& name);

// Fetches the list and every file it names, in list order; false at the
// first failure. Blank lines of the list name nothing and are passed over;
// a line whose local name would be empty (it ends in "/") fails the
// download with the line above, before its file is asked for.
bool DownloadProductFiles(const DownloadSettings& settings);

// The handler of WM_DOWNLOAD_PRODUCT_FILES on the user-I/O thread. On
// success it posts {DONE, "Processing Complete"} as WM_SET_STATUS to the
// user-I/O thread (from a script) or WM_SHOW_PRODUCT_LIST to the main window
// (from the user). On failure it logs "Error> Unable to download the latest
// QLPs from server. %s"; then from a script it posts {ERROR, ""} as
// WM_SET_STATUS, and from the user it calls reselectProduct (which posts
// the current product's selection to the user-I/O thread again) and posts
// an error prompt that shows that line.
void OnDownloadProductFiles(const DownloadSettings& settings, bool fromScript,
                            const std::function<void()>& reselectProduct);
