#include "engine/images/srecord_error.h"

#include <iterator>

namespace {

struct ErrorText {
  int value;
  const char* text;
};

constexpr ErrorText kSRecordErrorTexts[] = {
    {SREC_MODE_NOT_SUPPORTED, "File mode not supported"},
    {SREC_CREATE_ERROR, "Error creating file"},
    {SREC_OPEN_ERROR, "Error opening file"},
    {SREC_CLOSE_ERROR, "Error closing file"},
    {SREC_READ_ERROR, "Error reading file"},
    {SREC_WRITE_ERROR, "Error writing file"},
    {SREC_END_OF_FILE, "End of file encountered"},
    {SREC_ILLEGAL_CHARACTER, "Illegal character found"},
    {SREC_ILLEGAL_RECORD_TYPE, "Illegal record type found"},
    {SREC_HEADER_MISSING, "Header record missing"},
    {SREC_TYPE_NOT_SUPPORTED, "Record type not supported"},
    {SREC_INVALID_CHECKSUM, "Invalid checksum detected"},
    {SREC_READ_STATE_ERROR, "Read state machine error"},
    {SREC_WRITE_STATE_ERROR, "Write state machine error"},
    {SREC_BUFFER_TOO_SMALL, "Insufficient buffer size"},
};

const ErrorText* FindError(int value) {
  for (const auto& entry : kSRecordErrorTexts) {
    if (entry.value == value) return &entry;
  }
  return nullptr;
}

}  // namespace

const char* SRecordErrorText(int value) {
  const ErrorText* entry = FindError(value);
  return entry != nullptr ? entry->text : "Undefined S-record exception";
}

bool IsSRecordError(int value) { return FindError(value) != nullptr; }
