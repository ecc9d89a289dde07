#pragma once
// Whether a file the user chose for the radio is something its loader reads:
// the loader takes S-records only, so a binary image (a smartphone's .bin,
// a raw dump) is refused before any job starts, with a line that says why,
// instead of failing on the radio with "Illegal character found".

#include <string>

enum class ImageFileCheck {
  SRecords,     // the first line that is not empty is an S-record
  NotSRecords,  // the file opens but does not begin with an S-record
  Unreadable,   // the file does not open (the job's own error says so)
};

ImageFileCheck CheckImageFile(const std::string& path);

// "Error> /x/y.bin is not an S-record file: the radio's loader reads S-record
// images (.s19) only."
std::string NotSRecordsLine(const std::string& path);
