#include "shell/requests/image_file_check.h"

#include <cctype>
#include <fstream>

namespace {

// The longest first line looked at: an S-record line is at most 514
// characters ("S", type, 255 bytes as hex digits).
constexpr std::size_t kLongestRecordLine = 520;

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// "S", a record type digit, then hex digits only (a CR before the LF is
// allowed), at least the count byte.
bool IsSRecordLine(const std::string& line) {
  std::string text = line;
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) text.pop_back();
  if (text.size() < 4 || (text[0] != 'S' && text[0] != 's')) return false;
  if (std::isdigit(static_cast<unsigned char>(text[1])) == 0) return false;
  for (std::size_t i = 2; i < text.size(); ++i) {
    if (!IsHexDigit(text[i])) return false;
  }
  return true;
}

bool IsBlank(const std::string& line) {
  for (const char c : line) {
    if (std::isspace(static_cast<unsigned char>(c)) == 0) return false;
  }
  return true;
}

}  // namespace

ImageFileCheck CheckImageFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return ImageFileCheck::Unreadable;
  std::string line;
  while (true) {
    line.clear();
    char c = 0;
    while (file.get(c) && c != '\n') {
      line.push_back(c);
      if (line.size() > kLongestRecordLine) return ImageFileCheck::NotSRecords;
    }
    if (!IsBlank(line)) return IsSRecordLine(line) ? ImageFileCheck::SRecords : ImageFileCheck::NotSRecords;
    if (!file) return ImageFileCheck::NotSRecords;  // empty, or blank to its end
  }
}

std::string NotSRecordsLine(const std::string& path) {
  return "Error> " + path + " is not an S-record file: the radio's loader reads S-record images (.s19) only.";
}
