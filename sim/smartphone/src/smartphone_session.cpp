#include "smartphone_sim/smartphone_session.h"

#include <algorithm>

namespace smartphone_sim {

namespace {

constexpr std::size_t kFrameHeader = 5;
constexpr std::size_t kMaxFrame = 256 * 1024 * 1024;

std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void AppendFrame(std::vector<std::uint8_t>& out, char type, const std::uint8_t* data, std::size_t length) {
  out.push_back(static_cast<std::uint8_t>(type));
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(length >> shift));
  out.insert(out.end(), data, data + length);
}

void Say(std::vector<std::uint8_t>& out, const std::string& text) {
  AppendFrame(out, 'T', reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void Progress(std::vector<std::uint8_t>& out, int percent) {
  const std::uint8_t p = static_cast<std::uint8_t>(percent);
  AppendFrame(out, 'P', &p, 1);
}

void Prompt(std::vector<std::uint8_t>& out) { Say(out, ">"); }

// `l "name"` gives name; anything else gives an empty string.
std::string LoadLineFileName(const std::string& line) {
  if (line.size() < 4 || line.compare(0, 3, "l \"") != 0) return {};
  const auto close = line.find('"', 3);
  if (close == std::string::npos || close == 3) return {};
  return line.substr(3, close - 3);
}

}  // namespace

std::vector<std::uint8_t> SmartphoneSession::Feed(const std::uint8_t* data, std::size_t length) {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> out;
  pending_.insert(pending_.end(), data, data + length);
  std::size_t offset = 0;
  while (pending_.size() - offset >= kFrameHeader) {
    const std::uint32_t size = Get32(pending_.data() + offset + 1);
    if (size > kMaxFrame) {  // a broken link: drop everything and start over
      pending_.clear();
      return out;
    }
    if (pending_.size() - offset - kFrameHeader < size) break;
    const char type = static_cast<char>(pending_[offset]);
    std::vector<std::uint8_t> frame(pending_.begin() + static_cast<long>(offset + kFrameHeader),
                                    pending_.begin() + static_cast<long>(offset + kFrameHeader + size));
    offset += kFrameHeader + size;
    HandleFrame(type, frame, out);
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(offset));
  return out;
}

void SmartphoneSession::HandleFrame(char type, const std::vector<std::uint8_t>& data,
                                    std::vector<std::uint8_t>& out) {
  if (type == 'L') HandleLine(std::string(data.begin(), data.end()), out);
  if (type == 'F') HandleFile(data, out);
}

void SmartphoneSession::HandleLine(const std::string& raw, std::vector<std::uint8_t>& out) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  transcript_.push_back(line);
  if (faults_.silent) return;
  // No echo: the host reads the output for the words of a failure, and a
  // file name must not be mistaken for one.
  if (line == "format 1") {
    Say(out, "Formatting file system\r\n");
    for (int p = 0; p <= 100; p += 25) Progress(out, p);
    if (faults_.failFormat) {
      Say(out, "Format error\r\n");
    } else {
      files_.clear();
      Say(out, "Format complete\r\n");
    }
    Prompt(out);
    return;
  }
  if (const std::string name = LoadLineFileName(line); !name.empty()) {
    awaitedFile_ = name;  // the prompt follows the file
    return;
  }
  Say(out, "Unknown command\r\n");
  Prompt(out);
}

void SmartphoneSession::HandleFile(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out) {
  if (faults_.silent) return;
  if (data.size() < 4 || Get32(data.data()) > data.size() - 4) {
    Say(out, "Transfer failed: bad file frame\r\n");
    Prompt(out);
    return;
  }
  const std::uint32_t nameLength = Get32(data.data());
  const std::string path(data.begin() + 4, data.begin() + 4 + nameLength);
  const std::vector<std::uint8_t> contents(data.begin() + 4 + nameLength, data.end());
  const std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  if (awaitedFile_.empty()) {
    Say(out, "Transfer failed: no load command\r\n");
  } else if (faults_.failTransfers) {
    Progress(out, 0);
    Say(out, "Transfer failed\r\n");
  } else if (UsedBytes() + contents.size() > faults_.capacity) {
    Say(out, "Transfer failed: file system full\r\n");
  } else {
    Say(out, "Receiving " + name + "\r\n");
    for (int p = 0; p <= 100; p += 20) Progress(out, p);
    files_[name] = contents;
    Say(out, "Transfer complete\r\n");
  }
  awaitedFile_.clear();
  Prompt(out);
}

std::size_t SmartphoneSession::UsedBytes() const {
  std::size_t used = 0;
  for (const auto& [name, contents] : files_) used += contents.size();
  return used;
}

std::map<std::string, std::vector<std::uint8_t>> SmartphoneSession::Files() const {
  std::lock_guard lock(mutex_);
  return files_;
}

std::vector<std::string> SmartphoneSession::Transcript() const {
  std::lock_guard lock(mutex_);
  return transcript_;
}

void SmartphoneSession::SetFaults(const SessionFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

}  // namespace smartphone_sim
