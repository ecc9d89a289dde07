#include "shell/app/expand_shortcut.h"

#include <filesystem>

#include "shell/log/post_log_line.h"

namespace fs = std::filesystem;

std::string ExpandShortcut(const std::string& path) {
  if (path.empty()) return path;
  try {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) {
      PostLogLine("Unable to load the file name.");
      return path;
    }
    // Follow the whole chain of links; a dangling link gives what it names.
    const fs::path target = fs::canonical(path, ec);
    if (!ec) return target.string();
    fs::path named = fs::read_symlink(path);
    if (named.is_relative()) named = fs::path(path).parent_path() / named;
    return named.lexically_normal().string();
  } catch (...) {
    PostLogLine("Unable to expand the shortcut '" + path + "'");
    return path;
  }
}
