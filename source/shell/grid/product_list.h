#pragma once
// The product selector's list: every product tag of the product files
// (*.qlp) in a folder, sorted without regard to case, each with the file
// that declares it. A tag declared twice stops the scan with an error line.

#include <string>
#include <vector>

struct ProductEntry {
  std::string file;  // file name, without folder
  std::string tag;

  bool operator==(const ProductEntry&) const = default;
};

struct ProductScan {
  std::vector<ProductEntry> entries;
  std::string errorLine;  // set when the scan stopped at a duplicate tag
};

// With the filter on, only tags whose flag bit 0 is set are listed.
ProductScan ScanProductFiles(const std::string& folder, bool filterOn);

// Case-insensitive comparison of two tags.
int CompareTags(const std::string& a, const std::string& b);
// The index of the entry whose tag equals the tag ignoring case, or -1.
int FindProductTag(const std::vector<ProductEntry>& entries, const std::string& tag);
// Inserts before the first entry that sorts above it; returns its index.
int InsertProductEntry(std::vector<ProductEntry>& entries, ProductEntry entry);
