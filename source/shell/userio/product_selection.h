#pragma once
// A product choice: posted with WM_SELECT_PRODUCT to the user-I/O thread
// (which makes it the selected product) and to the main window (which shows
// it in its product selector). The receiver frees it.

#include <string>

struct ProductSelection {
  std::string productFile;  // file name without directory
  std::string productTag;
};
