#include "shell/grid/product_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "engine/product/product_file_parser.h"
#include "engine/quillon_exception.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool IsProductFile(const std::filesystem::directory_entry& entry) {
  const std::string name = entry.path().filename().string();
  return entry.is_regular_file() && name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".qlp";
}

std::vector<std::string> ProductFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
    if (IsProductFile(entry)) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return CompareTags(a, b) < 0; });
  return names;
}

std::string DuplicateLine(const std::string& tag, const std::string& file, const std::string& listedFile) {
  char line[1024];
  if (file == listedFile) {
    std::snprintf(line, sizeof line, "Error> Duplicate product tag '%s'. found in file %s", tag.c_str(), file.c_str());
  } else {
    std::snprintf(line, sizeof line, "Error> Duplicate product tag '%s'. found in files %s and %s", tag.c_str(),
                  file.c_str(), listedFile.c_str());
  }
  return line;
}

}  // namespace

int CompareTags(const std::string& a, const std::string& b) {
  const std::string la = Lower(a);
  const std::string lb = Lower(b);
  return la < lb ? -1 : (la == lb ? 0 : 1);
}

int FindProductTag(const std::vector<ProductEntry>& entries, const std::string& tag) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (CompareTags(entries[i].tag, tag) == 0) return static_cast<int>(i);
  }
  return -1;
}

int InsertProductEntry(std::vector<ProductEntry>& entries, ProductEntry entry) {
  auto at = std::find_if(entries.begin(), entries.end(),
                         [&](const ProductEntry& e) { return CompareTags(e.tag, entry.tag) > 0; });
  at = entries.insert(at, std::move(entry));
  return static_cast<int>(at - entries.begin());
}

ProductScan ScanProductFiles(const std::string& folder, bool filterOn) {
  ProductScan scan;
  for (const std::string& file : ProductFilesIn(folder)) {
    const std::string path = folder.empty() ? file : (std::filesystem::path(folder) / file).string();
    ProductFileParser parser;
    std::string tag;
    int flag = 0;
    try {
      bool more = parser.ReadFirstProductName(path, tag, flag) == 1;
      while (more) {
        if (!filterOn || (flag & 1) != 0) {
          const int listed = FindProductTag(scan.entries, tag);
          if (listed >= 0) {
            scan.errorLine = DuplicateLine(tag, file, scan.entries[static_cast<std::size_t>(listed)].file);
            return scan;
          }
          InsertProductEntry(scan.entries, {file, tag});
        }
        more = parser.ReadNextProductName(tag, flag) == 1;
      }
    } catch (const QUILLON_EXCEPTION&) {
      // The parser has logged what is wrong with the file; the next one is read.
    }
  }
  return scan;
}
