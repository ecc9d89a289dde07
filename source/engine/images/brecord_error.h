#pragma once
// Failures of the B-record reader, thrown as these values; BRecordErrorText
// gives their texts.

enum BREC_EXCEPTION : int {
  BREC_MODE_NOT_SUPPORTED = 0,
  BREC_OPEN_ERROR = 1,
  BREC_CLOSE_ERROR = 2,
  BREC_READ_ERROR = 3,
  BREC_END_OF_FILE = 4,
  BREC_INVALID_CHECKSUM = 5,
  BREC_BUFFER_TOO_SMALL = 6,
};

// The text of a B-record failure; "Undefined B-record exception" for any
// other value (the buffer-size failure has no text of its own).
const char* BRecordErrorText(int value);

// True for the values above: the failures the reader throws.
bool IsBRecordError(int value);
