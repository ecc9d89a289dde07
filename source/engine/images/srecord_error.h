#pragma once
// Failures of the S-record reader and writer. Every failure is thrown as one
// of these values; SRecordErrorText gives its message for the log.

enum SREC_EXCEPTION : int {
  SREC_MODE_NOT_SUPPORTED = 200,
  SREC_CREATE_ERROR = 201,
  SREC_OPEN_ERROR = 202,
  SREC_CLOSE_ERROR = 203,
  SREC_READ_ERROR = 204,
  SREC_WRITE_ERROR = 205,
  SREC_END_OF_FILE = 206,
  SREC_ILLEGAL_CHARACTER = 207,
  SREC_ILLEGAL_RECORD_TYPE = 208,
  SREC_HEADER_MISSING = 209,
  SREC_TYPE_NOT_SUPPORTED = 210,
  SREC_INVALID_CHECKSUM = 211,
  SREC_READ_STATE_ERROR = 212,
  SREC_WRITE_STATE_ERROR = 213,
  SREC_BUFFER_TOO_SMALL = 214,
};

// The message text of an S-record failure; "Undefined S-record exception"
// for any other value.
const char* SRecordErrorText(int value);

// True for the values above: the failures the reader and writer throw.
bool IsSRecordError(int value);
