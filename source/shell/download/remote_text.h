#pragma once
// Text files on the server: their lines, and the local name of an address.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/download/download_settings.h"

// The lines of a text, each without its line end (LF, or CR LF). A last
// line without a line end counts; the empty piece after a final line end
// does not.
std::vector<std::string> SplitTextLines(std::string_view text);

// Cuts a text that arrives in pieces into lines, each written with "\n" at
// its end, whatever line end it had.
class LineNormaliser {
 public:
  // The complete lines of piece (and of what was pending before it).
  std::string Take(std::string_view piece);
  // What is left after the last piece: a last line without a line end.
  std::string Finish();

 private:
  std::string pending_;
};

// The part of an address after its last "/" (the whole line when it has
// none); none when that is empty, "." or "..", which name no file.
std::optional<std::string> LocalFileName(std::string_view address);

// Fetches a text whole; none unless the server answered 200 and the whole
// body arrived.
std::optional<std::string> FetchRemoteText(const DownloadSettings& settings, const std::string& url);
