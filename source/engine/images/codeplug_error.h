#pragma once
// Failures of the codeplug image parser, thrown as these values;
// CodeplugErrorText gives their texts.

enum CP_EXCEPTION : int {
  CP_UNIT_HEADER_NOT_FOUND = 0,
  CP_SEARCH_RANGE_EXCEEDED = 1,
  CP_DATA_POINTER_OUT_OF_RANGE = 2,
  CP_READ_OUT_OF_RANGE = 3,
  CP_WRITE_OUT_OF_RANGE = 4,
  CP_UNIT_NUMBER_NOT_FOUND = 5,
};

// The text of a codeplug failure; "Undefined codeplug exception" for any
// other value.
const char* CodeplugErrorText(int value);

// True for the values above: the failures the parser throws.
bool IsCodeplugError(int value);
