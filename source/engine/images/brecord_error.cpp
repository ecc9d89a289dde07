#include "engine/images/brecord_error.h"

namespace {

struct ErrorText {
  int value;
  const char* text;
};

// Every failure; the buffer-size failure has no text.
constexpr ErrorText kBRecordErrors[] = {
    {BREC_MODE_NOT_SUPPORTED, "File mode not supported"},
    {BREC_OPEN_ERROR, "Error opening file"},
    {BREC_CLOSE_ERROR, "Error closing file"},
    {BREC_READ_ERROR, "Error reading file"},
    {BREC_END_OF_FILE, "End of file encountered"},
    {BREC_INVALID_CHECKSUM, "Invalid checksum detected"},
    {BREC_BUFFER_TOO_SMALL, nullptr},
};

const ErrorText* FindError(int value) {
  for (const auto& entry : kBRecordErrors) {
    if (entry.value == value) return &entry;
  }
  return nullptr;
}

}  // namespace

const char* BRecordErrorText(int value) {
  const ErrorText* entry = FindError(value);
  return entry != nullptr && entry->text != nullptr ? entry->text : "Undefined B-record exception";
}

bool IsBRecordError(int value) { return FindError(value) != nullptr; }
