#include "shell/download/remote_text.h"

std::string ServerBase(const std::string& server) {
  std::string base = server;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string InWorkingDirectory(const DownloadSettings& settings, const std::string& name) {
  const std::string& folder = settings.workingDirectory;
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  LineNormaliser normaliser;
  std::string normalised = normaliser.Take(text);
  normalised += normaliser.Finish();
  std::size_t start = 0;
  for (std::size_t end = normalised.find('\n'); end != std::string::npos; end = normalised.find('\n', start)) {
    lines.push_back(normalised.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string LineNormaliser::Take(std::string_view piece) {
  std::string out;
  for (char c : piece) {
    if (c != '\n') {
      pending_.push_back(c);
      continue;
    }
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    out += pending_;
    out.push_back('\n');
    pending_.clear();
  }
  return out;
}

std::string LineNormaliser::Finish() {
  if (pending_.empty()) return {};
  std::string last = std::move(pending_);
  pending_.clear();
  if (last.back() == '\r') last.pop_back();
  return last + "\n";
}

std::optional<std::string> LocalFileName(std::string_view address) {
  const std::size_t slash = address.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? address : address.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  return std::string(name);
}

std::optional<std::string> FetchRemoteText(const DownloadSettings& settings, const std::string& url) {
  std::string body;
  const auto result = platform::HttpGet(
      url, settings.http, [](long status) { return status == 200; },
      [&body](std::string_view piece) {
        body.append(piece);
        return true;
      });
  if (!result.completed) return std::nullopt;
  return body;
}
